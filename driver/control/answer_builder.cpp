#include "driver/control/answer_builder.h"

namespace standin_driver {

void PutU32(std::vector<uint8_t>* bytes, size_t at, uint32_t value) {
  if (bytes->size() < at + 4) bytes->resize(at + 4, 0);
  for (int i = 0; i < 4; ++i) (*bytes)[at + i] = uint8_t(value >> (8 * i));
}

uint32_t GetU32(const std::vector<uint8_t>& bytes, size_t at) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= uint32_t(bytes.at(at + i)) << (8 * i);
  return v;
}

namespace {
void PutName(std::vector<uint8_t>* bytes, const std::u16string& name) {
  for (char16_t c : name) {
    bytes->push_back(uint8_t(c & 0xFF));
    bytes->push_back(uint8_t(c >> 8));
  }
  bytes->push_back(0);
  bytes->push_back(0);
}
}  // namespace

std::vector<uint8_t> BuildAnswer(const std::vector<RecordSpec>& records, bool terminate) {
  std::vector<uint8_t> out;
  for (const RecordSpec& r : records) {
    std::vector<uint8_t> rec(44, 0);
    PutU32(&rec, 4, 0xDEADBEEF);  // not read
    PutU32(&rec, 8, r.kind);
    PutU32(&rec, 12, 44);
    PutName(&rec, r.port);
    const size_t appAt = rec.size();
    PutName(&rec, r.app);
    PutU32(&rec, 16, r.noApp ? 0 : uint32_t(appAt));
    PutU32(&rec, 20, 0xA5A5A5A5);  // not read
    PutU32(&rec, 32, r.data0);
    PutU32(&rec, 36, r.data1);
    PutU32(&rec, 40, r.data2);
    while (rec.size() % 4 != 0) rec.push_back(0);
    PutU32(&rec, 0, uint32_t(rec.size()));
    out.insert(out.end(), rec.begin(), rec.end());
  }
  if (terminate) PutU32(&out, out.size(), 0);
  return out;
}

std::vector<size_t> RecordStarts(const std::vector<uint8_t>& answer) {
  std::vector<size_t> starts;
  size_t at = 0;
  while (at + 4 <= answer.size()) {
    const uint32_t length = GetU32(answer, at);
    if (length == 0) break;
    starts.push_back(at);
    at += length;
  }
  return starts;
}

}  // namespace standin_driver
