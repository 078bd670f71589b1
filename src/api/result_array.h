// The builder of the arrays in which exports return their lists.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include "api/raii.h"

namespace lumbrex {

// A growable one-dimensional SAFEARRAY (lower bound 0) of VT_BSTR or
// VT_VARIANT elements, kept locked while the builder owns it.
class ResultArray {
 public:
  explicit ResultArray(VARTYPE elementType) : elementType_(elementType) {}
  ResultArray(const ResultArray&) = delete;
  ResultArray& operator=(const ResultArray&) = delete;

  // VT_BSTR builder: a copy of value up to its first NUL; null is E_INVALIDARG,
  // its slot kept (null), so that element i stays the i-th entry.
  HRESULT Add(const wchar_t* value);
  // VT_VARIANT builder: VariantCopyInd of value.
  HRESULT Add(const VARIANT* value);

  // Output becomes VT_ARRAY|type holding an independent copy (SafeArrayCopy).
  // False when there is no array to give (none could be made, or the copy
  // failed): the output is VT_EMPTY then, never an array type without data.
  bool CopyTo(VARIANT* output) const;
  // Output becomes VT_ARRAY|type holding this very array; the builder is
  // empty. False, output VT_EMPTY, when the builder holds no array.
  bool Detach(VARIANT* output);

 private:
  // Add's first half: create the array if needed, make room for one more
  // element, give its index.
  HRESULT Grow(LONG* index);
  void* Slot(LONG index) const;

  VARTYPE elementType_;
  UniqueSafeArray array_;
  SafeArrayLockHold lock_;  // after array_: unlocked before it is destroyed
};

}  // namespace lumbrex
