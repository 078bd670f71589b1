// SharedDelAllPermissions for scripts: every application stored for the port
// set back to the default 3, one SharedSetDefaultPermissions each.
//
// Not the library's SharedDelAllPermissions: it reads the names again and
// sends each through the thread's ANSI code page unchecked, so a name another
// program stored that the code page lacks (Łukasz.exe) resets another
// application (Lukasz.exe) or makes a new entry (??????.exe); and it answers
// success whatever the service said to each command.
#pragma once
#include <windows.h>

#include "operation.h"

namespace lumbrex_automation {

// The names are read once and all checked before the first is sent: one that
// cannot be sent exactly refuses the whole call, with nothing sent. The first
// command that fails ends the call with its error.
HRESULT ResetShares(Operation& op, const VARIANT& bundle, int side, const VARIANT& port);

}  // namespace lumbrex_automation
