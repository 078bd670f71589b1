// What scripts pass, turned into what the library takes. Scripting engines
// hand variables over by reference (VT_BYREF|VT_VARIANT) and numbers as
// 16-bit, 32-bit or double values; the library wants strings and integers by
// value. Names are checked here because the library sends them unescaped.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include <string>
#include <string_view>

namespace lumbrex_automation {

// The VARIANT a reference chain (VT_BYREF|VT_VARIANT) ends at. A shallow
// view: nothing is copied, the caller's VARIANT still owns the content.
VARIANT Unwrapped(const VARIANT& value);

// Why a bundle, port or application name cannot go to the service as it is,
// or "" when it can: "!" ends the command on the service's pipe, "," starts
// another field, a character the ANSI code page lacks arrives as "?" (and so
// names another bundle), and a control character has no place in a name.
std::wstring NameProblem(std::wstring_view name);

// The text of a string VARIANT (VT_BSTR, or VT_BYREF|VT_BSTR); false for any
// other type, which the library then judges on its own.
bool TextOf(const VARIANT& value, std::wstring_view* text);

// An integer VARIANT argument as the library takes it: whole-number doubles
// and bytes become VT_I4; anything else goes on unchanged, so the library
// refuses what it cannot take with its own code.
VARIANT IntegerArgument(const VARIANT& value);

// A plain int argument (side, baud rate, option value...): false for a value
// that is no whole number within 32 bits.
bool WholeNumber(const VARIANT& value, int* number);

}  // namespace lumbrex_automation
