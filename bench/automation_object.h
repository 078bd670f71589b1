// Lumbrex.Control as the benchmark holds and calls it: created from its
// DLL's class factory in a script host's apartment, and called through
// IDispatch::Invoke the way VBScript calls it.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include "api/raii.h"
#include "com_owner.h"
#include "lumbrex_automation.h"

namespace bench {

// The thread's COM apartment, single-threaded as a script host's.
class Apartment {
 public:
  Apartment() : hr_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~Apartment() {
    if (SUCCEEDED(hr_)) CoUninitialize();
  }
  Apartment(const Apartment&) = delete;
  Apartment& operator=(const Apartment&) = delete;

 private:
  HRESULT hr_;
};

// Lumbrex.Control from the class factory of lumbrex-automation.dll beside
// this program, so no registration is needed. That DLL imports the
// lumbrex.dll this program loaded already: the object and the flat exports
// share one library and one connection to the service.
struct ControlObject {
  lumbrex_automation::ComOwner<ILumbrexControl> table;
  lumbrex_automation::ComOwner<IDispatch> dispatch;
  HMODULE module = nullptr;  // stays loaded: COM may still call into it when the apartment ends

  bool Create();
};

// One method called as VBScript calls it: the DISPID looked up by name once,
// every argument a script variable passed by reference (VT_BYREF|VT_VARIANT
// to the variable's VARIANT), DISPATCH_METHOD | DISPATCH_PROPERTYGET since
// the result is used, and an EXCEPINFO for a failure's text.
class ScriptCall {
 public:
  static constexpr int kMaxArguments = 3;
  ScriptCall(IDispatch* object, const wchar_t* name, int arguments,
             WORD flags = DISPATCH_METHOD | DISPATCH_PROPERTYGET);
  ScriptCall(const ScriptCall&) = delete;
  ScriptCall& operator=(const ScriptCall&) = delete;
  // The script's variable passed as argument `i` (in the script's order).
  lumbrex::UniqueVariant& Variable(int i) { return variables_[i]; }
  // The call; a failure is reported (Fail) once, with the object's description.
  bool Run(VARIANT* result);

 private:
  IDispatch* object_;
  const wchar_t* name_;
  int count_;
  WORD flags_;
  DISPID id_ = DISPID_UNKNOWN;
  lumbrex::UniqueVariant variables_[kMaxArguments];
  VARIANT references_[kMaxArguments];  // point into variables_: nothing of their own to clear
  DISPPARAMS params_{};
  bool reported_ = false;
};

}  // namespace bench
