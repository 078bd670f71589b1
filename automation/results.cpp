#include "results.h"

#include "api/variant_values.h"

namespace lumbrex_automation {

using lumbrex::UniqueVariant;

namespace {

// A fresh VT_ARRAY|VT_VARIANT of `count` VT_EMPTY elements, lower bound 0.
HRESULT NewArray(ULONG count, UniqueVariant& array) {
  SAFEARRAY* created = SafeArrayCreateVector(VT_VARIANT, 0, count);
  if (created == nullptr) return E_OUTOFMEMORY;
  array->vt = VT_ARRAY | VT_VARIANT;
  array->parray = created;
  return S_OK;
}

// Moves `item` into element `index` of a VARIANT array.
HRESULT Place(UniqueVariant& array, LONG index, VARIANT* item) {
  VARIANT* slot;
  HRESULT hr = SafeArrayPtrOfIndex(array->parray, &index, reinterpret_cast<void**>(&slot));
  if (FAILED(hr)) return hr;
  VariantClear(slot);
  *slot = *item;
  VariantInit(item);
  return S_OK;
}

}  // namespace

HRESULT ListResult(UniqueVariant& list, VARIANT* result) {
  if (list->vt == (VT_ARRAY | VT_VARIANT)) {
    *result = list.release();
    return S_OK;
  }
  UniqueVariant array;
  if (list->vt != (VT_ARRAY | VT_BSTR)) {
    HRESULT hr = NewArray(0, array);
    if (SUCCEEDED(hr)) *result = array.release();
    return hr;
  }
  LONG low = 0, high = -1;
  SafeArrayGetLBound(list->parray, 1, &low);
  SafeArrayGetUBound(list->parray, 1, &high);
  HRESULT hr = NewArray(static_cast<ULONG>(high - low + 1), array);
  for (LONG i = low; SUCCEEDED(hr) && i <= high; ++i) {
    UniqueVariant item;
    BSTR text = nullptr;
    hr = SafeArrayGetElement(list->parray, &i, &text);  // a copy of the string
    if (FAILED(hr)) break;
    item->vt = VT_BSTR;
    item->bstrVal = text;
    hr = Place(array, i - low, item.get());
  }
  if (SUCCEEDED(hr)) *result = array.release();
  return hr;
}

HRESULT ArrayResult(std::initializer_list<VARIANT*> items, VARIANT* result) {
  UniqueVariant array;
  HRESULT hr = NewArray(static_cast<ULONG>(items.size()), array);
  LONG index = 0;
  for (VARIANT* item : items) {
    if (SUCCEEDED(hr)) hr = Place(array, index++, item);
  }
  if (SUCCEEDED(hr)) *result = array.release();
  return hr;
}

void NumberResult(unsigned long long value, VARIANT* result) {
  VariantInit(result);
  if (value <= 0x7FFFFFFFull) {
    *result = lumbrex::I4(static_cast<int32_t>(value));
  } else {
    result->vt = VT_R8;
    result->dblVal = static_cast<double>(value);
  }
}

}  // namespace lumbrex_automation
