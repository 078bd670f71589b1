// Hand-made answers of the port-sharing driver, in the record layout the
// library walks (plain code, little-endian bytes), for the tests and the demo.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace standin_driver {

struct RecordSpec {
  std::u16string port;
  std::u16string app;
  uint32_t kind = 0;
  uint32_t data0 = 0, data1 = 0, data2 = 0;
  bool noApp = false;  // AppNameOffset 0
};

// Writes a little-endian 32-bit value at a byte offset, growing the buffer if
// need be; GetU32 reads one.
void PutU32(std::vector<uint8_t>* bytes, size_t at, uint32_t value);
uint32_t GetU32(const std::vector<uint8_t>& bytes, size_t at);

// Records one after the other: each is the 44-byte fixed part followed by
// the port name and the application name (each with its 0 unit), EntryLength
// the whole record; a final 32-bit 0 ends the list when `terminate`.
std::vector<uint8_t> BuildAnswer(const std::vector<RecordSpec>& records, bool terminate = true);
// Byte offsets where each record starts in a BuildAnswer buffer.
std::vector<size_t> RecordStarts(const std::vector<uint8_t>& answer);

}  // namespace standin_driver
