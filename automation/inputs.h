// What scripts pass, turned into what the library takes. Scripting engines
// hand variables over by reference (VT_BYREF|VT_VARIANT) and numbers as
// 16-bit, 32-bit or double values; the library wants strings and integers by
// value. Bundle and port names are checked here because the library sends them
// unescaped.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include <string>
#include <string_view>

#include "api/variant_values.h"
#include "callers/safe_name.h"

namespace lumbrex_automation {

// The VARIANT a reference chain (VT_BYREF|VT_VARIANT) ends at. A shallow
// view: nothing is copied, the caller's VARIANT still owns the content.
VARIANT Unwrapped(const VARIANT& value);

// By-value copy of a number passed by reference (VT_BYREF|VT_I4 and the
// like: how VBA passes a typed variable), after any reference chain; other
// VARIANTs come back as Unwrapped gives them.
VARIANT ByValue(const VARIANT& value);

// NameProblem, AppNameProblem: callers/safe_name.h, shared with lumbrexctl.
using ::lumbrex::AppNameProblem;
using ::lumbrex::NameProblem;

// The text of a string VARIANT (VT_BSTR, or VT_BYREF|VT_BSTR); false for any
// other type, which the library then judges on its own.
bool TextOf(const VARIANT& value, std::wstring_view* text);

// A VT_I4 holding a value (api/variant_values.h): what the library takes for
// an integer VARIANT argument, and what VBScript reads back (it has no VT_INT).
using ::lumbrex::I4;

// A plain int argument (side, baud rate, option value...): false for a value
// that is not of a numeric type or no whole number within 32 bits.
bool WholeNumber(const VARIANT& value, int* number);

}  // namespace lumbrex_automation
