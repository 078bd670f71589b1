#include "variants.h"

namespace lumbrexctl {
namespace {

bool IsArrayOf(const VARIANT& value, VARTYPE element) {
  return value.vt == (VT_ARRAY | element) && value.parray != nullptr;
}

// The bounds of a one-dimensional result array; empty when low > high.
void Bounds(SAFEARRAY* array, LONG* low, LONG* high) {
  *low = 0;
  *high = -1;
  if (FAILED(SafeArrayGetLBound(array, 1, low)) || FAILED(SafeArrayGetUBound(array, 1, high))) *high = *low - 1;
}

}  // namespace

TextArg::TextArg(std::wstring_view text) {
  value_->vt = VT_BSTR;
  value_->bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

std::optional<std::wstring> TextOf(const VARIANT& value) {
  if (value.vt != VT_BSTR) return std::nullopt;
  if (value.bstrVal == nullptr) return std::wstring();
  return std::wstring(value.bstrVal, SysStringLen(value.bstrVal));
}

std::optional<LONG> NumberOf(const VARIANT& value) {
  UniqueVariant number;
  // The source is only read (mingw's declaration lacks its const).
  if (FAILED(VariantChangeType(number.get(), const_cast<VARIANT*>(&value), 0, VT_I4))) return std::nullopt;
  return number->lVal;
}

std::vector<std::wstring> StringsOf(const VARIANT& value) {
  std::vector<std::wstring> list;
  if (!IsArrayOf(value, VT_BSTR)) return list;
  LONG low, high;
  Bounds(value.parray, &low, &high);
  for (LONG i = low; i <= high; ++i) {
    BSTR element = nullptr;
    if (FAILED(SafeArrayGetElement(value.parray, &i, &element))) continue;
    const lumbrex::UniqueBstr owner(element);
    list.emplace_back(element != nullptr ? std::wstring(element, SysStringLen(element)) : std::wstring());
  }
  return list;
}

void ForEachElement(const VARIANT& value, const std::function<void(const VARIANT&)>& visit) {
  if (!IsArrayOf(value, VT_VARIANT)) return;
  LONG low, high;
  Bounds(value.parray, &low, &high);
  for (LONG i = low; i <= high; ++i) {
    UniqueVariant element;
    if (SUCCEEDED(SafeArrayGetElement(value.parray, &i, element.get()))) visit(*element.get());
  }
}

}  // namespace lumbrexctl
