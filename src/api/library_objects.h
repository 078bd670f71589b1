// The configuration's key paths as the library's readers use them: wide
// strings made at load and destroyed at unload.
#pragma once
#include <string>

namespace lumbrex {

// Text, not the bare constants of common/names.h: RegistryKey and the list readers take a
// path as Text, so the bundle list and the option readers pass these with no string built per call.
// Both defined in library_objects.cpp, one translation unit, so that C++
// makes them in this order and destroys them in reverse.
extern const std::wstring g_rootKeyPath;         // kConfigRootKeyPath, the configuration root
extern const std::wstring g_sharedPortsKeyPath;  // kSharedPortsKeyPath, share permissions
// The connection object (link/remote_control.h) uses neither, so its own
// place in the order of load and unload does not depend on them.

}  // namespace lumbrex
