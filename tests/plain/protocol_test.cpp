// The command texts written to the service's pipe, byte for byte, and the
// reader of the service's replies.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "link/protocol.h"

using namespace lumbrex;
using namespace std::string_literals;

TEST(CommandText, EachCommandHasItsExactText) {
  const struct { std::string sent, expected; } cases[] = {
      {AddBundleMessage("B1"), "ADD_BUNDLE 4,B1!"},       {AddBundleMessage(""), "ADD_BUNDLE 4,!"},
      {AddBundleMessage("B1\0X"s), "ADD_BUNDLE 4,B1!"},  // a field ends at its first NUL
      {DeleteBundleMessage("B1"), "DEL_BUNDLE B1!"},      {GetBundleStateMessage("B1"), "GET_BUNDLE_STATE B1!"},
      {AddPortMessage("B1", true, "COM5", LUMBREX_PORT_REAL), "ADD_PORT B1,In,COM5,Real!"},
      {AddPortMessage("B1", false, "COM5", LUMBREX_PORT_VIRTUAL), "ADD_PORT B1,Out,COM5,Virtual!"},
      {AddPortMessage("B1", true, "COM5", LUMBREX_PORT_SHARED), "ADD_PORT B1,In,COM5,Shared!"},
      {AddPortMessage("B1", true, "COM5", LUMBREX_PORT_SWITCHER), "ADD_PORT B1,In,COM5,Switcher!"},
      {AddPortMessage("B", true, "P", 3), "ADD_PORT B,In,P,!"},
      {AddPortMessage("B", true, "P", -1), "ADD_PORT B,In,P,!"},
      {DeletePortMessage("B1", false, "COM7"), "DEL_PORT B1,Out,COM7!"},
      {DeletePortMessage("", true, ""), "DEL_PORT ,In,!"},
      {SetMainMessage("B1", true, "COM2"), "SET_MAIN B1,In,COM2!"},
      {GetPortStateMessage("B1", false, "COM2"), "GET_PORT_STATE B1,Out,COM2!"},
      // The service splits the arguments at ",", so the parameter text's commas travel as "-".
      {SetRealPortParamsMessage("B1", true, "COM3", "19200,E,7,1,X|1|0"),
       "SET_RPORT_PARAMS B1,In,COM3,19200-E-7-1-X|1|0!"},
      {SetRealPortParamsMessage("B1", false, "COM3", "a,b,c\0,d"s), "SET_RPORT_PARAMS B1,Out,COM3,a-b-c!"},
      {UpdateSettingsMessage(1, 0, 1, 0, 1), "UPDATE_SETTINGS 1,0,1,0,1!"},
      {UpdateSettingsMessage(255, 2, 0, 0, 128), "UPDATE_SETTINGS 255,2,0,0,128!"},
      {SetSharePermissionMessage("B1", false, "COM4", "app.exe", -1), "SET_SHARE_PERMISSION B1,Out,COM4,app.exe,-1!"},
      {SetSharePermissionMessage("B1", true, "COM4", "x", INT32_MAX), "SET_SHARE_PERMISSION B1,In,COM4,x,2147483647!"},
      {SetSharePermissionMessage("B", true, "P", "a,b!@\0!"s, INT32_MIN),
       "SET_SHARE_PERMISSION B,In,P,a@2b@1@3,-2147483648!"},
      {SetSharePermissionMessage("", true, "", "", 0), "SET_SHARE_PERMISSION ,In,,,0!"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.sent, c.expected);
}

TEST(CommandText, ApplicationNameEscapesAtBeforeBangAndComma) {
  // "@" is replaced first, so the "@" of "@1" and "@2" is not escaped again.
  const struct { std::string name, escaped; } cases[] = {
      {"a,b!", "a@2b@1"}, {"x@y", "x@3y"}, {"@!,", "@3@1@2"}, {"!@", "@1@3"}, {"@1", "@31"},
      {"@@", "@3@3"}, {"", ""}, {"C:\\Apps\\term.exe", "C:\\Apps\\term.exe"},
  };
  for (const auto& c : cases) EXPECT_EQ(EscapeAppName(c.name), c.escaped) << c.name;
}

using State = ReplyReader::State;
const std::string kPadded = "OK" + std::string(252, 'x');  // 254 bytes

// Each piece is fed one byte per read; between pieces comes a read that
// delivered nothing (its byte, "!", must be ignored). Bytes are fed only while
// the reader asks for more: `taken` is how many bytes it took from the pipe.
TEST(ReplyReader, EndsAtTheFirstBangOrAt255Bytes) {
  const struct { std::vector<std::string> pieces; State state; std::string held; bool ok; } cases[] = {
      {{"OK!"}, State::kComplete, "OK!", true},        {{"ok!"}, State::kComplete, "ok!", true},
      {{"oK!"}, State::kComplete, "oK!", true},        {{"OKAY!"}, State::kComplete, "OKAY!", true},
      {{"OK\0!"s}, State::kComplete, "OK\0!"s, true},  {{"OK, 1 2!"}, State::kComplete, "OK, 1 2!", true},
      {{"ERROR!"}, State::kComplete, "ERROR!", false}, {{"O!"}, State::kComplete, "O!", false},
      {{"!"}, State::kComplete, "!", false},           {{" OK!"}, State::kComplete, " OK!", false},
      {{"O\0K!"s}, State::kComplete, "O\0K!"s, false}, {{"OK"}, State::kNeedMore, "OK", false},
      {{""}, State::kNeedMore, "", false},             {{"OK!rest!"}, State::kComplete, "OK!", true},
      {{"", "", "o", "k", "!"}, State::kComplete, "ok!", true},
      {{kPadded + "!"}, State::kComplete, kPadded + "!", true},
      {{kPadded + "x!"}, State::kOverflow, kPadded + "x", false},
      {{kPadded, "x", "!"}, State::kOverflow, kPadded + "x", false},
      {{std::string(1000, 'O')}, State::kOverflow, std::string(255, 'O'), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.pieces));
    ReplyReader reader;
    size_t taken = 0;
    for (size_t k = 0; k < c.pieces.size(); ++k) {
      if (k > 0 && reader.state() == State::kNeedMore) EXPECT_EQ(reader.Feed('!', 0), State::kNeedMore);
      for (char byte : c.pieces[k]) {
        if (reader.state() != State::kNeedMore) break;
        reader.Feed(byte);
        ++taken;
      }
    }
    EXPECT_EQ(reader.state(), c.state);
    EXPECT_EQ(std::string(reader.Held()), c.held);
    EXPECT_EQ(taken, c.held.size());
    EXPECT_EQ(reader.Succeeded(), c.ok);
    // Once ended, the reader takes nothing more.
    if (c.state != State::kNeedMore) {
      EXPECT_EQ(reader.Feed('!'), c.state);
      EXPECT_EQ(reader.Held().size(), c.held.size());
    }
  }
}
