// The walk over any driver answer for any port name. The answer sits in an
// allocation of exactly its size, so ASan reports any read outside it; the
// rows must equal those of a second walk written with 64-bit positions, in
// which no offset or length can wrap. Input: the first byte is the port
// name's length in units (0 to 15), that many bytes follow, one unit each; the
// rest is the answer.
#include <algorithm>
#include <memory>
#include <vector>

#include "fuzz_common.h"
#include "sharing/record_walk.h"

using namespace lumbrex;

namespace {

uint32_t U32(const uint8_t* d, uint64_t at) {
  return uint32_t(d[at]) | uint32_t(d[at + 1]) << 8 | uint32_t(d[at + 2]) << 16 | uint32_t(d[at + 3]) << 24;
}

// A UTF-16LE name at byte `at`, ended by a 0 unit inside the bytes.
bool Name(const uint8_t* d, uint64_t size, uint64_t at, Text* name) {
  name->clear();
  for (uint64_t pos = at; pos + 2 <= size; pos += 2) {
    const Char16 unit = Char16(d[pos] | d[pos + 1] << 8);
    if (unit == 0) return true;
    name->push_back(unit);
  }
  return false;
}

std::vector<PortApplication> ReferenceWalk(const uint8_t* d, uint64_t size, Text wanted) {
  std::vector<PortApplication> rows;
  wanted = AsciiLowered(wanted.substr(0, wanted.find(Char16(0))));
  for (uint64_t at = 0; at + 4 <= size;) {
    const uint32_t length = U32(d, at);
    if (length == 0 || at + 44 > size) break;
    Text port, app;
    if (U32(d, at + 8) == 0 && U32(d, at + 16) != 0 && Name(d, size, at + U32(d, at + 12), &port) &&
        AsciiLowered(port) == wanted && Name(d, size, at + U32(d, at + 16), &app))
      rows.push_back(PortApplication{app, U32(d, at + 32), U32(d, at + 36), U32(d, at + 40)});
    at += length;
  }
  return rows;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t nameLength = std::min<size_t>(data[0] % 16, size - 1);
  Text port;
  for (size_t k = 0; k < nameLength; ++k) port.push_back(Char16(data[1 + k]));
  const size_t answerSize = size - 1 - nameLength;
  std::unique_ptr<uint8_t[]> answer(new uint8_t[answerSize]);  // exact size, even 0
  std::copy(data + 1 + nameLength, data + size, answer.get());

  const auto rows = WalkPortApplicationRecords(answer.get(), answerSize, port);
  const auto expected = ReferenceWalk(answer.get(), answerSize, port);
  FUZZ_CHECK(rows.size() == expected.size());
  for (size_t k = 0; k < rows.size(); ++k)
    FUZZ_CHECK(rows[k].name == expected[k].name && rows[k].data0 == expected[k].data0 &&
               rows[k].data1 == expected[k].data1 && rows[k].data2 == expected[k].data2);
  FUZZ_CHECK(WalkPortApplicationRecords(nullptr, answerSize, port).empty());
  return 0;
}
