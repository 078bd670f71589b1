// Part 2.2: the plain part of the protocol (messages, escaping, reply reader).
#include <gtest/gtest.h>

#include <string>

#include "link/protocol.h"

using namespace lumbrex;

TEST(Part2_2_Protocol, AddBundleIsExactlySixteenBytes) {
  const std::string message = AddBundleMessage("B1");
  EXPECT_EQ(message, "ADD_BUNDLE 4,B1!");
  EXPECT_EQ(message.size(), 16u);
  EXPECT_EQ(message.back(), '!');
}

TEST(Part2_2_Protocol, EveryCommandFormat) {
  EXPECT_EQ(DeleteBundleMessage("B1"), "DEL_BUNDLE B1!");
  EXPECT_EQ(GetBundleStateMessage("B1"), "GET_BUNDLE_STATE B1!");
  EXPECT_EQ(AddPortMessage("B1", true, "COM5", 0), "ADD_PORT B1,In,COM5,Real!");
  EXPECT_EQ(AddPortMessage("B1", false, "COM5", 1), "ADD_PORT B1,Out,COM5,Virtual!");
  EXPECT_EQ(AddPortMessage("B1", true, "COM5", 2), "ADD_PORT B1,In,COM5,Shared!");
  EXPECT_EQ(AddPortMessage("B1", true, "COM5", 3), "ADD_PORT B1,In,COM5,Switcher!");
  EXPECT_EQ(DeletePortMessage("B1", false, "COM7"), "DEL_PORT B1,Out,COM7!");
  EXPECT_EQ(SetMainMessage("B1", true, "COM2"), "SET_MAIN B1,In,COM2!");
  EXPECT_EQ(GetPortStateMessage("B1", false, "COM2"), "GET_PORT_STATE B1,Out,COM2!");
  EXPECT_EQ(SetRealPortParamsMessage("B1", true, "COM3", "19200,E,7,1,X|1|0"),
            "SET_RPORT_PARAMS B1,In,COM3,19200-E-7-1-X|1|0!");
  EXPECT_EQ(UpdateSettingsMessage(1, 0, 1, 0, 1), "UPDATE_SETTINGS 1,0,1,0,1!");
  EXPECT_EQ(UpdateSettingsMessage(255, 2, 0, 0, 0), "UPDATE_SETTINGS 255,2,0,0,0!");
  EXPECT_EQ(SetSharePermissionMessage("B1", false, "COM4", "app.exe", -1),
            "SET_SHARE_PERMISSION B1,Out,COM4,app.exe,-1!");
  EXPECT_EQ(SetSharePermissionMessage("B1", true, "COM4", "x", 2147483647),
            "SET_SHARE_PERMISSION B1,In,COM4,x,2147483647!");
}

TEST(Part2_2_Protocol, EmptyFieldsStayEmpty) {
  EXPECT_EQ(AddBundleMessage(""), "ADD_BUNDLE 4,!");
  EXPECT_EQ(DeletePortMessage("", true, ""), "DEL_PORT ,In,!");
  EXPECT_EQ(SetSharePermissionMessage("", true, "", "", 0), "SET_SHARE_PERMISSION ,In,,,0!");
}

TEST(Part2_2_Protocol, WordTables) {
  EXPECT_STREQ(SideWord(true), "In");
  EXPECT_STREQ(SideWord(false), "Out");
  EXPECT_STREQ(PortTypeWord(3), "Switcher");
  EXPECT_STREQ(PortTypeWord(4), "KOLM");
  EXPECT_STREQ(PortTypeWord(5), "");
  EXPECT_STREQ(PortTypeWord(-1), "");
  EXPECT_STREQ(CommandWordText(CommandWord::kAddBundle), "ADD_BUNDLE");
  EXPECT_STREQ(CommandWordText(CommandWord::kOk), "OK");
  EXPECT_STREQ(CommandWordText(CommandWord::kRenameBundle), "RENAME_BUNDLE");
  EXPECT_STREQ(CommandWordText(CommandWord::kSetSharePermission), "SET_SHARE_PERMISSION");
}

TEST(Part2_2_Protocol, KolmIsNeverSentForTheFourTypes) {
  for (int index = 0; index < 4; ++index) {
    EXPECT_EQ(AddPortMessage("B", true, "P", index).find("KOLM"), std::string::npos);
  }
}

TEST(Part2_2_Protocol, ParameterCommasBecomeDashes) {
  EXPECT_EQ(SetRealPortParamsMessage("B1", false, "COM3", "a,b,c"), "SET_RPORT_PARAMS B1,Out,COM3,a-b-c!");
  EXPECT_EQ(CommasToDashes(",,"), "--");
}

