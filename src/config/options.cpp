#include "config/options.h"

#include "api/library_objects.h"
#include "config/layout.h"
#include "config/registry_key.h"

namespace lumbrex {

const wchar_t* OptionValueName(Option which) {
  switch (which) {
    case Option::AutoOpen: return L"AutoOpen";
    case Option::IgnoreError: return L"IgnoreError";
    case Option::Prints: return L"Prints";
    case Option::SendDataOnlyMainPort: return L"SendDataOnlyMainPort";
    case Option::StrictBaudrate: return L"StrictBaudrate";
  }
  return L"";
}

namespace {
LONG ReadDword(const Text& path, REGSAM access, Option which, uint32_t* value) {
  RegistryKey key;
  const LONG status = key.Open(path, access);
  if (status != ERROR_SUCCESS) return status;
  return key.QueryDword(OptionValueName(which), value);
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
