// Part 1.1: IsValidPortName against a straightforward restatement of the rule.
#include <cstdlib>

#include "api/port_name.h"
#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const lumbrex::Text name = TextFromBytes(data, size);
  bool expected = !name.empty() && name.size() <= 33;
  for (auto c : name) {
    const unsigned u = static_cast<unsigned>(c);
    expected = expected && ((u >= 0x40 && u <= 0x5A) || (u >= 0x61 && u <= 0x7A) || (u >= 0x30 && u <= 0x39) || u == 0x5F);
  }
  if (lumbrex::IsValidPortName(name) != expected) std::abort();
  return 0;
}
