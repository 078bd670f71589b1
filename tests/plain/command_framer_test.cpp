// How the stand-in service cuts a client's byte stream into commands (the
// pieces themselves, across writes, and the replies, one per command, are
// checked against a model by fuzz/fuzz_service_stream.cpp over its corpus):
// a flood without "!" that the idle time-out must see, and the head of it the
// log shows.
#include <gtest/gtest.h>

#include <string>

#include "command.h"

using lumbrex::service::CommandFramer;

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