TEST(Part2_2_Protocol, EscapeAppNameInItsOrder) {
  EXPECT_EQ(EscapeAppName("a,b!"), "a@2b@1");
  EXPECT_EQ(EscapeAppName("x@y"), "x@3y");
  // "@" first: the "@" that "!" and "," turn into is not escaped again.
  EXPECT_EQ(EscapeAppName("@!,"), "@3@1@2");
  EXPECT_EQ(EscapeAppName("!@"), "@1@3");
  EXPECT_EQ(EscapeAppName("@1"), "@31");
  EXPECT_EQ(EscapeAppName(""), "");
  EXPECT_EQ(SetSharePermissionMessage("B", true, "P", "a,b!@", 7), "SET_SHARE_PERMISSION B,In,P,a@2b@1@3,7!");
}

TEST(Part2_2_Protocol, EmbeddedNulEndsAField) {
  EXPECT_EQ(AddBundleMessage(std::string("B1\0X", 4)), "ADD_BUNDLE 4,B1!");
}

namespace {
// Feeds text byte by byte as one-byte reads; returns the final state and how
// many bytes were taken.
ReplyReader::State FeedAll(ReplyReader& reader, const std::string& bytes, size_t* taken) {
  *taken = 0;
  ReplyReader::State state = reader.state();
  for (char c : bytes) {
    ++*taken;
    state = reader.Feed(c);
    if (state != ReplyReader::State::kNeedMore) break;
  }
  return state;
}

bool ReplyOk(const std::string& bytes) {
  ReplyReader reader;
  size_t taken = 0;
  FeedAll(reader, bytes, &taken);
  return reader.Succeeded();
}
}  // namespace

TEST(Part2_2_ReplyReader, OkInEitherCaseSucceeds) {
  EXPECT_TRUE(ReplyOk("OK!"));
  EXPECT_TRUE(ReplyOk("ok!"));
  EXPECT_TRUE(ReplyOk("oK!"));
  EXPECT_TRUE(ReplyOk("OKAY!"));
  EXPECT_TRUE(ReplyOk("OK whatever, 1 2 3!"));
}

TEST(Part2_2_ReplyReader, OtherRepliesFail) {
  EXPECT_FALSE(ReplyOk("ERROR!"));
  EXPECT_FALSE(ReplyOk("O!"));
  EXPECT_FALSE(ReplyOk("!"));
  EXPECT_FALSE(ReplyOk(" OK!"));
  EXPECT_FALSE(ReplyOk("K!"));
  EXPECT_FALSE(ReplyOk("OK"));  // never completed
}

TEST(Part2_2_ReplyReader, StopsAtTheFirstBang) {
  ReplyReader reader;
  size_t taken = 0;
  EXPECT_EQ(FeedAll(reader, "OK!rest!", &taken), ReplyReader::State::kComplete);
  EXPECT_EQ(taken, 3u);
  EXPECT_EQ(reader.Held(), "OK!");
  // Further bytes are not taken.
  EXPECT_EQ(reader.Feed('x'), ReplyReader::State::kComplete);
  EXPECT_EQ(reader.Held(), "OK!");
}

TEST(Part2_2_ReplyReader, AReadThatDeliversNothingAsksForMore) {
  ReplyReader reader;
  EXPECT_EQ(reader.Feed('!', 0), ReplyReader::State::kNeedMore);
  EXPECT_EQ(reader.Held(), "");
  EXPECT_EQ(reader.Feed('o'), ReplyReader::State::kNeedMore);
  EXPECT_EQ(reader.Feed('!', 0), ReplyReader::State::kNeedMore);
  EXPECT_EQ(reader.Feed('k'), ReplyReader::State::kNeedMore);
  EXPECT_EQ(reader.Feed('!'), ReplyReader::State::kComplete);
  EXPECT_TRUE(reader.Succeeded());
}

TEST(Part2_2_ReplyReader, ReplyOf255BytesEndingInBangIsTaken) {
  const std::string reply = "OK" + std::string(252, 'x') + "!";
  ASSERT_EQ(reply.size(), 255u);
  ReplyReader reader;
  size_t taken = 0;
  EXPECT_EQ(FeedAll(reader, reply, &taken), ReplyReader::State::kComplete);
  EXPECT_EQ(taken, 255u);
  EXPECT_TRUE(reader.Succeeded());
}

TEST(Part2_2_ReplyReader, TwoHundredFiftyFiveBytesWithoutBangFail) {
  // Left to the implementer: the read stops at 255 bytes and the command fails.
  const std::string reply = "OK" + std::string(300, 'x') + "!";
  ReplyReader reader;
  size_t taken = 0;
  EXPECT_EQ(FeedAll(reader, reply, &taken), ReplyReader::State::kOverflow);
  EXPECT_EQ(taken, 255u);
  EXPECT_EQ(reader.Held().size(), 255u);
  EXPECT_FALSE(reader.Succeeded());
  EXPECT_EQ(reader.Feed('!'), ReplyReader::State::kOverflow);
}
