// Part 5.2: the record walk built NATIVELY (no Windows, no Wine) with the
// sanitizers, to keep it plain code and to shake it with random buffers.
// LLVMFuzzerTestOneInput is a ready libFuzzer target (clang -fsanitize=fuzzer
// -DLUMBREX_LIBFUZZER); without it, main() runs a fixed random sequence.
#include <cstdint>
#include <cstdio>
#include <random>
#include <vector>

#include "sharing/record_walk.h"

using lumbrex::Char16;
using lumbrex::TextView;

// Input: the first byte picks the length of the query name (0..7 units of
// "COM3xyz"), the rest is the answer.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const Char16 kName[] = {'C', 'O', 'M', '3', 'x', 'y', 'z'};
  if (size == 0) return 0;
  const TextView port(kName, data[0] % 8);
  const auto listed = lumbrex::WalkPortApplicationRecords(data + 1, size - 1, port);
  // A listed record needs its 44-byte fixed part in the bytes. Records may
  // overlap (EntryLength below 44), so the count is not bounded by size / 44.
  if (!listed.empty() && size - 1 < 44) __builtin_trap();
  return 0;
}

#ifndef LUMBREX_LIBFUZZER
namespace {
void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
}
}  // namespace

int main() {
  // One known answer: COM3 (A), com3 (B), COM4 (C); Com3 lists A then B.
  std::vector<uint8_t> answer;
  const char* ports[] = {"COM3", "com3", "COM4"};
  const char apps[] = {'A', 'B', 'C'};
  for (int r = 0; r < 3; ++r) {
    std::vector<uint8_t> rec(64, 0);
    Put32(rec, 0, 64);
    Put32(rec, 12, 44);
    Put32(rec, 16, 54);
    for (int i = 0; i < 4; ++i) rec[44 + 2 * i] = uint8_t(ports[r][i]);
    rec[54] = uint8_t(apps[r]);
    answer.insert(answer.end(), rec.begin(), rec.end());
  }
  answer.resize(answer.size() + 4, 0);
  const Char16 com3[] = {'C', 'o', 'm', '3'};
  const auto listed = lumbrex::WalkPortApplicationRecords(answer.data(), answer.size(), TextView(com3, 4));
  if (listed.size() != 2 || listed[0].name.size() != 1 || listed[0].name[0] != 'A' || listed[1].name[0] != 'B') {
    std::fprintf(stderr, "known answer walked wrongly (%zu listed)\n", listed.size());
    return 1;
  }
  // Random buffers, biased towards plausible records, under ASan/UBSan.
  std::mt19937 rng(20261205);
  for (int iteration = 0; iteration < 100000; ++iteration) {
    std::vector<uint8_t> input(1 + rng() % 256);
    for (auto& b : input) {
      const unsigned r = rng() % 10;
      b = r < 5 ? 0 : r < 7 ? uint8_t(rng() % 64) : uint8_t(rng());
    }
    if (input.size() > 45 && rng() % 2) {
      input[1] = uint8_t(44 + rng() % 80);
      input[2] = input[3] = input[4] = 0;
      input[13] = uint8_t(44 + rng() % 8);
      input[17] = uint8_t(44 + rng() % 40);
    }
    // The answer is copied into a buffer of exactly its size, so that any
    // read past it is caught.
    LLVMFuzzerTestOneInput(input.data(), input.size());
  }
  std::puts("record walk: native run clean");
  return 0;
}
#endif
