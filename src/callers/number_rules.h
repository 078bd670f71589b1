// For programs on top of the library (lumbrexctl, the automation object):
// the numbers a caller may pass for each argument. The library takes some
// numbers it then stores as something else (a baud rate of 0 or -1 gives a
// port entry the service cannot read back; a permission mask of 4 clears both
// bits), so the callers that take numbers from people and scripts refuse
// everything outside these rules, all with the same words.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace lumbrex {

enum class NumberArgument {
  kSide,
  kPortType,
  kBaudrate,
  kParity,
  kDataBits,
  kStopBits,
  kFlowControl,
  kPortMask,
  kSharePermission,
};

// Whether `value` (any 64-bit number a caller read) may be passed.
bool Accepts(NumberArgument argument, int64_t value);

// The accepted values in words, e.g. L"5 to 8", for a refusal's message.
const wchar_t* AcceptedValues(NumberArgument argument);

// The refusal of a value, in the same words for every caller: "WHAT is
// <accepted values>, not GIVEN", GIVEN being what the caller got, as it
// shows it (a quoted word, a number, "text").
std::wstring NumberRefusal(NumberArgument argument, std::wstring_view what, std::wstring_view given);

}  // namespace lumbrex
