#include "sharing/share_permissions.h"

#include "config/layout.h"
#include "config/registry_key.h"

namespace lumbrex {

LONG ListPermissionApplications(const Text& port, std::vector<Text>* applications) {
  applications->clear();
  return ReadValueNameList(SharePermissionsKeyPath(port), kSharePermissionsAccess, applications);
}

LONG ReadSharePermission(const Text& port, const Text& application, uint32_t* value) {
  RegistryKey key;
  const LONG status = key.Open(SharePermissionsKeyPath(port), kSharePermissionsAccess);
  if (status != ERROR_SUCCESS) return status;
  return key.QueryDword(application, value);
}

}  // namespace lumbrex
