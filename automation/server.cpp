// The in-process server's entry points: the class factory and the
// (un)registration that regsvr32 calls.
#include <windows.h>
#include <ole2.h>

#include <atomic>
#include <cwchar>

#include "control.h"
#include "lumbrex_automation.h"
#include "registration.h"
#include "server.h"

namespace lumbrex_automation {
namespace {

HMODULE module_ = nullptr;
std::atomic<long> references_{0};

// One factory for the DLL's lifetime: it counts as a server lock only
// through LockServer.
class Factory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (iid != IID_IUnknown && iid != IID_IClassFactory) {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    *object = static_cast<IClassFactory*>(this);
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    if (object != nullptr) *object = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    return CreateControl(iid, object);
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    if (lock) AddServerReference();
    else ReleaseServerReference();
    return S_OK;
  }
};
Factory factory_;

}  // namespace

HMODULE ThisModule() { return module_; }
void AddServerReference() { ++references_; }
void ReleaseServerReference() { --references_; }

}  // namespace lumbrex_automation

using lumbrex_automation::Scope;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    lumbrex_automation::module_ = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (clsid != CLSID_Control) return CLASS_E_CLASSNOTAVAILABLE;
  return lumbrex_automation::factory_.QueryInterface(iid, object);
}

STDAPI DllCanUnloadNow() { return lumbrex_automation::references_ == 0 ? S_OK : S_FALSE; }

STDAPI DllRegisterServer() { return lumbrex_automation::Register(Scope::kMachine); }

STDAPI DllUnregisterServer() { return lumbrex_automation::Unregister(Scope::kMachine); }

// regsvr32 /i:user (with /n: DllInstall alone) registers for the current
// user only; any other command line means the machine.
STDAPI DllInstall(BOOL install, LPCWSTR commandLine) {
  const Scope scope = commandLine != nullptr && _wcsicmp(commandLine, L"user") == 0 ? Scope::kUser : Scope::kMachine;
  return install ? lumbrex_automation::Register(scope) : lumbrex_automation::Unregister(scope);
}
