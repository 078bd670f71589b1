// What scripts pass, turned into what the library takes. Scripting engines
// hand variables over by reference (VT_BYREF|VT_VARIANT) and numbers as
// 16-bit, 32-bit or double values; the library wants strings and integers by
// value. Bundle and port names are checked here because the library sends them
// unescaped.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include <cstdint>
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

// A number argument, of any numeric type a script or caller passes: its
// exact value when it is a whole number within 64 bits (VT_UI4 4294967295 is
// 4294967295, not -1), so that the argument's rule judges the value itself.
// False for no number (text, Empty, True...), a fraction, or more than 64 bits.
bool WholeNumber(const VARIANT& value, int64_t* number);

// What a refusal says was given: a number as written ('2.5'), else what kind
// of value it is ("Empty (an unset variable)", "the text '9600'").
std::wstring Given(const VARIANT& value);

}  // namespace lumbrex_automation
