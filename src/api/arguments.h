// The rules by which exports accept their arguments.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include <cstdint>

#include "common/text.h"

namespace lumbrex {

// String argument rule: a VT_BYREF|VT_BSTR argument is converted in place
// (VariantChangeType, flags 0); then only VT_BSTR passes. The text ends at the
// first NUL; a null BSTR is the empty text. False means: refuse with 13. The
// in-place conversion leaves a BSTR of ours in the caller's by-value copy; like
// any [in] VARIANT it is the caller's to clear (docs/behaviour-details.md).
bool TakeStringArgument(VARIANT* arg, Text* text);

// Converted-to-text rule (AddBundle, DeleteBundle, GetBundleState): any value
// that automation turns into text, via a temporary; the argument is untouched.
bool ConvertToText(const VARIANT* arg, Text* text);

// Integer VARIANT argument: VT_I2, VT_I4, VT_I8, VT_UI2, VT_UI4, VT_UI8,
// VT_INT, VT_UINT, not by reference; the value read at its own width and cut
// to 32 bits. False for every other type.
bool ReadIntegerArgument(const VARIANT& arg, int32_t* value);

// The shared checks. They only read the VARIANT they are given, so callers
// need not hand them copies; the caller's argument is never touched.
bool IsSideValue(const VARIANT& arg);
bool IsPortTypeValue(const VARIANT& arg);
bool IsPermissionValue(const VARIANT& arg);

// Exports check their plain side argument as a VT_I4 VARIANT: 0 or 1.
bool IsSideValue(int32_t side);

}  // namespace lumbrex
