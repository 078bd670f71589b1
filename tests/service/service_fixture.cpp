#include "service/service_fixture.h"

#include <vector>

namespace servicetest {
namespace {
struct Key {
  HKEY h = nullptr;
  ~Key() { if (h) RegCloseKey(h); }
};
}  // namespace

bool KeyExists(const std::wstring& path, REGSAM view) {
  Key k;
  return RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | view, &k.h) == ERROR_SUCCESS;
}

bool ValueExists(const std::wstring& path, const std::wstring& name, REGSAM view) {
  Key k;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | view, &k.h) != ERROR_SUCCESS) return false;
  return RegQueryValueExW(k.h, name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

std::optional<std::wstring> ReadRawString(const std::wstring& path, const std::wstring& name, REGSAM view,
                                          DWORD* type) {
  Key k;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | view, &k.h) != ERROR_SUCCESS)
    return std::nullopt;
  DWORD kind = 0, size = 0;
  if (RegQueryValueExW(k.h, name.c_str(), nullptr, &kind, nullptr, &size) != ERROR_SUCCESS) return std::nullopt;
  if (type) *type = kind;
  if (kind != REG_SZ && kind != REG_EXPAND_SZ) return std::nullopt;
  std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1);
  if (RegQueryValueExW(k.h, name.c_str(), nullptr, &kind, reinterpret_cast<BYTE*>(buffer.data()), &size) !=
      ERROR_SUCCESS)
    return std::nullopt;
  return std::wstring(buffer.data(), size / sizeof(wchar_t));
}

std::optional<std::wstring> ReadString(const std::wstring& path, const std::wstring& name, REGSAM view) {
  auto raw = ReadRawString(path, name, view);
  if (!raw || raw->empty() || raw->back() != L'\0') return std::nullopt;
  raw->pop_back();
  return raw;
}

std::optional<DWORD> ReadDword(const std::wstring& path, const std::wstring& name, REGSAM view) {
  Key k;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | view, &k.h) != ERROR_SUCCESS)
    return std::nullopt;
  DWORD type = 0, value = 0, size = sizeof value;
  if (RegQueryValueExW(k.h, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
      type != REG_DWORD || size != sizeof value)
    return std::nullopt;
  return value;
}

std::string Ansi(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = WideCharToMultiByte(1252, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                       nullptr);
  std::string out(size, '\0');
  WideCharToMultiByte(1252, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
  return out;
}

void ServiceTest::SetUp() {
  service_ = std::make_unique<testsupport::ServiceProcess>(options_);
  ASSERT_TRUE(service_->Ready()) << service_->Problem();
  ASSERT_TRUE(client_.Connect());
}

std::string ServiceTest::Command(const std::string& text) { return client_.Transact(text); }

std::string ServiceTest::CommandOnNewConnection(const std::string& text) {
  PipeClient client;
  if (!client.Connect()) return "<no connection>";
  return client.Transact(text);
}

}  // namespace servicetest
