#include "support/registry_fixture.h"

#include <cstring>

namespace testsupport {
namespace {
struct Key {
  HKEY h = nullptr;
  ~Key() { if (h) RegCloseKey(h); }
};
}  // namespace

LONG CreateKey(const std::wstring& path, REGSAM view) {
  Key k;
  return RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &k.h, nullptr);
}

LONG DeleteTree(const std::wstring& path, REGSAM view) {
  Key k;
  LONG status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_ALL_ACCESS | view, &k.h);
  if (status != ERROR_SUCCESS) return status;
  status = RegDeleteTreeW(k.h, nullptr);
  if (status != ERROR_SUCCESS) return status;
  return RegDeleteKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), view, 0);
}

LONG SetRaw(const std::wstring& path, const std::wstring& name, DWORD type, const void* data, DWORD size,
            REGSAM view) {
  Key k;
  LONG status =
      RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &k.h, nullptr);
  if (status != ERROR_SUCCESS) return status;
  return RegSetValueExW(k.h, name.empty() ? nullptr : name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
}

LONG SetString(const std::wstring& path, const std::wstring& name, const std::wstring& text, DWORD type,
               REGSAM view) {
  return SetRaw(path, name, type, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)), view);
}

LONG SetStringWithoutNul(const std::wstring& path, const std::wstring& name, const std::wstring& text,
                         REGSAM view) {
  std::vector<wchar_t> buffer(text.begin(), text.end());
  buffer.push_back(L'\x7F7F');  // non-zero bytes right after the data
  return SetRaw(path, name, REG_SZ, buffer.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), view);
}

LONG SetDword(const std::wstring& path, const std::wstring& name, uint32_t value, REGSAM view) {
  return SetRaw(path, name, REG_DWORD, &value, sizeof(value), view);
}

LONG DeleteValue(const std::wstring& path, const std::wstring& name, REGSAM view) {
  Key k;
  LONG status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_ALL_ACCESS | view, &k.h);
  if (status != ERROR_SUCCESS) return status;
  return RegDeleteValueW(k.h, name.c_str());
}

ScopedTree::ScopedTree(std::wstring path, REGSAM view) : path_(std::move(path)), view_(view) {
  DeleteTree(path_, view_);
}
ScopedTree::~ScopedTree() { DeleteTree(path_, view_); }

std::vector<std::wstring> EnumValueNamesDirect(const std::wstring& path, REGSAM view) {
  std::vector<std::wstring> names;
  Key k;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | view, &k.h) != ERROR_SUCCESS) return names;
  for (DWORD i = 0;; ++i) {
    wchar_t name[16384];
    DWORD length = 16384;
    if (RegEnumValueW(k.h, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    names.emplace_back(name, length);
  }
  return names;
}

std::vector<std::wstring> EnumSubkeyNamesDirect(const std::wstring& path, REGSAM view) {
  std::vector<std::wstring> names;
  Key k;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | view, &k.h) != ERROR_SUCCESS) return names;
  for (DWORD i = 0;; ++i) {
    wchar_t name[1024];
    DWORD length = 1024;
    if (RegEnumKeyExW(k.h, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    names.emplace_back(name, length);
  }
  return names;
}

}  // namespace testsupport
