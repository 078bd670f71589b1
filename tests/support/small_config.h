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
  const std::wstring b1 = BundleKey(L"B1"), in = SideKey(L"B1", LUMBREX_SIDE_IN), perms = PermissionsKey(L"COM2");
  std::vector<RegItem> items = {
      Sz(b1, kInMain, L"COM1"), Sz(b1, kOutMain, L"COM3"), Sz(in, L"COM1", L"r|9600,n,8,0|1|0"),
      Sz(in, L"COM2", L"sh|19200,E,7,1,X|0|1"), Sz(SideKey(L"B1", LUMBREX_SIDE_OUT), L"COM3", L"v"),
      KeyOnly(SideKey(L"B2", LUMBREX_SIDE_IN)), Dw(kDriverKey, kStrictBaudrate, 1), Dw(perms, L"app.exe", 3),
      Dw(perms, L"other.exe", 0)};
  // The four root options are read in the 32-bit view; both views hold them.
  for (REGSAM view : {kView64, kView32})
    for (const auto& [name, value] : {std::pair{kSendToMain, 1}, {kIgnoreError, 0}, {kAutoOpen, 1}, {kPrints, 1}})
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
