#include "support/registry_fixture.h"

#include "api/raii.h"

namespace testsupport {
namespace {

using lumbrex::UniqueHkey;

UniqueHkey OpenKey(const std::wstring& path, REGSAM view, bool create, LONG* status, DWORD options = 0) {
  UniqueHkey key;
  *status = create ? RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, options, KEY_ALL_ACCESS | view,
                                     nullptr, key.put(), nullptr)
                   : RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_ALL_ACCESS | view, key.put());
  if (*status != ERROR_SUCCESS) key.release();  // whatever a failed call left there is no key
  return key;
}

// Where the serial-device map's own values wait while a test replaces them.
const std::wstring kSavedMapKey = L"Software\\Lumbrex tests: saved serial map";

}  // namespace

LONG Write(const std::vector<RegItem>& items) {
  for (const RegItem& item : items) {
    LONG status = ERROR_SUCCESS;
    if (item.type == kRemoved) {
      DeleteTree(item.key, item.view);
    } else if (const UniqueHkey key = OpenKey(item.key, item.view, true, &status);
               key.valid() && item.type != kKeyOnly) {
      const std::string data = item.bytes + "\x7F\x7F";
      status = RegSetValueExW(key.get(), item.name.empty() ? nullptr : item.name.c_str(), 0, item.type,
                              reinterpret_cast<const BYTE*>(data.data()), static_cast<DWORD>(item.bytes.size()));
    }
    if (status != ERROR_SUCCESS) return status;
  }
  return ERROR_SUCCESS;
}

LONG DeleteTree(const std::wstring& path, REGSAM view) {
  LONG status;
  const UniqueHkey key = OpenKey(path, view, false, &status);
  if (status == ERROR_SUCCESS) status = RegDeleteTreeW(key.get(), nullptr);
  return status != ERROR_SUCCESS ? status : RegDeleteKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), view, 0);
}

RegistryFixture::RegistryFixture(const std::vector<RegItem>& items) {
  LONG status;
  DeleteTree(kSavedMapKey);
  if (const UniqueHkey map = OpenKey(kSerialMapKey, kView64, false, &status); map.valid())
    mapExisted_ = RegCopyTreeW(map.get(), nullptr, OpenKey(kSavedMapKey, kView64, true, &status).get()) == 0;
  DeleteTree(kSerialMapKey);
  // Its parent is volatile, and a volatile key takes only volatile subkeys.
  OpenKey(kSerialMapKey, kView64, true, &status, REG_OPTION_VOLATILE);
  status_ = status != ERROR_SUCCESS ? status : Write(items);
}

RegistryFixture::~RegistryFixture() {
  LONG status;
  DeleteTree(kSerialMapKey);
  if (mapExisted_)
    RegCopyTreeW(OpenKey(kSavedMapKey, kView64, false, &status).get(), nullptr,
                 OpenKey(kSerialMapKey, kView64, true, &status, REG_OPTION_VOLATILE).get());
  DeleteTree(kSavedMapKey);
}

std::vector<std::wstring> EnumNamesDirect(const std::wstring& path, REGSAM view, bool values) {
  std::vector<std::wstring> names;
  LONG status;
  const UniqueHkey key = OpenKey(path, view, false, &status);
  for (DWORD i = 0; status == ERROR_SUCCESS; ++i) {
    wchar_t name[16384];
    DWORD length = 16384;
    status = values ? RegEnumValueW(key.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr)
                    : RegEnumKeyExW(key.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_SUCCESS) names.emplace_back(name, length);
  }
  return names;
}

}  // namespace testsupport
