// QKGetLastError: the reason of the most recent failure that stored one.
#include "lumbrex.h"

#include "api/last_error.h"

extern "C" unsigned int LUMBREX_CALL QKGetLastError(void) { return lumbrex::LastErrorCode(); }
