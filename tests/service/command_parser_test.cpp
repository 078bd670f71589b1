// The service's reading of one command text: what each command word takes
// from its fields, and the reason the log shows for each refusal, field by
// field, in the order the service checks them.
#include <gtest/gtest.h>

#include <string>

#include "command.h"

namespace {

using lumbrex::service::ParseCommand;
using lumbrex::service::PortKindWord;
using lumbrex::service::Request;
using lumbrex::service::Side;

std::string Narrow(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) out += c < 0x80 ? std::string(1, char(c)) : "\\u" + std::to_string(unsigned(c));
  return out;
}

// The members a command filled, in a fixed order; defaults are left out.
std::string Filled(const Request& r) {
  std::string out;
  auto add = [&](const char* name, const std::string& value) {
    out += std::string(out.empty() ? "" : " ") + name + "=" + value;
  };
  if (!r.bundle.empty()) add("bundle", Narrow(r.bundle));
  if (!r.newBundle.empty()) add("new", Narrow(r.newBundle));
  if (r.side == Side::Out) add("side", "Out");
  if (!r.port.empty()) add("port", Narrow(r.port));
  if (r.kind != lumbrex::service::PortKind::Real) add("kind", PortKindWord(r.kind));
  if (!r.parameterText.empty()) add("params", Narrow(r.parameterText));
  if (!r.bitFields.empty()) add("bits", Narrow(r.bitFields));
  for (int i = 0; i < 5; ++i)
    if (r.options[i] != 0) add(("option" + std::to_string(i)).c_str(), std::to_string(r.options[i]));
  if (!r.application.empty()) add("app", Narrow(r.application));
  if (r.permission != 0) add("perm", std::to_string(r.permission));
  return out;
}

