// The argument steps that the Part 4.2 and 4.3 exports share (the setters,
// written on top of the getters, use them too).
#pragma once
#include <windows.h>
#include <oleauto.h>

#include "common/text.h"

namespace lumbrex {

// Part 4.2 step 1: bundle under the string argument rule, then side under
// IsSideValue, then port under the string argument rule (Part 1.1). The first
// refused argument sets the last-error code 13 and gives false.
bool TakeBundleSidePort(VARIANT* bundle, int side, VARIANT* port, Text* bundleName, Text* portName);

// Part 4.3: the string member of a bundle or port VARIANT, read without the
// string argument rule, but only where there is one: VT_BSTR, or
// VT_BYREF|VT_BSTR with a non-null reference (read through it, nothing
// converted). Text up to the first NUL; a null BSTR is the empty text. False
// for every other type (callers refuse with 13: docs/behaviour.md). Sets no
// last-error code itself.
bool ReadStringMember(const VARIANT& arg, Text* text);

}  // namespace lumbrex
