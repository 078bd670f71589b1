// How the stand-in service cuts a client's byte stream into commands: at
// each "!", across writes, and with over-long commands dropped as they come
// yet answered once, so that the client keeps its pipe.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "command.h"

using lumbrex::service::CommandFramer;

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
