// Where the service keeps the configuration in the registry, and its readers.
// Every reader opens its own RegistryKey, reads, and closes it on every path;
// it returns a Windows error code (0 on success) and fills its output.
#pragma once
#include <windows.h>

#include <cstdint>
#include <vector>

#include "common/names.h"
#include "common/text.h"

namespace lumbrex {

// Access masks of the readers; each also fixes the registry view. The 64-bit
// service keeps its keys in the 64-bit view: a 32-bit build of the library
// asks for that view where the 64-bit build's plain masks get it as native.
#ifdef _WIN64
constexpr REGSAM kServiceView = 0;
#else
constexpr REGSAM kServiceView = KEY_WOW64_64KEY;
#endif
constexpr REGSAM kLayoutAccess = KEY_READ | kServiceView;  // root, bundle, side keys
// The service writes the four root options into the 32-bit view
// (Software\WOW6432Node\...), not beside the bundles: the native view misses them.
constexpr REGSAM kRootOptionAccess = KEY_READ | KEY_WOW64_32KEY;
constexpr REGSAM kDriverOptionAccess = KEY_READ | kServiceView;  // the driver's option
// Write access on purpose, though it only reads: callers are told (docs/api-reference.md)
// that without administrator rights GetRealPortsList fails with 5; KEY_READ alone would let it succeed.
constexpr REGSAM kSerialMapAccess = KEY_READ | KEY_WRITE | kServiceView;
static_assert(kRootOptionAccess == 0x20219 && (kLayoutAccess & ~KEY_WOW64_64KEY) == 0x20019 &&
                  (kSerialMapAccess & ~KEY_WOW64_64KEY) == 0x2001F && kDriverOptionAccess == kLayoutAccess,
              "registry access masks");
static_assert(sizeof(void*) == 4 || (kLayoutAccess == 0x20019 && kSerialMapAccess == 0x2001F),
              "the 64-bit build's masks are the plain ones");

// The one place where the library composes key paths from the names of
// common/names.h: names are inserted unchanged, without escaping or change of
// case. A side is taken as SideKeyName takes it.
Text BundleKeyPath(const Text& bundle);              // root + "\" + bundle
Text SideKeyPath(const Text& bundle, int32_t side);  // bundle key + "\" + the side's key name
// The port's share permissions: the shared-ports key path, "\", the port as
// given, "\", the permissions key name. Bundle and side play no part: the
// service keeps permissions per port.
Text SharePermissionsKeyPath(const Text& port);

// Subkey names of the root key (the bundles), in enumeration order.
LONG ReadBundleNames(std::vector<Text>* names);
// Value names of the side key (the ports), in enumeration order.
LONG ReadSidePortNames(const Text& bundle, int32_t side, std::vector<Text>* names);
// The side's main-port string value of the bundle key (MainPortValueName).
LONG ReadMainPort(const Text& bundle, int32_t side, Text* port);
// The port entry (the value named by the port in the side key) as one string
// (port type and parameters). Codes of RegistryKey::QueryString.
LONG ReadPortEntryText(const Text& bundle, int32_t side, const Text& port, Text* entry);
// Port names of the real serial devices in the serial-device map, drivers'
// devices skipped: the status remembered from the last appended value, 0 when
// none; on a non-zero status the list holds what was read and callers discard
// it.
LONG ReadRealPorts(std::vector<Text>* ports);

}  // namespace lumbrex
