// Part 2.2: EscapeAppName and the ten message builders over any fields: the
// escaping is undone by the service's one-pass unescape and leaves no "!" and
// no ","; each message is exactly its format (rebuilt here by concatenation)
// and ends with its one "!".
#include <algorithm>
#include <string>

#include <fuzzer/FuzzedDataProvider.h>

#include "fuzz_common.h"
#include "link/protocol.h"

namespace {

// The service side of the escaping (Part 2.4): "@1" "!", "@2" ",", "@3" "@",
// in one pass from left to right.
bool Unescape(const std::string& text, std::string* out) {
  out->clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '@') {
      out->push_back(text[i]);
      continue;
    }
    if (i + 1 == text.size()) return false;
    const char code = text[++i];
    if (code == '1') out->push_back('!');
    else if (code == '2') out->push_back(',');
    else if (code == '3') out->push_back('@');
    else return false;
  }
  return true;
}

// "%s" stops at the first NUL.
std::string Field(const std::string& s) { return s.substr(0, s.find('\0')); }

std::string Side(bool in) { return in ? "In" : "Out"; }

void CheckEnd(const std::string& message, bool fieldsHaveBang) {
  FUZZ_CHECK(!message.empty() && message.back() == '!');
  if (!fieldsHaveBang) FUZZ_CHECK(std::count(message.begin(), message.end(), '!') == 1);
}

bool HasBang(const std::string& s) { return Field(s).find('!') != std::string::npos; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const std::string bundle = in.ConsumeRandomLengthString(64);
  const std::string port = in.ConsumeRandomLengthString(64);
  const std::string params = in.ConsumeRandomLengthString(64);
  const bool side = in.ConsumeBool();
  const int type = in.ConsumeIntegralInRange<int>(-2, 6);
  const int32_t permission = in.ConsumeIntegral<int32_t>();
  uint8_t options[5];
  for (auto& o : options) o = in.ConsumeIntegral<uint8_t>();
  const std::string app = in.ConsumeRemainingBytesAsString();

  // The escaping.
  const std::string escaped = lumbrex::EscapeAppName(app);
  FUZZ_CHECK(escaped.find('!') == std::string::npos && escaped.find(',') == std::string::npos);
  std::string back;
  FUZZ_CHECK(Unescape(escaped, &back) && back == app);
  const auto specials = std::count_if(app.begin(), app.end(), [](char c) { return c == '@' || c == '!' || c == ','; });
  FUZZ_CHECK(escaped.size() == app.size() + size_t(specials));
  const std::string dashes = lumbrex::CommasToDashes(params);
  FUZZ_CHECK(dashes.size() == params.size() && dashes.find(',') == std::string::npos);

  // The messages, each against its format written out.
  const std::string b = Field(bundle), p = Field(port), s = Side(side);
  const bool bangB = HasBang(bundle), bangBP = bangB || HasBang(port);
  std::string m = lumbrex::AddBundleMessage(bundle);
  FUZZ_CHECK(m == "ADD_BUNDLE 4," + b + "!");
  CheckEnd(m, bangB);
  m = lumbrex::DeleteBundleMessage(bundle);
  FUZZ_CHECK(m == "DEL_BUNDLE " + b + "!");
  CheckEnd(m, bangB);
  m = lumbrex::GetBundleStateMessage(bundle);
  FUZZ_CHECK(m == "GET_BUNDLE_STATE " + b + "!");
  CheckEnd(m, bangB);
  static const char* const kTypes[] = {"Real", "Virtual", "Shared", "Switcher", "KOLM"};
  const std::string typeWord = type >= 0 && type <= 4 ? kTypes[type] : "";
  m = lumbrex::AddPortMessage(bundle, side, port, type);
  FUZZ_CHECK(m == "ADD_PORT " + b + "," + s + "," + p + "," + typeWord + "!");
  CheckEnd(m, bangBP);
  m = lumbrex::DeletePortMessage(bundle, side, port);
  FUZZ_CHECK(m == "DEL_PORT " + b + "," + s + "," + p + "!");
  CheckEnd(m, bangBP);
  m = lumbrex::SetMainMessage(bundle, side, port);
  FUZZ_CHECK(m == "SET_MAIN " + b + "," + s + "," + p + "!");
  CheckEnd(m, bangBP);
  m = lumbrex::GetPortStateMessage(bundle, side, port);
  FUZZ_CHECK(m == "GET_PORT_STATE " + b + "," + s + "," + p + "!");
  CheckEnd(m, bangBP);
  m = lumbrex::SetRealPortParamsMessage(bundle, side, port, params);
  FUZZ_CHECK(m == "SET_RPORT_PARAMS " + b + "," + s + "," + p + "," + lumbrex::CommasToDashes(Field(params)) + "!");
  CheckEnd(m, bangBP || HasBang(params));
  m = lumbrex::UpdateSettingsMessage(options[0], options[1], options[2], options[3], options[4]);
  std::string expected = "UPDATE_SETTINGS ";
  for (int k = 0; k < 5; ++k) expected += std::to_string(options[k]) + (k < 4 ? "," : "!");
  FUZZ_CHECK(m == expected);
  CheckEnd(m, false);
  m = lumbrex::SetSharePermissionMessage(bundle, side, port, app, permission);
  const std::string escapedField = lumbrex::EscapeAppName(Field(app));
  FUZZ_CHECK(m == "SET_SHARE_PERMISSION " + b + "," + s + "," + p + "," + escapedField + "," +
                      std::to_string(permission) + "!");
  CheckEnd(m, bangBP);  // the application's own "!" travels escaped
  // The service splits the fields at ","; with plain names the fourth field
  // is the escaped application, which unescapes to the name up to its NUL.
  if (b.find(',') == std::string::npos && p.find(',') == std::string::npos && !bangBP) {
    const std::string body = m.substr(std::string("SET_SHARE_PERMISSION ").size(), m.size() - 22);
    FUZZ_CHECK(std::count(body.begin(), body.end(), ',') == 4);
    size_t start = 0;
    for (int k = 0; k < 3; ++k) start = body.find(',', start) + 1;
    const std::string fourth = body.substr(start, body.find(',', start) - start);
    FUZZ_CHECK(Unescape(fourth, &back) && back == Field(app));
  }
  return 0;
}
