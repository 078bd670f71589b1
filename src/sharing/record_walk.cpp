#include "sharing/record_walk.h"

namespace lumbrex {

namespace {

uint32_t ReadU32(const uint8_t* p) {
  // Little-endian whatever the host: the driver's fields are little-endian.
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

// A UTF-16LE name at byte `at`, ended by a 0 unit that must lie inside the
// bytes. False when it does not (the name is then unreadable).
bool ReadName(const uint8_t* data, size_t size, size_t at, Text* name) {
  name->clear();
  if (at > size) return false;
  for (size_t pos = at; size - pos >= 2; pos += 2) {
    const Char16 unit = Char16(uint16_t(data[pos]) | (uint16_t(data[pos + 1]) << 8));
    if (unit == 0) return true;
    name->push_back(unit);
  }
  return false;
}

}  // namespace

std::vector<PortApplication> WalkPortApplicationRecords(const uint8_t* data, size_t size, TextView portName) {
  std::vector<PortApplication> listed;
  if (data == nullptr) return listed;
  const TextView wanted = UpToFirstNul(portName);
  size_t offset = 0;
  Text recordPort;
  Text appName;
  // Each step moves forward by EntryLength >= 1, so the walk ends.
  while (size - offset >= 4) {
    const uint8_t* record = data + offset;
    const uint32_t entryLength = ReadU32(record);
    if (entryLength == 0) break;  // a 32-bit 0 where a record would begin
    if (size - offset < kRecordHeaderSize) break;
    const uint32_t entryKind = ReadU32(record + 8);
    const uint32_t portNameOffset = ReadU32(record + 12);
    const uint32_t appNameOffset = ReadU32(record + 16);
    // Offsets count from the start of the record; kept in size_t so that a
    // large offset cannot wrap (checked against the remaining bytes).
    const size_t remaining = size - offset;
    if (portNameOffset < remaining && ReadName(record, remaining, portNameOffset, &recordPort) &&
        EqualsIgnoringAsciiCase(recordPort, wanted) && entryKind == 0 && appNameOffset != 0 &&
        appNameOffset < remaining && ReadName(record, remaining, appNameOffset, &appName)) {
      listed.push_back(PortApplication{appName, ReadU32(record + 32), ReadU32(record + 36), ReadU32(record + 40)});
    }
    if (entryLength >= remaining) break;  // the next record would start at or past the end
    offset += entryLength;
  }
  return listed;
}

bool RunAnswerRequests(const AnswerRequest& request, const Waiter& wait, std::vector<uint8_t>* answer) {
  size_t bufferSize = kFirstAnswerBufferSize;
  unsigned attempts = 0;
  while (attempts < kCountedAttempts) {
    std::vector<uint8_t> buffer(bufferSize, 0);
    size_t returned = 0;
    const uint32_t error = request(buffer, &returned);
    if (error == 0) {
      buffer.resize(returned < buffer.size() ? returned : buffer.size());
      *answer = std::move(buffer);
      return true;
    }
    if (error == kErrorInsufficientBuffer) {
      // Not counted; a fresh buffer of twice the size, nothing carried over.
      if (bufferSize >= kMaxAnswerBufferSize) return false;  // the bound: give up
      bufferSize *= 2;
      continue;
    }
    wait(kRetryWaitMs);
    ++attempts;
  }
  return false;
}

}  // namespace lumbrex
