// No exception leaves an export: a C caller or a scripting host cannot catch it.
#pragma once
#include <cstdint>

#include "api/last_error.h"

namespace lumbrex {

// Runs an export's body; turns its bool into the 0/1 result and any escaping
// exception into result 0 with a last-error code. Only allocations throw in a
// body (a string, an array, a command message), so every exception reads as
// out of memory.
template <class Body>
int32_t RunExport(Body&& body) noexcept {
  try {
    return body() ? 1 : 0;
  } catch (...) {
    SetLastErrorCode(kOutOfMemoryCode);
  }
  return 0;
}

}  // namespace lumbrex
