#include "api/result_array.h"

#include <utility>

namespace lumbrex {

HRESULT ResultArray::Grow(LONG* index) {
  if (array_ == nullptr) {
    SAFEARRAYBOUND bound{0, 0};
    array_ = SafeArrayCreate(elementType_, 1, &bound);
    if (array_ == nullptr) return E_OUTOFMEMORY;
    SafeArrayLock(array_);
  }
  LONG lower = 0, upper = -1;
  SafeArrayGetLBound(array_, 1, &lower);
  SafeArrayGetUBound(array_, 1, &upper);
  const LONG count = upper - lower + 1;
  // Grows by exactly one element, no spare capacity: the array is never larger
  // than its entries (the cost is measured in docs/benchmarks.md).
  SAFEARRAYBOUND bound{static_cast<ULONG>(count + 1), lower};
  SafeArrayUnlock(array_);
  const HRESULT hr = SafeArrayRedim(array_, &bound);
  SafeArrayLock(array_);
  if (FAILED(hr)) return hr;
  *index = lower + count;
  return S_OK;
}

void* ResultArray::Slot(LONG index) const {
  void* slot = nullptr;
  SafeArrayPtrOfIndex(array_, &index, &slot);
  return slot;
}

HRESULT ResultArray::Add(const wchar_t* value) {
  if (elementType_ != VT_BSTR) return E_INVALIDARG;
  LONG index = 0;
  HRESULT hr = Grow(&index);
  if (FAILED(hr)) return hr;
  // Checked after the growth on purpose: a refused entry keeps its slot, null like a failed copy's,
  // so element i stays the i-th entry (application names stay beside their permission values).
  if (value == nullptr) return E_INVALIDARG;
  BSTR copy = SysAllocString(value);  // ends at the first NUL, whatever the length
  *static_cast<BSTR*>(Slot(index)) = copy;
  return copy == nullptr ? E_OUTOFMEMORY : S_OK;
}

HRESULT ResultArray::Add(const VARIANT* value) {
  if (elementType_ != VT_VARIANT) return E_INVALIDARG;
  LONG index = 0;
  HRESULT hr = Grow(&index);
  if (FAILED(hr)) return hr;
  if (value == nullptr) return E_INVALIDARG;  // after the growth, as for strings: the slot stays VT_EMPTY
  return VariantCopyInd(static_cast<VARIANT*>(Slot(index)), const_cast<VARIANT*>(value));
}

bool ResultArray::CopyTo(VARIANT* output) const {
  VariantInit(output);
  SAFEARRAY* copy = nullptr;
  if (array_ == nullptr || FAILED(SafeArrayCopy(array_, &copy)) || copy == nullptr) return false;
  output->vt = static_cast<VARTYPE>(VT_ARRAY | elementType_);
  output->parray = copy;
  return true;
}

bool ResultArray::Detach(VARIANT* output) {
  VariantInit(output);
  if (array_ == nullptr) return false;
  SafeArrayUnlock(array_);
  output->vt = static_cast<VARTYPE>(VT_ARRAY | elementType_);
  output->parray = std::exchange(array_, nullptr);
  return true;
}

void ResultArray::Destroy() {
  if (array_ == nullptr) return;
  SafeArrayUnlock(array_);
  SafeArrayDestroy(array_);
  array_ = nullptr;
}

}  // namespace lumbrex
