#include "inputs.h"

#include <cmath>

#include "api/raii.h"
#include "callers/printable.h"

namespace lumbrex_automation {

using ::lumbrex::Printable;

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

// 2^63: the first double beyond int64_t.
constexpr double kBeyond64 = 9223372036854775808.0;

bool WholeDouble(double d, int64_t* number) {
  if (!std::isfinite(d) || d != std::floor(d) || d < -kBeyond64 || d >= kBeyond64) return false;
  *number = static_cast<int64_t>(d);
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

bool WholeNumber(const VARIANT& value, int64_t* number) {
  VARIANT v = ByValue(value);
  // An unset variable, True, a date or text would become some number
  // nobody asked for (an unset side is 0, True is -1): refused.
  if (!IsNumberType(v.vt)) return false;
  lumbrex::UniqueVariant converted;
  switch (v.vt) {
    case VT_R4: case VT_R8:
      if (FAILED(VariantChangeType(converted.get(), &v, 0, VT_R8))) return false;
      return WholeDouble(converted->dblVal, number);
    case VT_CY:  // a 64-bit count of ten-thousandths
      if (v.cyVal.int64 % 10000 != 0) return false;
      *number = v.cyVal.int64 / 10000;
      return true;
    case VT_DECIMAL: {
      DECIMAL whole;
      if (FAILED(VarDecFix(&v.decVal, &whole)) || VarDecCmp(&v.decVal, &whole) != VARCMP_EQ) return false;
      LONG64 exact = 0;
      if (FAILED(VarI8FromDec(&whole, &exact))) return false;
      *number = exact;
      return true;
    }
    default:  // an integer type: exact, unless a VT_UI8 beyond 63 bits
      if (FAILED(VariantChangeType(converted.get(), &v, 0, VT_I8))) return false;
      *number = converted->llVal;
      return true;
  }
}

std::wstring Given(const VARIANT& value) {
  VARIANT v = ByValue(value);
  if (IsNumberType(v.vt)) {
    // Written the same in every locale: 2.5, never 2,5.
    lumbrex::UniqueVariant text;
    if (SUCCEEDED(VariantChangeTypeEx(text.get(), &v, LOCALE_INVARIANT, 0, VT_BSTR)) && text->vt == VT_BSTR)
      return L"'" + Printable(std::wstring_view(text->bstrVal, SysStringLen(text->bstrVal))) + L"'";
    return L"a number that cannot be written out";
  }
  std::wstring_view text;
  if (TextOf(v, &text)) return L"the text '" + Printable(text) + L"'";
  if ((v.vt & VT_BYREF) != 0 && v.byref == nullptr) return L"a null reference";
  switch (v.vt & ~VT_BYREF) {
    case VT_EMPTY: return L"Empty (an unset variable)";
    case VT_NULL: return L"Null";
    case VT_BOOL: return L"True or False";
    case VT_DATE: return L"a date";
    case VT_DISPATCH: case VT_UNKNOWN: return L"an object";
    default: return (v.vt & VT_ARRAY) != 0 ? L"an array" : L"a value of type " + std::to_wstring(v.vt);
  }
}

}  // namespace lumbrex_automation
