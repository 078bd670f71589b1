// Test helpers: VARIANTs of every kind, owned by the test.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include <cstdint>
#include <string>

namespace testsupport {

// A VARIANT that the test owns and clears at scope end.
class Var {
 public:
  Var() { VariantInit(&v_); }
  Var(const Var&) = delete;
  Var& operator=(const Var&) = delete;
  ~Var() { VariantClear(&v_); }
  VARIANT* operator&() { return &v_; }
  VARIANT* get() { return &v_; }
  VARIANT& operator*() { return v_; }
  VARIANT* operator->() { return &v_; }
  // A bitwise copy, as a C caller passing by value makes one.
  VARIANT copy() const { return v_; }
 private:
  VARIANT v_;
};

VARIANT Bstr(const std::wstring& text);         // VT_BSTR, a new BSTR (embedded NULs kept)
VARIANT NullBstr();                             // VT_BSTR with a null BSTR
VARIANT I4(int32_t value);
VARIANT I8(int64_t value);
VARIANT OfType(VARTYPE vt, int64_t payload = 0);  // any type code, raw 8-byte payload
VARIANT ByRefBstr(BSTR* target);                // VT_BYREF|VT_BSTR
VARIANT ByRefI4(LONG* target);                  // VT_BYREF|VT_I4

// The text of a VT_BSTR VARIANT (with embedded NULs, at its own length).
std::wstring TextOf(const VARIANT& v);

}  // namespace testsupport
