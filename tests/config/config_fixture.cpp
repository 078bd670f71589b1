#include "config_fixture.h"

namespace configtest {
namespace {
struct Key {
  HKEY h = nullptr;
  ~Key() {
    if (h) RegCloseKey(h);
  }
};
}  // namespace

std::vector<ScopedSerialMap::Value> ReadValuesDirect(const std::wstring& path) {
  std::vector<ScopedSerialMap::Value> values;
  Key k;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &k.h) != ERROR_SUCCESS) return values;
  for (DWORD i = 0;; ++i) {
    wchar_t name[16384];
    DWORD length = 16384, type = 0, size = 0;
    if (RegEnumValueW(k.h, i, name, &length, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
    ScopedSerialMap::Value value{std::wstring(name, length), type, std::vector<BYTE>(size + 2, 0x7F)};
    length = 16384;
    if (RegEnumValueW(k.h, i, name, &length, nullptr, &type, value.data.data(), &size) != ERROR_SUCCESS) break;
    value.data.resize(size);
    values.push_back(std::move(value));
  }
  return values;
}

LONG CreateVolatileKey(const std::wstring& path) {
  Key k;
  return RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr,
                         &k.h, nullptr);
}

LONG ClearValues(const std::wstring& path) {
  for (const auto& value : ReadValuesDirect(path)) {
    const LONG status = testsupport::DeleteValue(path, value.name);
    if (status != ERROR_SUCCESS) return status;
  }
  return ERROR_SUCCESS;
}

ScopedSerialMap::ScopedSerialMap() {
  Key k;
  existed_ = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSerialMap.c_str(), 0, KEY_READ, &k.h) == ERROR_SUCCESS;
  if (existed_) {
    saved_ = ReadValuesDirect(kSerialMap);
  } else {
    CreateVolatileKey(kSerialMap);
  }
  ClearValues(kSerialMap);
}

ScopedSerialMap::~ScopedSerialMap() {
  if (!existed_) {
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kSerialMap.c_str());
    return;
  }
  CreateVolatileKey(kSerialMap);
  ClearValues(kSerialMap);
  for (const Value& value : saved_) {
    // The saved bytes are followed by a non-zero byte, so that the registry
    // stores exactly them (Wine adds a NUL to string data otherwise).
    std::vector<BYTE> bytes(value.data);
    bytes.push_back(0x7F);
    bytes.push_back(0x7F);
    testsupport::SetRaw(kSerialMap, value.name, value.type, bytes.data(), static_cast<DWORD>(value.data.size()));
  }
}

LONG ScopedSerialMap::RemoveKey() { return RegDeleteKeyW(HKEY_LOCAL_MACHINE, kSerialMap.c_str()); }

}  // namespace configtest
