// The argument checks that the real-port parameter exports and the per-port
// permission exports share (the setters, written on top of the getters, use
// them too).
#pragma once
#include <windows.h>
#include <oleauto.h>

#include "common/text.h"

namespace lumbrex {

// Bundle under the string argument rule, then side under IsSideValue, then
// port under the string argument rule. The first refused argument sets the
// last-error code 13 and gives false.
bool TakeBundleSidePort(VARIANT* bundle, int side, VARIANT* port, Text* bundleName, Text* portName);

// For the per-port permission exports: the string member of a bundle or port
// VARIANT, read without the string argument rule, but only where there is
// one: VT_BSTR, or VT_BYREF|VT_BSTR with a non-null reference (read through
// it, nothing converted). Text up to the first NUL; a null BSTR is the empty
// text. False for every other type (callers refuse with 13:
// docs/behaviour-details.md). Sets no last-error code itself.
bool ReadStringMember(const VARIANT& arg, Text* text);

}  // namespace lumbrex
