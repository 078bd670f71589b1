#include <windows.h>
// The identifiers of the generated interface header are defined here, once.
#include <initguid.h>
#include <ole2.h>
#include <cguid.h>

#include "automation_object.h"
#include "measurements.h"

namespace bench {

using lumbrex::UniqueBstr;
using lumbrex_automation::ComOwner;

bool ControlObject::Create() {
  module = LoadLibraryW(L"lumbrex-automation.dll");
  if (module == nullptr) return false;
  using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
  const auto get =
      reinterpret_cast<GetClassObject>(reinterpret_cast<void (*)()>(GetProcAddress(module, "DllGetClassObject")));
  ComOwner<IClassFactory> factory;
  if (get == nullptr || FAILED(get(CLSID_Control, IID_IClassFactory, reinterpret_cast<void**>(factory.put()))))
    return false;
  if (FAILED(factory.get()->CreateInstance(nullptr, IID_ILumbrexControl, reinterpret_cast<void**>(table.put()))))
    return false;
  return SUCCEEDED(table.get()->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(dispatch.put())));
}

ScriptCall::ScriptCall(IDispatch* object, const wchar_t* name, int arguments, WORD flags)
    : object_(object), name_(name), count_(arguments), flags_(flags) {
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  if (FAILED(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id_)))
    Fail("GetIDsOfNames knows no %ls", name);
  for (int i = 0; i < count_; ++i) {
    // rgvarg holds the arguments last first.
    VARIANT& reference = references_[count_ - 1 - i];
    VariantInit(&reference);
    reference.vt = VT_BYREF | VT_VARIANT;
    reference.pvarVal = variables_[i].get();
  }
  params_.rgvarg = references_;
  params_.cArgs = UINT(count_);
}

bool ScriptCall::Run(VARIANT* result) {
  EXCEPINFO exception{};
  UINT argError = 0;
  const HRESULT hr = object_->Invoke(id_, IID_NULL, LOCALE_USER_DEFAULT, flags_, &params_, result, &exception,
                                     &argError);
  // A failure's texts are the caller's to free.
  UniqueBstr source(exception.bstrSource), description(exception.bstrDescription), help(exception.bstrHelpFile);
  if (FAILED(hr) && !reported_) {
    reported_ = true;
    Fail("%ls through Invoke: 0x%08lx %ls", name_, static_cast<unsigned long>(hr),
         description.get() ? description.get() : L"");
  }
  return SUCCEEDED(hr);
}

}  // namespace bench
