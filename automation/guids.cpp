// The one place the identifiers declared in the generated header are defined.
#include <windows.h>
#include <initguid.h>

#include "lumbrex_automation.h"
