// Part 1.1: QKGetLastError.
#include "lumbrex.h"

#include "api/last_error.h"

extern "C" unsigned int LUMBREX_CALL QKGetLastError(void) { return lumbrex::LastErrorCode(); }
