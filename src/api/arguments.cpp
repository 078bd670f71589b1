#include "api/arguments.h"

#include "api/last_error.h"
#include "api/raii.h"
#include "api/variant_values.h"

namespace lumbrex {

namespace {

// A string argument's text: up to its first NUL; a null BSTR is the empty text.
void AssignText(BSTR string, Text* text) {
  if (string == nullptr) {
    text->clear();
  } else {
    text->assign(UpToFirstNul(TextView(string, SysStringLen(string))));
  }
}

// A by-reference VARIANT whose reference is null is refused before automation
// would follow it.
bool HasNullReference(const VARIANT& arg) {
  return (arg.vt & VT_BYREF) != 0 && arg.byref == nullptr;
}

}  // namespace

bool RefuseArgument() {
  SetLastErrorCode(kInvalidData);
  return false;
}

bool TakeStringArgument(VARIANT* arg, Text* text) {
  if (arg == nullptr) return false;
  if (arg->vt == (VT_BYREF | VT_BSTR)) {
    // A by-reference string whose reference is null cannot be converted.
    if (arg->pbstrVal == nullptr) return false;
    if (VariantChangeType(arg, arg, 0, VT_BSTR) != S_OK) return false;
  }
  if (arg->vt != VT_BSTR) return false;
  AssignText(arg->bstrVal, text);
  return true;
}

bool ConvertToText(const VARIANT* arg, Text* text) {
  if (arg == nullptr || HasNullReference(*arg)) return false;
  UniqueVariant temp;
  if (VariantChangeType(temp.get(), const_cast<VARIANT*>(arg), 0, VT_BSTR) != S_OK || temp->vt != VT_BSTR) {
    return false;
  }
  AssignText(temp->bstrVal, text);
  return true;
}

bool ReadStringMember(const VARIANT& arg, Text* text) {
  if (arg.vt == VT_BSTR) {
    AssignText(arg.bstrVal, text);
    return true;
  }
  if (arg.vt == (VT_BYREF | VT_BSTR) && arg.pbstrVal != nullptr) {
    AssignText(*arg.pbstrVal, text);
    return true;
  }
  return false;
}

bool ReadIntegerArgument(const VARIANT& arg, int32_t* value) {
  switch (arg.vt) {
    case VT_I2: *value = arg.iVal; return true;
    case VT_I4: *value = arg.lVal; return true;
    case VT_I8: *value = static_cast<int32_t>(static_cast<uint32_t>(arg.llVal)); return true;
    case VT_UI2: *value = arg.uiVal; return true;
    case VT_UI4: *value = static_cast<int32_t>(arg.ulVal); return true;
    case VT_UI8: *value = static_cast<int32_t>(static_cast<uint32_t>(arg.ullVal)); return true;
    case VT_INT: *value = arg.intVal; return true;
    case VT_UINT: *value = static_cast<int32_t>(arg.uintVal); return true;
    default: return false;
  }
}

bool IsSideValue(const VARIANT& arg) {
  int32_t value = 0;
  return ReadIntegerArgument(arg, &value) && (value == LUMBREX_SIDE_IN || value == LUMBREX_SIDE_OUT);
}

bool IsPortTypeValue(const VARIANT& arg) {
  int32_t value = 0;
  return ReadIntegerArgument(arg, &value) && (value == LUMBREX_PORT_REAL || value == LUMBREX_PORT_VIRTUAL ||
                                              value == LUMBREX_PORT_SHARED || value == LUMBREX_PORT_SWITCHER);
}

bool IsPermissionValue(const VARIANT& arg) {
  int32_t value = 0;
  // 0, or at least one of the three lowest bits set: 8 refused, 9 accepted.
  return ReadIntegerArgument(arg, &value) && (value == LUMBREX_SHARE_NONE || (value & LUMBREX_SHARE_ANY_BIT) != 0);
}

bool IsSideValue(int32_t side) { return IsSideValue(I4(side)); }

bool TakeBundleSide(VARIANT* bundle, int side, Text* bundleText) {
  return TakeStringArgument(bundle, bundleText) && IsSideValue(static_cast<int32_t>(side));
}

bool TakeBundleSidePort(VARIANT* bundle, int side, VARIANT* port, Text* bundleText, Text* portText) {
  return TakeBundleSide(bundle, side, bundleText) && TakeStringArgument(port, portText);
}

bool ClearOutput(VARIANT* output, Uncleared rule) {
  if (VariantClear(output) == S_OK) return true;
  if (rule == Uncleared::kRefuse) return false;
  VariantInit(output);
  return true;
}

}  // namespace lumbrex
