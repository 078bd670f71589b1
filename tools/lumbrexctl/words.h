// The words of the command line that stand for codes and numbers. Each reader
// gives false for a word it does not know; letters are matched without regard
// to case.
#pragma once
#include <windows.h>

#include <string>
#include <string_view>

#include "callers/safe_name.h"
#include "snapshot.h"

namespace lumbrexctl {

bool ParseSide(std::wstring_view word, int* side);                // in 0, out 1
std::wstring SideName(int side);                                   // "in" or "out"
bool ParsePortType(std::wstring_view word, LONG* type);            // real, virtual, shared, switcher
bool ParseParity(std::wstring_view word, int* parity);             // N 0, O 1, E 2, M 3, S 4
bool ParseFlow(std::wstring_view word, int* flow);                 // X 1, P 2
bool ParseOnOff(std::wstring_view word, bool* on);
const OptionInfo* FindOption(std::wstring_view word);              // null for another word
// A decimal number (optional sign) or 0x hexadecimal, the whole word,
// fitting 32 bits signed or unsigned.
bool ParseNumber(std::wstring_view word, long long* value);

// NameProblem: callers/safe_name.h.
using ::lumbrex::NameProblem;

}  // namespace lumbrexctl
