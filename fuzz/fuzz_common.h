// Helpers shared by the fuzzers.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/text.h"

// Text in one of two encodings, chosen by the first byte: odd: the rest as
// UTF-16 units (surrogates and NUL included); even: one unit per byte, so that
// the fuzzer reaches the ASCII formats quickly.
inline lumbrex::Text FuzzText(const uint8_t* data, size_t size) {
  lumbrex::Text text;
  if (size > 0 && (data[0] & 1)) {
    text.resize((size - 1) / 2);
    if (!text.empty()) std::memcpy(&text[0], data + 1, text.size() * 2);
  } else {
    for (size_t i = 1; i < size; ++i) text.push_back(lumbrex::Char16(data[i]));
  }
  return text;
}

// Bytes as the service reads them from the pipe: one unit per byte, as code
// page 1252 maps most of them.
inline lumbrex::Text Widened(const std::string& bytes) {
  lumbrex::Text text;
  for (unsigned char c : bytes) text.push_back(lumbrex::Char16(c));
  return text;
}

// A broken property becomes a crash, whose input libFuzzer keeps.
[[noreturn]] inline void FuzzCheckFailed(const char* file, int line, const char* condition) {
  std::fprintf(stderr, "FUZZ_CHECK failed at %s:%d: %s\n", file, line, condition);
  std::abort();
}
#define FUZZ_CHECK(condition) ((condition) ? void() : FuzzCheckFailed(__FILE__, __LINE__, #condition))
