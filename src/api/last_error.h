// Part 1.1: the library's one process-wide last-error code.
#pragma once
#include <cstdint>

namespace lumbrex {

// Stored only by failing paths, never cleared; 0 at load (Part 1.1).
void SetLastErrorCode(uint32_t code);
uint32_t LastErrorCode();

// Result of a failure the spec leaves to us: out of memory (Part 1.2, Left to
// the implementer) is reported as ERROR_NOT_ENOUGH_MEMORY.
constexpr uint32_t kOutOfMemoryCode = 8;
// ERROR_INVALID_DATA: the argument-check failure code (Part 1.1).
constexpr uint32_t kInvalidData = 13;

}  // namespace lumbrex
