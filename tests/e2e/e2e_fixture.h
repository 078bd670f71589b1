// End-to-end tests (issues 4 to 7): the real lumbrex.dll against the real
// stand-in service lumbrex-service.exe (Part 2.4), started by each test
// process. Every change is read back twice: straight from the registry, and
// through the library's own readers (Parts 3.2, 3.3, 4.2, 4.3, 5.1).
#pragma once
#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "e2e/e2e_commands.h"
#include "support/registry_fixture.h"
#include "support/service_process.h"

namespace e2e {

inline const std::wstring kRoot = L"Software\\OSTREL Software\\Lumbrex";
inline const std::wstring kShared = L"Software\\OSTREL Software\\Quillane2";
inline const std::wstring kDriver = L"SYSTEM\\CurrentControlSet\\Services\\korrin9";

inline std::wstring BundleKey(const std::wstring& bundle) { return kRoot + L"\\" + bundle; }
// Side 0 is the IN key, 1 the OUT key (Part 3.1).
inline std::wstring SideKey(const std::wstring& bundle, int side) {
  return BundleKey(bundle) + (side == 0 ? L"\\IN" : L"\\OUT");
}
inline const wchar_t* MainValueName(int side) { return side == 0 ? L"InMain" : L"OutMain"; }
inline std::wstring PermissionsKey(const std::wstring& port) { return kShared + L"\\" + port + L"\\Permissions"; }

// ---- Direct registry reads (HKEY_LOCAL_MACHINE, plain Win32 calls) --------
bool KeyExists(const std::wstring& path, REGSAM view = testsupport::kView64);
bool ValueExists(const std::wstring& path, const std::wstring& name, REGSAM view = testsupport::kView64);
// A REG_SZ value's text without its final NUL; nullopt when missing, of
// another type or without its final NUL.
std::optional<std::wstring> ReadString(const std::wstring& path, const std::wstring& name,
                                       REGSAM view = testsupport::kView64);
std::optional<DWORD> ReadDword(const std::wstring& path, const std::wstring& name,
                               REGSAM view = testsupport::kView64);

// ---- The library's readers, results unpacked ------------------------------
// The strings of a VT_ARRAY|VT_BSTR VARIANT (empty for VT_EMPTY).
std::vector<std::wstring> TextsOf(const VARIANT& v);
// GetBundlesNames; nullopt when it returned 0.
std::optional<std::vector<std::wstring>> BundleNames();
std::optional<std::vector<std::wstring>> PortNames(const std::wstring& bundle, int side);
std::optional<std::wstring> MainPort(const std::wstring& bundle, int side);
// BundleGetPortType's VT_INT value; nullopt when it returned 0.
std::optional<int> PortType(const std::wstring& bundle, int side, const std::wstring& port);
int AreDynamic(const std::wstring& bundle, int side, const std::wstring& port);
struct Parameters {
  int result = -1;
  int baudrate = -7, parity = -7, dataBits = -7, stopBits = -7, flowControl = -7;  // -7: untouched
};
Parameters GetParameters(const std::wstring& bundle, int side, const std::wstring& port);
// BundlePortGetPermissions' VT_I4 mask; nullopt when it returned 0.
std::optional<int> PortPermissions(const std::wstring& bundle, int side, const std::wstring& port);
struct AppPermissions {
  int result = -1;
  VARTYPE applicationsType = VT_ILLEGAL;
  std::vector<std::pair<std::wstring, std::wstring>> rows;  // application, "%d" text
};
AppPermissions GetAppPermissions(const std::wstring& bundle, int side, const std::wstring& port);

// Resets one value (and its key, if the test made it) before and after a test.
class ScopedValue {
 public:
  ScopedValue(std::wstring path, std::wstring name, REGSAM view = testsupport::kView64);
  ~ScopedValue();
  ScopedValue(const ScopedValue&) = delete;
  ScopedValue& operator=(const ScopedValue&) = delete;
 private:
  std::wstring path_, name_;
  REGSAM view_;
  bool keyExisted_;
};

// The configuration keys reset, the stand-in service running, the library
// connected to it.
class EndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Reset before the service starts and after it is gone (members are
  // destroyed in reverse order).
  testsupport::ScopedTree root64_{kRoot, testsupport::kView64};
  testsupport::ScopedTree root32_{kRoot, testsupport::kView32};
  testsupport::ScopedTree shared_{kShared, testsupport::kView64};
  ScopedValue strictBaudrate_{kDriver, L"StrictBaudrate"};
  std::unique_ptr<testsupport::ServiceProcess> service_;
};

}  // namespace e2e
