// Helpers shared by the fuzzers: turn fuzzer bytes into UTF-16 text.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/text.h"

inline lumbrex::Text TextFromBytes(const uint8_t* data, size_t size) {
  lumbrex::Text text(size / 2, 0);
  if (!text.empty()) std::memcpy(&text[0], data, (size / 2) * 2);
  return text;
}

// Text in one of two encodings, chosen by the first byte: odd: the rest as
// UTF-16 units (any unit, surrogates included); even: one unit per byte
// (0x00-0xFF), so that the fuzzer reaches the ASCII formats quickly.
inline lumbrex::Text FuzzText(const uint8_t* data, size_t size) {
  if (size == 0) return lumbrex::Text();
  if (data[0] & 1) return TextFromBytes(data + 1, size - 1);
  lumbrex::Text text;
  for (size_t i = 1; i < size; ++i) text.push_back(lumbrex::Char16(data[i]));
  return text;
}

// A property that failed: abort, so libFuzzer keeps the input as a crash.
#define FUZZ_CHECK(condition)                                                        \
  do {                                                                               \
    if (!(condition)) {                                                              \
      std::fprintf(stderr, "FUZZ_CHECK failed at %s:%d: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                  \
    }                                                                                \
  } while (0)
