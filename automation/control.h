// Lumbrex.Control: the library's exports as methods of one dual interface.
#pragma once
#include <windows.h>

namespace lumbrex_automation {

// Creates a Lumbrex.Control object and hands out its interface `iid`.
HRESULT CreateControl(REFIID iid, void** object);

}  // namespace lumbrex_automation
