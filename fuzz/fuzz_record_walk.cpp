// Part 5.2: WalkPortApplicationRecords over any answer and any port name. The
// answer sits in an allocation of exactly its size, so ASan reports any read
// outside it; the rows must equal those of a restatement of the walk with
// 64-bit positions, and every listed name must be bytes of the answer.
#include <algorithm>
#include <memory>
#include <vector>

#include "fuzz_common.h"
#include "sharing/record_walk.h"

using lumbrex::Char16;
using lumbrex::PortApplication;
using lumbrex::Text;

namespace {

uint32_t U32(const uint8_t* d, uint64_t at) {
  return uint32_t(d[at]) | uint32_t(d[at + 1]) << 8 | uint32_t(d[at + 2]) << 16 | uint32_t(d[at + 3]) << 24;
}

// A UTF-16LE name at absolute byte `at`, ended by a 0 unit inside the bytes.
bool Name(const uint8_t* d, uint64_t size, uint64_t at, Text* name) {
  name->clear();
  for (uint64_t pos = at; pos + 2 <= size; pos += 2) {
    const Char16 unit = Char16(d[pos] | d[pos + 1] << 8);
    if (unit == 0) return true;
    name->push_back(unit);
  }
  return false;
}

Text Lowered(Text t) {
  for (auto& c : t) c = c >= u'A' && c <= u'Z' ? Char16(c + 32) : c;
  return t;
}

std::vector<PortApplication> ReferenceWalk(const uint8_t* d, uint64_t size, Text wanted) {
  std::vector<PortApplication> rows;
  wanted = Lowered(wanted.substr(0, wanted.find(Char16(0))));
  for (uint64_t at = 0; at + 4 <= size;) {
    const uint32_t length = U32(d, at);
    if (length == 0 || at + 44 > size) break;
    Text port, app;
    if (U32(d, at + 8) == 0 && U32(d, at + 16) != 0 && Name(d, size, at + U32(d, at + 12), &port) &&
        Lowered(port) == wanted && Name(d, size, at + U32(d, at + 16), &app))
      rows.push_back(PortApplication{app, U32(d, at + 32), U32(d, at + 36), U32(d, at + 40)});
    at += length;
    if (at >= size) break;
  }
  return rows;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // First byte: the port name's length in units (0 to 15), one unit per byte;
  // the rest is the answer.
  const size_t nameLength = std::min<size_t>(data[0] % 16, size - 1);
  Text port;
  for (size_t k = 0; k < nameLength; ++k) port.push_back(Char16(data[1 + k]));
  const size_t answerSize = size - 1 - nameLength;
  std::unique_ptr<uint8_t[]> answer(new uint8_t[answerSize]);  // exact size, even 0
  std::copy(data + 1 + nameLength, data + size, answer.get());

  const auto rows = lumbrex::WalkPortApplicationRecords(answer.get(), answerSize, port);
  const auto expected = ReferenceWalk(answer.get(), answerSize, port);
  FUZZ_CHECK(rows.size() == expected.size());
  for (size_t k = 0; k < rows.size(); ++k) {
    FUZZ_CHECK(rows[k].name == expected[k].name && rows[k].data0 == expected[k].data0 &&
               rows[k].data1 == expected[k].data1 && rows[k].data2 == expected[k].data2);
    // The name and its 0 unit are bytes of the answer.
    std::vector<uint8_t> pattern;
    for (Char16 c : rows[k].name) {
      pattern.push_back(uint8_t(c));
      pattern.push_back(uint8_t(c >> 8));
    }
    pattern.push_back(0);
    pattern.push_back(0);
    FUZZ_CHECK(std::search(answer.get(), answer.get() + answerSize, pattern.begin(), pattern.end()) !=
               answer.get() + answerSize);
  }
  // A listed record holds its 44-byte fixed part inside the answer.
  FUZZ_CHECK(rows.empty() || answerSize >= lumbrex::kRecordHeaderSize);
  // A null buffer lists nothing.
  FUZZ_CHECK(lumbrex::WalkPortApplicationRecords(nullptr, answerSize, port).empty());
  return 0;
}