TEST(CommandParser, TakesEachCommandsFieldsAndNamesWhatIsWrong) {
  const std::wstring b255(255, L'b'), p127(127, L'p'), a127(127, L'a');
  const struct { std::wstring text; const char* reason; std::string filled; } rows[] = {
      // The word and the field count.
      {L"", "unknown command word", ""},
      {L"HELLO 1", "unknown command word", ""},
      {L"ADD_BUNDLE4,B", "unknown command word", ""},
      {L"OK", "a reply word is not a command", ""},
      {L"error 1", "a reply word is not a command", ""},
      {L"ADD_BUNDLE", "bad field count", ""},
      {L"ADD_BUNDLE 4,B,C", "bad field count", ""},
      {L"GET_BUNDLE_STATE B,C", "bad field count", ""},
      {L"DEL_PORT B,In,COM3,X", "bad field count", ""},
      {L"UPDATE_SETTINGS 1,0,0,0", "bad field count", ""},
      // Bundles.
      {L"ADD_BUNDLE 4,B1", nullptr, "bundle=B1"},
      {L"add_bundle 0," + b255, nullptr, "bundle=" + Narrow(b255)},
      {L"ADD_BUNDLE 4,b" + b255, "bad bundle name", ""},
      {L"ADD_BUNDLE -1,B", "bad number", ""},
      {L"ADD_BUNDLE  4,B", "bad number", ""},
      {L"ADD_BUNDLE 2147483648,B", "bad number", ""},
      {L"ADD_BUNDLE 4,", "bad bundle name", ""},
      {L"DEL_BUNDLE B1\\IN", "bad bundle name", ""},
      {L"Get_Bundle_State B\u00E9", nullptr, "bundle=B\\u233"},
      {L"RENAME_BUNDLE Old,New", nullptr, "bundle=Old new=New"},
      {L"RENAME_BUNDLE Old,", "bad bundle name", ""},
      // Ports: bundle, side, port, then what the command adds.
      {L"ADD_PORT B,out,COM1,switcher", nullptr, "bundle=B side=Out port=COM1 kind=Switcher"},
      {L"ADD_PORT B,In,COM1,KOLM", nullptr, "bundle=B port=COM1 kind=KOLM"},
      {L"ADD_PORT ,In,COM1,Real", "bad bundle name", ""},
      {L"ADD_PORT B,Both,COM1,Real", "bad side word", ""},
      {L"ADD_PORT B,In,,Real", "bad port name", ""},
      {L"ADD_PORT B,In,p" + p127 + L",Real", "bad port name", ""},
      {L"ADD_PORT B,In,COM1,Serial", "bad port type word", ""},
      {L"DEL_PORT B,Out," + p127, nullptr, "bundle=B side=Out port=" + Narrow(p127)},
      {L"GET_PORT_STATE B,In,C\\1", "bad port name", ""},
      {L"SET_MAIN B,In,", nullptr, "bundle=B"},
      {L"SET_MAIN B,Out,COM2", nullptr, "bundle=B side=Out port=COM2"},
      {L"SET_MAIN B,In,a\\b", "bad port name", ""},
      {L"SET_MAIN B,Up,COM2", "bad side word", ""},
      {L"SET_RPORT_PARAMS B,In,COM3,19200-E-7-1-X|1|0", nullptr,
       "bundle=B port=COM3 params=19200,E,7,1,X bits=|1|0"},
      {L"SET_RPORT_PARAMS B,In,COM3,|h|l|x", nullptr, "bundle=B port=COM3 bits=|h|l|x"},
      {L"SET_RPORT_PARAMS B,In,COM3,9600-N-8-0|1", "parameter field without its two bit fields", ""},
      {L"SET_RPORT_PARAMS B,In,,9600|1|1", "bad port name", ""},
      // Options: five values of 0 to 255, plain digits.
      {L"UPDATE_SETTINGS 1,0,255,0,7", nullptr, "option0=1 option2=255 option4=7"},
      {L"UPDATE_SETTINGS 256,0,0,0,0", "bad option value", ""},
      {L"UPDATE_SETTINGS 1,0,0,0,+1", "bad option value", ""},
      // Share permissions: the application unescaped, the value as a signed 32-bit pattern.
      {L"SET_SHARE_PERMISSION B,Out,COM7,a@2b@1@3,-1", nullptr,
       "bundle=B side=Out port=COM7 app=a,b!@ perm=4294967295"},
      {L"SET_SHARE_PERMISSION B,In,COM7,@31,0", nullptr, "bundle=B port=COM7 app=@1"},
      {L"SET_SHARE_PERMISSION B,In,COM7," + a127 + L",6", nullptr,
       "bundle=B port=COM7 app=" + Narrow(a127) + " perm=6"},
      {L"SET_SHARE_PERMISSION B,In,COM7,a@4,3", "bad escape in application name", ""},
      {L"SET_SHARE_PERMISSION B,In,COM7,a@,3", "bad escape in application name", ""},
      {L"SET_SHARE_PERMISSION B,In,COM7,,3", "bad application name", ""},
      {L"SET_SHARE_PERMISSION B,In,COM7,a" + a127 + L",3", "bad application name", ""},
      {L"SET_SHARE_PERMISSION B,In,COM7,a,x", "bad permission value", ""},
      {L"SET_SHARE_PERMISSION B,In,COM7,a,2147483648", "bad permission value", ""},
      {L"SET_SHARE_PERMISSION B,In,COM7,a,8", "permission value refused", ""},
      {L"SET_SHARE_PERMISSION B,In,COM7,a,-2147483648", "permission value refused", ""},
      {L"SET_SHARE_PERMISSION B,Up,COM7,a,1", "bad side word", ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(Narrow(row.text.substr(0, 60)));
    Request request;
    request.bundle = L"left over";  // from the client's previous command
    const char* reason = ParseCommand(row.text, request);
    EXPECT_STREQ(reason, row.reason);
    if (!reason) {
      EXPECT_EQ(Filled(request), row.filled);
    }
  }
}

}  // namespace
