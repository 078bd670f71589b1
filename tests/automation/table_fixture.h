// The fixture and row types of the tests that call Lumbrex.Control through
// its interface's table, as C++ callers do, from the DLL's own class factory
// (no registration needed).
#pragma once
#include <windows.h>
#include <ole2.h>

#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "api/raii.h"
#include "com_owner.h"
#include "lumbrex_automation.h"
#include "support/variants.h"

namespace table_test {

using testsupport::Bstr;
using testsupport::I4;
using testsupport::Var;
using lumbrex_automation::ComOwner;

// Each test's object, created from the DLL beside this program and not
// connected to a service.
class AutomationTable : public ::testing::Test {
 protected:
  AutomationTable() {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    module_ = LoadLibraryW(L"lumbrex-automation.dll");
    if (module_ == nullptr) return;
    using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
    const auto get =
        reinterpret_cast<GetClassObject>(reinterpret_cast<void (*)()>(GetProcAddress(module_, "DllGetClassObject")));
    ComOwner<IClassFactory> factory;
    if (get == nullptr || FAILED(get(CLSID_Control, IID_IClassFactory, reinterpret_cast<void**>(factory.put()))))
      return;
    factory.get()->CreateInstance(nullptr, IID_ILumbrexControl, reinterpret_cast<void**>(control_.put()));
    c = control_.get();
  }
  ~AutomationTable() override {
    control_.reset();
    CoUninitialize();
  }
  void SetUp() override { ASSERT_NE(c, nullptr) << "lumbrex-automation.dll gave no object"; }

  HMODULE module_ = nullptr;  // stays loaded: COM may still call into it at uninitialisation
  ComOwner<ILumbrexControl> control_;
  ILumbrexControl* c = nullptr;
};

// The description (or another part) of the thread's error object.
inline std::wstring ErrorText(HRESULT (STDMETHODCALLTYPE IErrorInfo::*part)(BSTR*) = &IErrorInfo::GetDescription) {
  ComOwner<IErrorInfo> info;
  if (GetErrorInfo(0, info.put()) != S_OK) return L"";
  lumbrex::UniqueBstr text;
  (info.get()->*part)(text.put());
  return text.get() ? text.get() : L"";
}

// Rows of the tables of calls on the object: a call, and a failing call with
// its number, what its description says and the commands the service gets.
struct Call {
  const char* method;
  std::function<HRESULT()> call;
};
struct Failure {
  const char* call;
  std::function<HRESULT()> run;
  HRESULT number;
  const wchar_t* says = L"";
  size_t sends = 0;
};

// A script object whose default property is a given text: what the library
// would turn it into, had the object not refused it as no text.
class DefaultText final : public IDispatch {
 public:
  explicit DefaultText(const wchar_t* text) : text_(text) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid != IID_IUnknown && iid != IID_IDispatch) return *out = nullptr, E_NOINTERFACE;
    *out = this;
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // lives on the test's stack
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override { return *count = 0, S_OK; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return DISP_E_UNKNOWNNAME;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                                   UINT*) override {
    if (id != DISPID_VALUE || result == nullptr) return DISP_E_MEMBERNOTFOUND;
    VariantInit(result);
    result->vt = VT_BSTR;
    result->bstrVal = SysAllocString(text_);
    return S_OK;
  }

 private:
  const wchar_t* text_;
};

inline VARIANT R8(double value) {
  VARIANT v = testsupport::OfType(VT_R8);
  v.dblVal = value;
  return v;
}

inline VARIANT Dispatch(IDispatch* object) { return testsupport::OfType(VT_DISPATCH, reinterpret_cast<intptr_t>(object)); }

}  // namespace table_test
