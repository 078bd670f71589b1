#include "config/options.h"

#include "api/library_objects.h"
#include "config/layout.h"
#include "config/registry_key.h"

namespace lumbrex {

namespace {
LONG ReadDword(const Text& path, REGSAM access, Option which, uint32_t* value) {
  RegistryKey key;
  const LONG status = key.Open(path, access);
  if (status != ERROR_SUCCESS) return status;
  return key.QueryDword(kOptionValueNames[static_cast<int>(which)], value);
}
}  // namespace

LONG ReadOption(Option which, uint32_t* value) {
  if (which != Option::StrictBaudrate) return ReadDword(g_rootKeyPath, kRootOptionAccess, which, value);
  // The driver's option reads as 0 on any failure.
  const LONG status = ReadDword(kDriverServiceKeyPath, kDriverOptionAccess, which, value);
  if (status != ERROR_SUCCESS) *value = 0;
  return status;
}

}  // namespace lumbrex
