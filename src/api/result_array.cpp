#include "api/result_array.h"

namespace lumbrex {

HRESULT ResultArray::Grow(LONG* index) {
  if (!array_.valid()) {
    SAFEARRAYBOUND bound{0, 0};
    array_.reset(SafeArrayCreate(elementType_, 1, &bound));
    if (!array_.valid()) return E_OUTOFMEMORY;
    lock_.Lock(array_.get());
  }
  LONG lower = 0, upper = -1;
  SafeArrayGetLBound(array_.get(), 1, &lower);
  SafeArrayGetUBound(array_.get(), 1, &upper);
  const LONG count = upper - lower + 1;
  // Grows by exactly one element, no spare capacity: the array is never larger
  // than its entries (the cost is measured in docs/benchmarks.md).
  SAFEARRAYBOUND bound{static_cast<ULONG>(count + 1), lower};
  lock_.Unlock();
  const HRESULT hr = SafeArrayRedim(array_.get(), &bound);
  lock_.Lock(array_.get());
  if (FAILED(hr)) return hr;
  *index = lower + count;
  return S_OK;
}

void* ResultArray::Slot(LONG index) const {
  void* slot = nullptr;
  SafeArrayPtrOfIndex(array_.get(), &index, &slot);
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
  if (!array_.valid() || FAILED(SafeArrayCopy(array_.get(), &copy)) || copy == nullptr) return false;
  output->vt = static_cast<VARTYPE>(VT_ARRAY | elementType_);
  output->parray = copy;
  return true;
}

bool ResultArray::Detach(VARIANT* output) {
  VariantInit(output);
  if (!array_.valid()) return false;
  lock_.Unlock();
  output->vt = static_cast<VARTYPE>(VT_ARRAY | elementType_);
  output->parray = array_.release();
  return true;
}

}  // namespace lumbrex
