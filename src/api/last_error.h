// The library's one process-wide last-error code, read by QKGetLastError.
#pragma once
#include <cstdint>

namespace lumbrex {

// Stored only by failing paths, never cleared; 0 at load.
void SetLastErrorCode(uint32_t code);
uint32_t LastErrorCode();
// Stores code and gives the export's failure result.
inline bool FailWithCode(uint32_t code) {
  SetLastErrorCode(code);
  return false;
}

// Out of memory (a string, an array, a command message) is reported as
// ERROR_NOT_ENOUGH_MEMORY, never as an exception.
constexpr uint32_t kOutOfMemoryCode = 8;
// ERROR_INVALID_DATA: the code of every refused argument.
constexpr uint32_t kInvalidData = 13;

}  // namespace lumbrex
