// The registry entries that let CreateObject("Lumbrex.Control") find this
// DLL: the class, both ProgIDs, the interface and the type library, all
// under one root: HKLM\Software\Classes for the machine, or
// HKCU\Software\Classes for the current user only (no administrator rights).
// Under Wine a per-user registration is also copied to the prefix's machine
// classes, the only ones Wine's COM reads.
#pragma once
#include <windows.h>

namespace lumbrex_automation {

enum class Scope { kMachine, kUser };

// Writes every entry; on a failure removes what was written.
HRESULT Register(Scope scope);
// Removes every entry Register writes; entries already gone count as removed.
HRESULT Unregister(Scope scope);

}  // namespace lumbrex_automation
