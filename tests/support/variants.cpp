#include "support/variants.h"

namespace testsupport {

VARIANT Bstr(const std::wstring& text) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  return v;
}

VARIANT NullBstr() {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = nullptr;
  return v;
}

VARIANT I4(int32_t value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = value;
  return v;
}

VARIANT I8(int64_t value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I8;
  v.llVal = value;
  return v;
}

VARIANT OfType(VARTYPE vt, int64_t payload) {
  VARIANT v;
  VariantInit(&v);
  v.vt = vt;
  v.llVal = payload;
  return v;
}

VARIANT ByRefBstr(BSTR* target) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BYREF | VT_BSTR;
  v.pbstrVal = target;
  return v;
}

VARIANT ByRefI4(LONG* target) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BYREF | VT_I4;
  v.plVal = target;
  return v;
}

std::wstring TextOf(const VARIANT& v) {
  if (v.vt != VT_BSTR || v.bstrVal == nullptr) return {};
  return std::wstring(v.bstrVal, SysStringLen(v.bstrVal));
}

}  // namespace testsupport
