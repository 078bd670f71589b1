// What the library writes through its out-pointers, in the forms scripts
// read: VARIANT arrays with lower bound 0 (VBScript indexes them, JScript
// reads them with VBArray), 32-bit numbers, strings.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include <initializer_list>

#include "api/raii.h"

namespace lumbrex_automation {

// A list the library returned (VT_ARRAY|VT_BSTR, VT_ARRAY|VT_VARIANT, or
// VT_EMPTY for none) as VT_ARRAY|VT_VARIANT; none becomes an empty array,
// which scripts can walk. `list` is consumed.
HRESULT ListResult(lumbrex::UniqueVariant& list, VARIANT* result);

// Several outputs of one export as VT_ARRAY|VT_VARIANT in the given order.
// The items are consumed.
HRESULT ArrayResult(std::initializer_list<VARIANT*> items, VARIANT* result);

// A number as VT_I4, or VT_R8 when an unsigned value does not fit.
void NumberResult(unsigned long long value, VARIANT* result);

}  // namespace lumbrex_automation
