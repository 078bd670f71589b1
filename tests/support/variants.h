// VARIANTs for tests: an owner that clears at scope end, and makers of every
// kind a caller may pass (what a maker makes is the caller's to clear).
#pragma once
#include <windows.h>
#include <oleauto.h>

#include <cstdint>
#include <list>
#include <string>

#include "api/raii.h"
#include "api/variant_values.h"

namespace testsupport {

// The library's VARIANT owner, with a test's shorthands.
class Var : public lumbrex::UniqueVariant {
 public:
  Var() = default;
  Var(const VARIANT& made) : UniqueVariant(made) {}  // takes over what a maker made
  VARIANT* operator&() { return get(); }
  VARIANT& operator*() { return *get(); }
  VARIANT copy() const { return *get(); }  // a bitwise copy, as a C caller passing by value makes one
};

inline VARIANT OfType(VARTYPE vt, int64_t payload = 0) {  // any type code, a raw 8-byte payload
  VARIANT v;
  VariantInit(&v);
  v.vt = vt;
  v.llVal = payload;
  return v;
}
using lumbrex::I4;
inline VARIANT I8(int64_t value) { return OfType(VT_I8, value); }
inline VARIANT ByRef(VARTYPE vt, void* target) { return OfType(VT_BYREF | vt, reinterpret_cast<intptr_t>(target)); }
inline VARIANT Bstr(const std::wstring& text) {  // the whole text, NULs included
  return OfType(VT_BSTR, reinterpret_cast<intptr_t>(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))));
}
// A string argument (a VT_BSTR) that lives as long as the test program.
inline VARIANT Arg(const std::wstring& text) {
  static std::list<Var> kept;
  kept.emplace_back(Bstr(text));
  return kept.back().copy();
}
// An object a caller passes or leaves in a VARIANT, counting what is done to
// it; it lives as long as the test, whatever the count.
struct CountedObject : IUnknown {
  int addRefs = 0, releases = 0;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override { return *out = nullptr, E_NOINTERFACE; }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++addRefs, 2; }
  ULONG STDMETHODCALLTYPE Release() override { return ++releases, 1; }
};
// The text of a VT_BSTR VARIANT at its own length (empty for anything else).
inline std::wstring TextOf(const VARIANT& v) {
  return v.vt == VT_BSTR && v.bstrVal ? std::wstring(v.bstrVal, SysStringLen(v.bstrVal)) : std::wstring();
}

}  // namespace testsupport
