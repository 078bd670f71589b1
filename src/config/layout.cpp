#include "config/layout.h"

#include "api/library_objects.h"
#include "config/layout_rules.h"
#include "config/registry_key.h"

namespace lumbrex {

Text BundleKeyPath(const Text& bundle) { return g_rootKeyPath + L"\\" + bundle; }

Text SideKeyPath(const Text& bundle, int32_t side) {
  return BundleKeyPath(bundle) + L"\\" + SideKeyName(side);
}

Text SharePermissionsKeyPath(const Text& port) {
  return g_sharedPortsKeyPath + L"\\" + port + L"\\" + kPermissionsKeyName;
}

namespace {
LONG ReadString(const Text& path, const Text& name, Text* text) {
  RegistryKey key;
  const LONG status = key.Open(path, kLayoutAccess);
  if (status != ERROR_SUCCESS) return status;
  return key.QueryString(name, text);
}
}  // namespace

LONG ReadBundleNames(std::vector<Text>* names) { return ReadSubkeyNameList(g_rootKeyPath, kLayoutAccess, names); }

LONG ReadSidePortNames(const Text& bundle, int32_t side, std::vector<Text>* names) {
  return ReadValueNameList(SideKeyPath(bundle, side), kLayoutAccess, names);
}

LONG ReadMainPort(const Text& bundle, int32_t side, Text* port) {
  return ReadString(BundleKeyPath(bundle), MainPortValueName(side), port);
}

LONG ReadPortEntryText(const Text& bundle, int32_t side, const Text& port, Text* entry) {
  return ReadString(SideKeyPath(bundle, side), port, entry);
}

LONG ReadRealPorts(std::vector<Text>* ports) {
  RegistryKey key;
  const LONG openStatus = key.Open(kSerialMapKeyPath, kSerialMapAccess);
  if (openStatus != ERROR_SUCCESS) return openStatus;
  std::vector<Text> kernelNames;
  key.EnumValueNames(&kernelNames);
  // Drivers' devices skipped; every other value appended whatever its read
  // status, and the status of the last one is the result.
  LONG status = ERROR_SUCCESS;
  for (const Text& kernelName : kernelNames) {
    if (IsDriverDeviceName(kernelName)) continue;
    Text portName;
    status = key.QueryStringAnyway(kernelName, &portName);
    ports->push_back(std::move(portName));
  }
  return status;
}

}  // namespace lumbrex
