// Plain text helpers shared by the plain (Win32-free) code of every subsystem.
// On Windows `Text` is std::wstring, so the Win32 edges pass it straight to the
// API; in a native build (fuzzers) it is std::u16string, the same UTF-16 units.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace lumbrex {

#if defined(_WIN32)
using Char16 = wchar_t;
#define LUMBREX_U16(s) L##s
#else
using Char16 = char16_t;
#define LUMBREX_U16(s) u##s
#endif
using Text = std::basic_string<Char16>;
using TextView = std::basic_string_view<Char16>;

// Text up to the first NUL unit: a string argument ends at its first NUL.
TextView UpToFirstNul(TextView text);

// Case folding of the ASCII letters only. Port entries, kind words and port
// names are ASCII; other letters are left as they are, whatever the locale
// (docs/behaviour-details.md).
Char16 AsciiLower(Char16 c);
Char16 AsciiUpper(Char16 c);
Text AsciiLowered(TextView text);
Text AsciiUppered(TextView text);
bool EqualsIgnoringAsciiCase(TextView a, TextView b);
bool StartsWithIgnoringAsciiCase(TextView text, TextView prefix);

}  // namespace lumbrex
