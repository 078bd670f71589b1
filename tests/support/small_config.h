// The small configuration that the sweep, the command tables, the leak loops
// and the soak run against, and the pipe where the library sends its commands.
// Bundle B1: IN COM1 r|9600,n,8,0|1|0 and COM2 sh|19200,E,7,1,X|0|1, OUT COM3
// v, main ports COM1 and COM3; an empty bundle B2; AutoOpen 1, IgnoreError 0,
// Prints 1, SendDataOnlyMainPort 1 (both views), StrictBaudrate 1; on COM2 the
// applications app.exe 3 and other.exe 0.
#pragma once
#include <vector>

#include "common/names.h"
#include "support/registry_fixture.h"

namespace testsupport {
constexpr const wchar_t* kPipePath = lumbrex::kLocalPipePath;
// Its items, with `extra` after them.
inline std::vector<testsupport::RegItem> SmallConfigItems(const std::vector<testsupport::RegItem>& extra = {}) {
  const std::wstring b1 = kRootKey + L"\\B1", perms = kSharedPortsKey + L"\\COM2\\Permissions";
  std::vector<RegItem> items = {
      Sz(b1, L"InMain", L"COM1"), Sz(b1, L"OutMain", L"COM3"), Sz(b1 + L"\\IN", L"COM1", L"r|9600,n,8,0|1|0"),
      Sz(b1 + L"\\IN", L"COM2", L"sh|19200,E,7,1,X|0|1"), Sz(b1 + L"\\OUT", L"COM3", L"v"),
      KeyOnly(kRootKey + L"\\B2\\IN"), Dw(kDriverKey, L"StrictBaudrate", 1), Dw(perms, L"app.exe", 3),
      Dw(perms, L"other.exe", 0)};
  // The four root options are read in the 32-bit view; both views hold them.
  for (REGSAM view : {kView64, kView32})
    for (auto [name, value] :
         {std::pair{L"SendDataOnlyMainPort", 1}, {L"IgnoreError", 0}, {L"AutoOpen", 1}, {L"Prints", 1}})
      items.push_back(Dw(kRootKey, name, value, view));
  items.insert(items.end(), extra.begin(), extra.end());
  return items;
}

class SmallConfig : public testsupport::RegistryFixture {
 public:
  explicit SmallConfig(const std::vector<testsupport::RegItem>& extra = {})
      : RegistryFixture(SmallConfigItems(extra)) {}
  bool ok() const { return status() == ERROR_SUCCESS; }
};

}  // namespace testsupport
