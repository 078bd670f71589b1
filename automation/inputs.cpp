#include "inputs.h"

#include <cmath>

#include "api/raii.h"

namespace lumbrex_automation {

VARIANT Unwrapped(const VARIANT& value) {
  const VARIANT* at = &value;
  // A reference to a reference is legal; a bound stops a malformed chain.
  for (int depth = 0; depth < 8 && at->vt == (VT_BYREF | VT_VARIANT) && at->pvarVal != nullptr; ++depth)
    at = at->pvarVal;
  return *at;
}

bool TextOf(const VARIANT& value, std::wstring_view* text) {
  BSTR b;
  if (value.vt == VT_BSTR) b = value.bstrVal;
  else if (value.vt == (VT_BYREF | VT_BSTR) && value.pbstrVal != nullptr) b = *value.pbstrVal;
  else return false;
  *text = std::wstring_view(b ? b : L"", SysStringLen(b));
  return true;
}

namespace {

bool IsNumberType(VARTYPE vt) {
  switch (vt) {
    case VT_I1: case VT_UI1: case VT_I2: case VT_UI2: case VT_I4: case VT_UI4: case VT_INT: case VT_UINT:
    case VT_I8: case VT_UI8: case VT_R4: case VT_R8: case VT_CY: case VT_DECIMAL: return true;
    default: return false;
  }
}

// A double that is a whole number within 32 bits signed.
bool WholeDouble(double d, int* number) {
  if (!std::isfinite(d) || d != std::floor(d) || d < -2147483648.0 || d > 2147483647.0) return false;
  *number = static_cast<int>(d);
  return true;
}

}  // namespace

VARIANT ByValue(const VARIANT& value) {
  VARIANT v = Unwrapped(value);
  if ((v.vt & VT_BYREF) == 0 || v.byref == nullptr || !IsNumberType(v.vt & ~VT_BYREF)) return v;
  // A number owns nothing: the by-value copy needs no clearing.
  VARIANT out;
  VariantInit(&out);
  return SUCCEEDED(VariantCopyInd(&out, &v)) ? out : v;
}

bool WholeNumber(const VARIANT& value, int* number) {
  VARIANT v = ByValue(value);
  // An unset variable, True, a date or text would become some number
  // nobody asked for (an unset side is 0, True is -1): refused.
  if (!IsNumberType(v.vt)) return false;
  lumbrex::UniqueVariant converted;
  if (FAILED(VariantChangeType(converted.get(), &v, 0, VT_R8))) return false;
  return WholeDouble(converted->dblVal, number);
}

}  // namespace lumbrex_automation
