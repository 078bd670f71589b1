// The rules by which exports accept their arguments. The checks only answer
// true or false and store nothing; an export that refuses an argument ends with
// `return RefuseArgument();`, the one place that stores 13 for it.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include <cstdint>

#include "common/text.h"
#include "lumbrex_codes.h"

namespace lumbrex {

// Ends an export over a refused argument: stores 13 (ERROR_INVALID_DATA) as the
// last-error code and gives false.
bool RefuseArgument();

// String argument rule: a VT_BYREF|VT_BSTR argument is converted in place
// (VariantChangeType, flags 0); then only VT_BSTR passes. The text ends at the
// first NUL; a null BSTR is the empty text. The in-place conversion leaves a
// BSTR of ours in the caller's by-value copy; like any [in] VARIANT it is the
// caller's to clear (docs/behaviour-details.md).
bool TakeStringArgument(VARIANT* arg, Text* text);

// Converted-to-text rule (AddBundle, DeleteBundle, GetBundleState): any value
// that automation turns into text, via a temporary; the argument is untouched.
bool ConvertToText(const VARIANT* arg, Text* text);

// The per-port permission exports' bundle and port: the string member where
// there is one, VT_BSTR or VT_BYREF|VT_BSTR with a non-null reference (read
// through it, nothing converted), up to the first NUL; a null BSTR is the
// empty text. False for every other type, which holds no string to read
// (docs/behaviour-details.md).
bool ReadStringMember(const VARIANT& arg, Text* text);

// Integer VARIANT argument: VT_I2, VT_I4, VT_I8, VT_UI2, VT_UI4, VT_UI8,
// VT_INT, VT_UINT, not by reference; the value read at its own width and cut
// to 32 bits. False for every other type.
bool ReadIntegerArgument(const VARIANT& arg, int32_t* value);

// The shared value checks. They only read the VARIANT they are given, so
// callers need not hand them copies; the caller's argument is never touched.
bool IsSideValue(const VARIANT& arg);
bool IsPortTypeValue(const VARIANT& arg);
bool IsPermissionValue(const VARIANT& arg);

// Exports check their plain side argument as a VT_I4 VARIANT: 0 or 1.
bool IsSideValue(int32_t side);

// The checks most exports start with, in this order: bundle under the string
// argument rule, side under IsSideValue, then (second form) port under the
// string argument rule. False at the first refused one.
bool TakeBundleSide(VARIANT* bundle, int side, Text* bundleText);
bool TakeBundleSidePort(VARIANT* bundle, int side, VARIANT* port, Text* bundleText, Text* portText);

// What an export does with an out-VARIANT that VariantClear refuses (an
// unknown type, a locked array).
enum class Uncleared {
  kRefuse,  // not a valid VARIANT: the export refuses it, leaving it as VariantClear left it
  kEmpty,   // set to VT_EMPTY all the same, so the output is defined; what it held is the caller's to free
};
// The one way exports clear an out-VARIANT before they fill it: VariantClear,
// then the rule above. False only for a refused VARIANT under kRefuse.
bool ClearOutput(VARIANT* output, Uncleared rule);

}  // namespace lumbrex
