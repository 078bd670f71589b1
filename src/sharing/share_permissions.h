// Reading the share permissions that the service keeps under the shared-ports
// key, in each port's permissions key (SharePermissionsKeyPath, config/layout.h).
#pragma once
#include <windows.h>

#include <cstdint>
#include <vector>

#include "common/text.h"

namespace lumbrex {

// KEY_READ | KEY_WOW64_64KEY: the 64-bit view also from a 32-bit process.
constexpr REGSAM kSharePermissionsAccess = 0x20119;

// The value names of the port's permissions key, in enumeration order.
// Returns the open's code (2 when the key is absent) with an empty list, or 0.
LONG ListPermissionApplications(const Text& port, std::vector<Text>* applications);

// The REG_DWORD value named `application` under the port's permissions key.
// Returns the open's code, the query's code (2 missing, 234 longer than 4
// bytes), 13 for another type, or 0 with the value.
LONG ReadSharePermission(const Text& port, const Text& application, uint32_t* value);

}  // namespace lumbrex
