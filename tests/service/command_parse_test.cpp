// Part 2.4's plain command reading (service/command.h), without a pipe: the
// framing at "!", the field rules and the undoing of Part 2.2's encodings.
#include <gtest/gtest.h>

#include "command.h"

using namespace lumbrex;
using namespace lumbrex::service;

namespace {

TEST(Part2_4_ServiceCommandReading, FramerSplitsAtEachBangAndKeepsTheRest) {
  CommandFramer framer(16);
  std::string command;
  framer.Append("ADD_", 4);
  EXPECT_FALSE(framer.Next(command));
  framer.Append("X!Y!Z", 5);
  ASSERT_TRUE(framer.Next(command));
  EXPECT_EQ(command, "ADD_X");
  ASSERT_TRUE(framer.Next(command));
  EXPECT_EQ(command, "Y");
  EXPECT_FALSE(framer.Next(command));
  EXPECT_EQ(framer.PendingSize(), 1u);
  framer.Append("!", 1);
  ASSERT_TRUE(framer.Next(command));
  EXPECT_EQ(command, "Z");
  framer.Append("!", 1);
  ASSERT_TRUE(framer.Next(command));
  EXPECT_EQ(command, "");
}

TEST(Part2_4_ServiceCommandReading, FramerOverflowsPastItsLimitOnly) {
  CommandFramer framer(4);
  framer.Append("ABCD", 4);
  EXPECT_FALSE(framer.Overflowed());
  framer.Append("E", 1);
  EXPECT_TRUE(framer.Overflowed());
}

TEST(Part2_4_ServiceCommandReading, ApplicationNamesAreUnescapedInOneLeftToRightPass) {
  Text out;
  ASSERT_TRUE(UnescapeApplicationName(L"a@2b@1", out));
  EXPECT_EQ(out, L"a,b!");
  ASSERT_TRUE(UnescapeApplicationName(L"x@3y", out));
  EXPECT_EQ(out, L"x@y");
  ASSERT_TRUE(UnescapeApplicationName(L"@31@32@33", out));
  EXPECT_EQ(out, L"@1@2@3");
  ASSERT_TRUE(UnescapeApplicationName(L"", out));
  EXPECT_EQ(out, L"");
  EXPECT_FALSE(UnescapeApplicationName(L"a@", out));
  EXPECT_FALSE(UnescapeApplicationName(L"a@0", out));
  EXPECT_FALSE(UnescapeApplicationName(L"a@@", out));
}

TEST(Part2_4_ServiceCommandReading, ParameterTextGetsItsCommasBack) {
  EXPECT_EQ(DecodeParameterText(L"19200-E-7-1-X"), L"19200,E,7,1,X");
  EXPECT_EQ(DecodeParameterText(L""), L"");
}

TEST(Part2_4_ServiceCommandReading, DecimalsArePlainDigitsWithinTheirRange) {
  int64_t value = 0;
  EXPECT_TRUE(ParseDecimal(L"255", false, 0, 255, value));
  EXPECT_EQ(value, 255);
  EXPECT_FALSE(ParseDecimal(L"256", false, 0, 255, value));
  EXPECT_FALSE(ParseDecimal(L"-1", false, 0, 255, value));
  EXPECT_TRUE(ParseDecimal(L"-2147483648", true, INT32_MIN, INT32_MAX, value));
  EXPECT_EQ(value, INT32_MIN);
  EXPECT_FALSE(ParseDecimal(L"2147483648", true, INT32_MIN, INT32_MAX, value));
  for (const wchar_t* bad : {L"", L"-", L"+1", L" 1", L"1 ", L"0x1", L"1e3", L"9999999999999"})
    EXPECT_FALSE(ParseDecimal(bad, true, INT32_MIN, INT32_MAX, value)) << bad;
}

TEST(Part2_4_ServiceCommandReading, TheTenCommandsParseIntoTheirFields) {
  Request r;
  ASSERT_EQ(ParseCommand(L"ADD_BUNDLE 4,B1", r), nullptr);
  EXPECT_EQ(r.word, CommandWord::AddBundle);
  EXPECT_EQ(r.bundle, L"B1");
  ASSERT_EQ(ParseCommand(L"ADD_PORT B1,Out,COM5,Switcher", r), nullptr);
  EXPECT_EQ(r.side, Side::Out);
  EXPECT_EQ(r.port, L"COM5");
  EXPECT_EQ(r.kind, PortKind::Switcher);
  ASSERT_EQ(ParseCommand(L"SET_RPORT_PARAMS B1,In,COM3,19200-E-7-1-X|1|0", r), nullptr);
  EXPECT_EQ(r.parameterText, L"19200,E,7,1,X");
  EXPECT_EQ(r.bitFields, L"|1|0");
  ASSERT_EQ(ParseCommand(L"UPDATE_SETTINGS 1,0,1,0,1", r), nullptr);
  EXPECT_EQ(r.options[0], 1u);
  EXPECT_EQ(r.options[3], 0u);
  EXPECT_EQ(r.options[4], 1u);
  ASSERT_EQ(ParseCommand(L"SET_SHARE_PERMISSION B1,In,COM7,a@2b@1,-1", r), nullptr);
  EXPECT_EQ(r.application, L"a,b!");
  EXPECT_EQ(r.permission, 0xFFFFFFFFu);
  for (const wchar_t* good : {L"DEL_BUNDLE B1", L"GET_BUNDLE_STATE B1", L"DEL_PORT B1,In,COM1", L"SET_MAIN B1,In,COM1",
                              L"SET_MAIN B1,In,", L"GET_PORT_STATE B1,Out,COM1", L"RENAME_BUNDLE B1,B2"})
    EXPECT_EQ(ParseCommand(good, r), nullptr) << good;
}

TEST(Part2_4_ServiceCommandReading, BadCommandsNameTheirReason) {
  Request r;
  EXPECT_STREQ(ParseCommand(L"", r), "unknown command word");
  EXPECT_STREQ(ParseCommand(L"OK", r), "a reply word is not a command");
  EXPECT_STREQ(ParseCommand(L"ADD_BUNDLE", r), "bad field count");
  EXPECT_STREQ(ParseCommand(L"ADD_PORT B1,In,COM1", r), "bad field count");
  EXPECT_STREQ(ParseCommand(L"ADD_PORT B1,Up,COM1,Real", r), "bad side word");
  EXPECT_STREQ(ParseCommand(L"ADD_PORT B1,In,COM1,KOL", r), "bad port type word");
  EXPECT_STREQ(ParseCommand(L"DEL_BUNDLE ", r), "bad bundle name");
  EXPECT_STREQ(ParseCommand(L"SET_SHARE_PERMISSION B1,In,COM7,app,8", r), "permission value refused");
}

}  // namespace
