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

// A double that is a whole number within 32 bits signed.
bool WholeDouble(double d, int* number) {
  if (!std::isfinite(d) || d != std::floor(d) || d < -2147483648.0 || d > 2147483647.0) return false;
  *number = static_cast<int>(d);
  return true;
}

}  // namespace

VARIANT IntegerArgument(const VARIANT& value) {
  VARIANT v = Unwrapped(value);
  int number;
  const bool whole = (v.vt == VT_R8 && WholeDouble(v.dblVal, &number)) ||
                     (v.vt == VT_R4 && WholeDouble(v.fltVal, &number)) || (v.vt == VT_UI1 && (number = v.bVal, true));
  if (whole) {
    v.vt = VT_I4;
    v.lVal = number;
  }
  return v;
}

bool WholeNumber(const VARIANT& value, int* number) {
  VARIANT v = Unwrapped(value);
  if (v.vt == VT_R8) return WholeDouble(v.dblVal, number);
  if (v.vt == VT_R4) return WholeDouble(v.fltVal, number);
  lumbrex::UniqueVariant converted;
  if (FAILED(VariantChangeType(converted.get(), &v, 0, VT_I4))) return false;
  *number = converted->lVal;
  return true;
}

}  // namespace lumbrex_automation
