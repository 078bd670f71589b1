// What the COM server's entry points share with the object: the DLL's own
// module, and the count of live objects and server locks that decides when
// the DLL may be unloaded.
#pragma once
#include <windows.h>

namespace lumbrex_automation {

HMODULE ThisModule();
void AddServerReference();
void ReleaseServerReference();

}  // namespace lumbrex_automation
