#include "callers/number_rules.h"

#include <lumbrex.h>

#include <cstddef>

namespace lumbrex {
namespace {

bool IsPortType(int64_t v) {
  return v == LUMBREX_PORT_REAL || v == LUMBREX_PORT_VIRTUAL || v == LUMBREX_PORT_SHARED ||
         v == LUMBREX_PORT_SWITCHER;
}

// As the library judges a share permission: 0, or at least one of the three
// low bits set (8 means nothing to the driver; 9 carries the 1 bit). Only
// values of 32 bits signed: the library reads a stored share permission back
// as a signed 32-bit number (4294967295 reads -1), so a larger one would never
// read back as given. Configuration documents have the same limit.
bool IsSharePermission(int64_t v) {
  if (v < INT32_MIN || v > INT32_MAX) return false;
  const uint32_t bits = static_cast<uint32_t>(v);
  return bits == LUMBREX_SHARE_NONE || (bits & LUMBREX_SHARE_ANY_BIT) != 0;
}

struct Rule {
  int64_t low, high;             // a range, when accepts is null
  bool (*accepts)(int64_t);
  const wchar_t* words;
};

// In the order of NumberArgument.
const Rule kRules[] = {
    /* side */ {LUMBREX_SIDE_IN, LUMBREX_SIDE_OUT, nullptr, L"0 (input side) or 1 (output side)"},
    /* port type */ {0, 0, IsPortType, L"1 (real), 2 (virtual), 4 (shared) or 8 (switcher)"},
    /* baud rate */ {1, INT32_MAX, nullptr, L"1 to 2147483647"},
    /* parity */ {LUMBREX_PARITY_NONE, LUMBREX_PARITY_SPACE, nullptr, L"0 to 4 (none, odd, even, mark, space)"},
    /* data bits */ {LUMBREX_DATA_BITS_MIN, LUMBREX_DATA_BITS_MAX, nullptr, L"5 to 8"},
    /* stop bits */ {LUMBREX_STOP_BITS_ONE, LUMBREX_STOP_BITS_TWO, nullptr, L"0 to 2"},
    /* flow control */ {LUMBREX_FLOW_NONE, LUMBREX_FLOW_HARDWARE, nullptr, L"0 to 2 (none, XON/XOFF, hardware)"},
    /* port mask */ {0, LUMBREX_PORT_PERMISSION_BOTH, nullptr, L"0 to 3 (2 the high bit, 1 the low bit)"},
    /* share permission */ {0, 0, IsSharePermission, L"0, or a number from -2147483648 to 2147483647 (the limit of configuration documents too) with at least one of the bits 1, 2, 4 set"},
};

static_assert(sizeof kRules / sizeof kRules[0] == static_cast<size_t>(NumberArgument::kSharePermission) + 1,
              "one rule for each NumberArgument");

const Rule& RuleOf(NumberArgument argument) { return kRules[static_cast<size_t>(argument)]; }

}  // namespace

bool Accepts(NumberArgument argument, int64_t value) {
  const Rule& rule = RuleOf(argument);
  return rule.accepts != nullptr ? rule.accepts(value) : value >= rule.low && value <= rule.high;
}

const wchar_t* AcceptedValues(NumberArgument argument) { return RuleOf(argument).words; }

std::wstring NumberRefusal(NumberArgument argument, std::wstring_view what, std::wstring_view given) {
  return std::wstring(what) + L" is " + AcceptedValues(argument) + L", not " + std::wstring(given);
}

}  // namespace lumbrex
