// The command texts over any field contents (NUL, "%", "!", "," included):
// each is its word, one space, its fields (each up to its first NUL) joined by
// "," and one "!"; the escaped application name holds no "!" and no ",", and
// the service's own reading of it gives the name back. Input: bundle, port and
// parameter text (each ended by a lone backslash), then the application name;
// from the end: side, type index, permission, the five options.
#include <algorithm>
#include <initializer_list>
#include <string>

#include <fuzzer/FuzzedDataProvider.h>

#include "command.h"
#include "fuzz_common.h"
#include "link/protocol.h"

namespace {

std::string Field(const std::string& s) { return s.substr(0, s.find('\0')); }

std::string Joined(const char* word, std::initializer_list<std::string> fields) {
  std::string out = std::string(word) + " ";
  for (const std::string& field : fields) out += field + ",";
  out.back() = '!';
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const std::string bundle = in.ConsumeRandomLengthString(64);
  const std::string port = in.ConsumeRandomLengthString(64);
  const std::string params = in.ConsumeRandomLengthString(64);
  const bool inputSide = in.ConsumeBool();
  const int32_t type = in.ConsumeIntegralInRange<int32_t>(-2, LUMBREX_PORT_SWITCHER + 1);
  const int32_t permission = in.ConsumeIntegral<int32_t>();
  uint8_t o[LUMBREX_OPTION_COUNT];  // the options
  for (auto& option : o) option = in.ConsumeIntegral<uint8_t>();
  const std::string app = in.ConsumeRemainingBytesAsString();

  const std::string escaped = lumbrex::EscapeAppName(app);
  FUZZ_CHECK(escaped.find_first_of("!,") == std::string::npos);
  lumbrex::Text back;  // as the service reads it
  FUZZ_CHECK(lumbrex::service::UnescapeApplicationName(Widened(escaped), back) && back == Widened(app));

  using namespace lumbrex;
  const std::string b = Field(bundle), p = Field(port), s = SideWord(inputSide);
  std::string dashed = Field(params);
  std::replace(dashed.begin(), dashed.end(), ',', '-');
  FUZZ_CHECK(AddBundleMessage(bundle) == Joined("ADD_BUNDLE", {"4", b}));
  FUZZ_CHECK(DeleteBundleMessage(bundle) == Joined("DEL_BUNDLE", {b}));
  FUZZ_CHECK(GetBundleStateMessage(bundle) == Joined("GET_BUNDLE_STATE", {b}));
  FUZZ_CHECK(AddPortMessage(bundle, inputSide, port, type) ==
             Joined("ADD_PORT", {b, s, p, PortTypeWord(type)}));
  FUZZ_CHECK(DeletePortMessage(bundle, inputSide, port) == Joined("DEL_PORT", {b, s, p}));
  FUZZ_CHECK(SetMainMessage(bundle, inputSide, port) == Joined("SET_MAIN", {b, s, p}));
  FUZZ_CHECK(GetPortStateMessage(bundle, inputSide, port) == Joined("GET_PORT_STATE", {b, s, p}));
  FUZZ_CHECK(SetRealPortParamsMessage(bundle, inputSide, port, params) ==
             Joined("SET_RPORT_PARAMS", {b, s, p, dashed}));
  auto d = [](uint8_t value) { return std::to_string(value); };
  FUZZ_CHECK(UpdateSettingsMessage(o[0], o[1], o[2], o[3], o[4]) ==
             Joined("UPDATE_SETTINGS", {d(o[0]), d(o[1]), d(o[2]), d(o[3]), d(o[4])}));
  FUZZ_CHECK(SetSharePermissionMessage(bundle, inputSide, port, app, permission) ==
             Joined("SET_SHARE_PERMISSION", {b, s, p, EscapeAppName(Field(app)), std::to_string(permission)}));
  return 0;
}
