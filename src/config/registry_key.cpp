#include "config/registry_key.h"

namespace lumbrex {

LONG RegistryKey::Open(const Text& path, REGSAM access) {
  Close();
  HKEY key = nullptr;
  const LONG status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, access, &key);
  if (status == ERROR_SUCCESS) key_.reset(key);
  return status;
}

LONG RegistryKey::Close() {
  // Closed here rather than by the owner, whose close has no code to give.
  if (!key_.valid()) return ERROR_SUCCESS;
  return RegCloseKey(key_.release());
}

LONG RegistryKey::QueryString(const Text& name, Text* text) const {
  DWORD type = 0, size = 0;
  LONG status = RegQueryValueExW(key_.get(), name.c_str(), nullptr, &type, nullptr, &size);
  if (status != ERROR_SUCCESS) return status;
  if (type != REG_SZ && type != REG_EXPAND_SZ) return ERROR_INVALID_DATA;
  // size / 2 characters, announced exactly: an odd stored size fails with 234.
  std::vector<wchar_t> buffer(size / 2 + 1);
  DWORD announced = static_cast<DWORD>((size / 2) * sizeof(wchar_t));
  status = RegQueryValueExW(key_.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                            &announced);
  if (status != ERROR_SUCCESS) return status;
  if (type != REG_SZ && type != REG_EXPAND_SZ) return ERROR_INVALID_DATA;
  if (announced == 0) {
    text->clear();
    return ERROR_SUCCESS;
  }
  if (announced % 2 != 0) return ERROR_INVALID_DATA;  // changed between the two queries
  const size_t chars = announced / 2;
  if (buffer[chars - 1] != L'\0') return ERROR_INVALID_DATA;
  text->assign(UpToFirstNul(TextView(buffer.data(), chars)));
  return ERROR_SUCCESS;
}

LONG RegistryKey::QueryStringAnyway(const Text& name, Text* text) const {
  text->clear();
  DWORD type = 0, size = 0;
  LONG status = RegQueryValueExW(key_.get(), name.c_str(), nullptr, &type, nullptr, &size);
  const DWORD chars = (status == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ)) ? size / 2 : 0;
  std::vector<wchar_t> buffer(chars + 1, L'\0');
  DWORD announced = static_cast<DWORD>(chars * sizeof(wchar_t));
  status = RegQueryValueExW(key_.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                            &announced);
  // A failed query copies nothing (Wine) or leaves the buffer undefined
  // (Windows): the text read is then empty.
  if (status != ERROR_SUCCESS) return status;
  // Only string data is taken as text (a non-string value that fits the
  // sized text has 0 bytes, or changed between the two queries).
  if (type != REG_SZ && type != REG_EXPAND_SZ) return ERROR_INVALID_DATA;
  const size_t got = announced / 2 < chars ? announced / 2 : chars;
  text->assign(UpToFirstNul(TextView(buffer.data(), got)));
  if (announced == 0) return ERROR_SUCCESS;
  if (announced % 2 != 0) return ERROR_INVALID_DATA;
  if (buffer[got - 1] != L'\0') return ERROR_INVALID_DATA;
  return ERROR_SUCCESS;
}

LONG RegistryKey::QueryDword(const Text& name, uint32_t* value) const {
  DWORD type = 0, data = 0, size = sizeof(data);
  const LONG status =
      RegQueryValueExW(key_.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&data), &size);
  if (status != ERROR_SUCCESS) return status;
  if (type != REG_DWORD) return ERROR_INVALID_DATA;
  *value = data;
  return ERROR_SUCCESS;
}

LONG RegistryKey::EnumSubkeyNames(std::vector<Text>* names) const {
  for (DWORD index = 0;; ++index) {
    wchar_t name[1024];
    DWORD length = 1024;
    FILETIME written;
    const LONG status = RegEnumKeyExW(key_.get(), index, name, &length, nullptr, nullptr, nullptr, &written);
    if (status == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
    if (status == ERROR_MORE_DATA) continue;
    if (status != ERROR_SUCCESS) return status;
    names->emplace_back(UpToFirstNul(TextView(name, length < 1024 ? length : 1023)));
  }
}

LONG RegistryKey::EnumValueNames(std::vector<Text>* names) const {
  for (DWORD index = 0;; ++index) {
    wchar_t name[128];
    DWORD length = 128, type = 0;
    const LONG status = RegEnumValueW(key_.get(), index, name, &length, nullptr, &type, nullptr, nullptr);
    if (status == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
    if (status == ERROR_MORE_DATA) continue;
    if (status != ERROR_SUCCESS) return status;
    names->emplace_back(UpToFirstNul(TextView(name, length < 128 ? length : 127)));
  }
}

namespace {
LONG ReadNameList(const Text& path, REGSAM access, LONG (RegistryKey::*enumerate)(std::vector<Text>*) const,
                  std::vector<Text>* names) {
  RegistryKey key;
  const LONG status = key.Open(path, access);
  if (status != ERROR_SUCCESS) return status;
  (key.*enumerate)(names);
  return ERROR_SUCCESS;
}
}  // namespace

LONG ReadSubkeyNameList(const Text& path, REGSAM access, std::vector<Text>* names) {
  return ReadNameList(path, access, &RegistryKey::EnumSubkeyNames, names);
}

LONG ReadValueNameList(const Text& path, REGSAM access, std::vector<Text>* names) {
  return ReadNameList(path, access, &RegistryKey::EnumValueNames, names);
}

}  // namespace lumbrex
