// What the engine says, as text it hands back (the command line prints it):
// the conversions between the exports' UTF-16 and the UTF-8 the documents
// hold, the system's words for an error code, and the one shape of every
// failure and refusal.
#pragma once
#include <windows.h>

#include <string>
#include <string_view>

namespace lumbrexctl {

// A lone surrogate (a name no UTF-8 can carry) becomes U+FFFD.
std::string Utf8(std::wstring_view text);
std::wstring Wide(std::string_view utf8);
inline std::wstring Num(long long value) { return std::to_wstring(value); }

// The system's text for a Windows error code, without its line end.
std::wstring SystemMessage(DWORD code);
// "error 2: File not found.": why a call failed.
std::wstring ErrorText(DWORD code);
// "code 2: File not found.": a code said beside a part that did not read.
std::wstring CodeText(DWORD code);

// A decimal number (optional sign) or 0x hexadecimal, the whole word,
// fitting 32 bits signed or unsigned.
bool ParseNumber(std::wstring_view word, long long* value);

// Every failure and refusal in one shape, "WHAT: WHY": what failed or is
// refused (an export, a change, a file and the place in it, a verb) and why.
struct Failure {
  std::wstring what, why;
  std::wstring Text() const { return what.empty() ? why : what + L": " + why; }
};
// "NAME failed: WHY", for an export or a change.
inline Failure Failed(std::wstring_view name, std::wstring why) {
  return Failure{std::wstring(name) + L" failed", std::move(why)};
}

}  // namespace lumbrexctl
