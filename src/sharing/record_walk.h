// The record walk over the port-sharing driver's answer, and the
// request loop's buffer policy. Plain code (no windows.h): it is built
// natively too and fuzzed with any byte buffer.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "common/text.h"

namespace lumbrex {

// One listed record of the answer: an application that holds the port open.
struct PortApplication {
  Text name;       // the application name, up to its 0 unit
  uint32_t data0;  // record offset 32
  uint32_t data1;  // record offset 36
  uint32_t data2;  // record offset 40
};

// Fixed part of a record: the fields up to and including Data2.
constexpr size_t kRecordHeaderSize = 44;

// Walks the records of an answer of `size` bytes (the bytes the driver
// returned) and gives, in buffer order, those listed for `portName` (compared
// whole up to its first 0 unit, ignoring ASCII case, as _wcsicmp does in the
// "C" locale). The walk never reads outside [data, data + size):
// - it ends where a record would begin with a 32-bit 0, where fewer than 4
//   bytes remain, where the 44-byte fixed part of a record does not fit, or
//   where EntryLength leads to or past the end of the bytes;
// - a port or application name whose offset lies outside the bytes, or whose
//   terminating 0 unit is not inside them, makes its record unlisted (the
//   walk goes on with the next record).
std::vector<PortApplication> WalkPortApplicationRecords(const uint8_t* data, size_t size, TextView portName);

// The request loop over an abstract request, so that its policy is plain and
// testable.
constexpr size_t kFirstAnswerBufferSize = 1024;
// Upper bound of the doubling, so a driver that always answers "too small"
// cannot exhaust memory: 1 MiB, i.e. eleven requests 1024 ... 1048576. A driver
// that still answers "too small" at the bound is treated as a query that never
// succeeded (true, VT_EMPTY, last-error code unchanged), with no further
// request and no wait.
constexpr size_t kMaxAnswerBufferSize = size_t(1) << 20;
constexpr unsigned kCountedAttempts = 2;
constexpr unsigned kRetryWaitMs = 50;
constexpr uint32_t kErrorInsufficientBuffer = 122;  // ERROR_INSUFFICIENT_BUFFER

// One request: fills `buffer` (all of its size is offered) and gives 0 with the
// count of bytes returned, or the request's Windows error code.
using AnswerRequest = std::function<uint32_t(std::vector<uint8_t>& buffer, size_t* bytesReturned)>;
using Waiter = std::function<void(unsigned milliseconds)>;

// Runs the requests: 1024 bytes first; 122 doubles the buffer (a fresh one,
// zero-filled) and is not counted; any other failure waits 50 ms and counts;
// two counted failures end it. True when a request succeeded: `answer` then
// holds exactly the bytes returned (never more than the buffer).
bool RunAnswerRequests(const AnswerRequest& request, const Waiter& wait, std::vector<uint8_t>* answer);

}  // namespace lumbrex
