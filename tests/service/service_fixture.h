// Shared set-up of the service tests: the configuration keys the service
// writes are reset before and after each test, a lumbrex-service.exe
// --foreground child serves the pipe, and the registry is read back directly.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

#include "service/pipe_client.h"
#include "support/registry_fixture.h"
#include "support/service_process.h"

namespace servicetest {

inline const std::wstring kRoot = L"Software\\OSTREL Software\\Lumbrex";
inline const std::wstring kShared = L"Software\\OSTREL Software\\Quillane2";
inline const std::wstring kDriver = L"SYSTEM\\CurrentControlSet\\Services\\korrin9";

inline std::wstring BundleKey(const std::wstring& bundle) { return kRoot + L"\\" + bundle; }
inline std::wstring SideKey(const std::wstring& bundle, const std::wstring& side) {
  return kRoot + L"\\" + bundle + L"\\" + side;
}
inline std::wstring PermissionsKey(const std::wstring& port) { return kShared + L"\\" + port + L"\\Permissions"; }

// Direct registry reads (HKEY_LOCAL_MACHINE, the given view).
bool KeyExists(const std::wstring& path, REGSAM view = testsupport::kView64);
bool ValueExists(const std::wstring& path, const std::wstring& name, REGSAM view = testsupport::kView64);
// The value's type and text when it is REG_SZ/REG_EXPAND_SZ, with the data's
// full length (the final NUL shows as a trailing L'\0').
std::optional<std::wstring> ReadRawString(const std::wstring& path, const std::wstring& name,
                                          REGSAM view = testsupport::kView64, DWORD* type = nullptr);
// The text without its final NUL; nullopt when missing or not a string.
std::optional<std::wstring> ReadString(const std::wstring& path, const std::wstring& name,
                                       REGSAM view = testsupport::kView64);
std::optional<DWORD> ReadDword(const std::wstring& path, const std::wstring& name,
                               REGSAM view = testsupport::kView64);

// ANSI (code page 1252) bytes of a wide text, as the library sends them.
std::string Ansi(const std::wstring& text);

class ServiceTest : public ::testing::Test {
 protected:
  void SetUp() override;
  // One command on the test's own connection; the reply text.
  std::string Command(const std::string& text);
  // The same on a fresh connection of its own.
  static std::string CommandOnNewConnection(const std::string& text);

  testsupport::ScopedTree root64_{kRoot, testsupport::kView64};
  testsupport::ScopedTree root32_{kRoot, testsupport::kView32};
  testsupport::ScopedTree shared_{kShared, testsupport::kView64};
  testsupport::ScopedTree driver_{kDriver, testsupport::kView64};
  std::unique_ptr<testsupport::ServiceProcess> service_;
  PipeClient client_;
  // Extra options for the child, set by a derived fixture before SetUp.
  testsupport::ServiceProcess::Options options_;
};

}  // namespace servicetest
