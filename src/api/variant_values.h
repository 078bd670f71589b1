// Small VARIANT values that the library, the programs on top of it and the
// tests make alike.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include <cstdint>

namespace lumbrex {

// A VT_I4 holding `value`, the rest of its payload zero: the integer VARIANT
// every export that takes one accepts. Owns nothing; clearing it is harmless.
inline VARIANT I4(int32_t value) {
  VARIANT v{};
  v.vt = VT_I4;
  v.lVal = value;
  return v;
}

}  // namespace lumbrex
