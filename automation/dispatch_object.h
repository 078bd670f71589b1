// The COM plumbing of an automation object with a dual interface: reference
// counting, IDispatch from the type library in this DLL, and the error object
// (ISupportErrorInfo) through which its methods report their failures.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include <atomic>
#include <utility>

#include "com_owner.h"
#include "server.h"

namespace lumbrex_automation {

// Interface: the dual interface the object implements; iid: its IID. The
// object counts as a server reference for as long as it lives.
template <class Interface, const IID* iid>
class DispatchObject : public Interface, public ISupportErrorInfo {
 public:
  explicit DispatchObject(ComOwner<ITypeInfo> info) : info_(std::move(info)) { AddServerReference(); }
  virtual ~DispatchObject() { ReleaseServerReference(); }

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID asked, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (asked == IID_IUnknown || asked == IID_IDispatch || asked == *iid)
      *object = static_cast<Interface*>(this);
    else if (asked == IID_ISupportErrorInfo)
      *object = static_cast<ISupportErrorInfo*>(this);
    else {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

  // ISupportErrorInfo: every method of the interface raises its failures
  // through the error object.
  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID asked) override {
    return asked == *iid ? S_OK : S_FALSE;
  }

  // IDispatch, from the type library in this DLL.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 1;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
    if (info == nullptr) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    info_.get()->AddRef();
    *info = info_.get();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    return DispGetIDsOfNames(info_.get(), names, count, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* exception, UINT* argError) override {
    SetErrorInfo(0, nullptr);
    HRESULT hr = DispInvoke(static_cast<Interface*>(this), info_.get(), member, flags, params, result, exception,
                            argError);
    // A method's own failure reaches late-bound callers as an exception
    // carrying the error object's description and source.
    if (FAILED(hr) && hr != DISP_E_EXCEPTION && HRESULT_FACILITY(hr) != FACILITY_DISPATCH &&
        exception != nullptr) {
      ZeroMemory(exception, sizeof *exception);
      exception->scode = hr;
      ComOwner<IErrorInfo> error;
      if (GetErrorInfo(0, error.put()) == S_OK) {
        error.get()->GetSource(&exception->bstrSource);
        error.get()->GetDescription(&exception->bstrDescription);
      }
      hr = DISP_E_EXCEPTION;
    }
    return hr;
  }

 private:
  std::atomic<ULONG> references_{1};
  ComOwner<ITypeInfo> info_;
};

}  // namespace lumbrex_automation
