// Helpers shared by the fuzzers: turn fuzzer bytes into UTF-16 text.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "common/text.h"

inline lumbrex::Text TextFromBytes(const uint8_t* data, size_t size) {
  lumbrex::Text text(size / 2, 0);
  if (!text.empty()) std::memcpy(&text[0], data, (size / 2) * 2);
  return text;
}
