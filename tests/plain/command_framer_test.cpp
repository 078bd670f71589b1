// How the stand-in service cuts a client's byte stream into commands: at
// each "!", across writes, and with over-long commands dropped as they come
// yet answered once, so that the client keeps its pipe; and the replies that
// stream gets back, one per command.
#include <gtest/gtest.h>

#include <new>
#include <string>
#include <vector>

#include "command.h"

using lumbrex::service::CommandFramer;
using lumbrex::service::Exchange;

TEST(CommandFramer, CutsAtEachBangAndDropsOverlongCommandsWhole) {
  const std::string x11(11, 'x'), x8(8, 'x');
  const struct {
    std::vector<std::string> writes;
    std::vector<std::string> got;  // "!" marks an over-long command, followed by its length
    size_t pendingAfter;
  } cases[] = {
      {{"DEL B1!"}, {"DEL B1"}, 0},
      {{"A!B", "C!D"}, {"A", "BC"}, 1},
      {{"!!"}, {"", ""}, 0},
      {{"xxxxxxxxxx!"}, {"xxxxxxxxxx"}, 0},  // exactly the limit: a command
      {{x11 + "!"}, {"!11"}, 0},
      {{x8, x8, "yy", "!z!"}, {"!18", "z"}, 0},  // dropped across writes, the next command intact
      {{x8, x8, "yy"}, {}, 18},                  // still waiting for its "!"
      {{x11 + "!" + x11 + "!ok!"}, {"!11", "!11", "ok"}, 0},
  };
  for (const auto& c : cases) {
    CommandFramer framer(10);
    std::vector<std::string> got;
    for (const std::string& write : c.writes) {
      framer.Append(write.data(), write.size());
      std::string command;
      for (CommandFramer::Got next; (next = framer.Next(command)) != CommandFramer::Got::kNothing;)
        got.push_back(next == CommandFramer::Got::kOverlong ? "!" + std::to_string(framer.OverlongBytes()) : command);
    }
    const std::string first = c.writes.empty() ? "" : c.writes.front().substr(0, 20);
    EXPECT_EQ(got, c.got) << first;
    EXPECT_EQ(framer.PendingSize(), c.pendingAfter) << first;
  }
}

// A flood without "!" is counted (the idle time-out watches that count), and
// what the log shows of it is its first 200 bytes.
TEST(CommandFramer, CountsAFloodAndKeepsItsHeadForTheLog) {
  CommandFramer framer(4096);
  const std::string block(1 << 16, 'A');
  std::string command;
  for (int i = 0; i < 64; ++i) {
    framer.Append(block.data(), block.size());
    ASSERT_EQ(framer.Next(command), CommandFramer::Got::kNothing);
  }
  EXPECT_EQ(framer.PendingSize(), 64u << 16);
  framer.Append("!", 1);
  ASSERT_EQ(framer.Next(command), CommandFramer::Got::kOverlong);
  EXPECT_EQ(framer.OverlongBytes(), 64u << 16);
  EXPECT_EQ(command, std::string(200, 'A'));
}

// Bytes in, replies out: exactly one reply per "!", in order, whatever the
// command met. The handler carries out commands starting "ok" and throws for
// "throw" (as the service's handler does when memory runs out before its
// registry change); an over-long command that starts "ok" must not be carried
// out, nor answered early and then again for its tail ("ERROR!OK!").
TEST(Exchange, AnswersEveryCommandExactlyOnce) {
  const std::string x9(9, 'x');
  const struct {
    std::vector<std::string> writes;
    std::string replies;
    std::vector<std::string> handled;  // what the handler saw, over-long ones as "!" + text
  } cases[] = {
      {{"ok!"}, "OK!", {"ok"}},
      {{"no!"}, "ERROR!", {"no"}},
      {{"throw!"}, "ERROR!", {"throw"}},
      {{"!"}, "ERROR!", {""}},
      {{"ok!throw!ok!no!"}, "OK!ERROR!OK!ERROR!", {"ok", "throw", "ok", "no"}},
      {{"o", "k", "!"}, "OK!", {"ok"}},
      {{"ok" + x9 + "!"}, "ERROR!", {"!ok" + x9}},   // one past the bound: refused whole
      {{"ok" + x9, "ok!"}, "ERROR!", {"!ok" + x9}},  // the tail past the bound is no command of its own
      {{"ok" + x9, x9, "!ok!"}, "ERROR!OK!", {"!ok" + x9, "ok"}},  // two commands, two replies
      {{"ok!ok"}, "OK!", {"ok"}},  // the client leaves mid-command: no reply to the part
  };
  for (const auto& c : cases) {
    std::vector<std::string> handled;
    Exchange exchange(10, [&](const std::string& text, bool overlong) {
      handled.push_back(overlong ? "!" + text : text);
      if (text.rfind("throw", 0) == 0) throw std::bad_alloc();
      return text.rfind("ok", 0) == 0;
    });
    std::string replies;
    for (const std::string& write : c.writes) {
      exchange.Append(write.data(), write.size());
      while (const char* reply = exchange.NextReply()) replies += reply;
    }
    EXPECT_EQ(replies, c.replies) << c.writes.front();
    EXPECT_EQ(handled, c.handled) << c.writes.front();
  }
}
