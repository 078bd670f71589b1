// Lumbrex.Control called through its interface's table, as C++ callers do,
// from the DLL's own class factory (no registration needed).
#include <windows.h>
#include <initguid.h>
#include <ole2.h>

#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "api/raii.h"
#include "lumbrex_automation.h"
#include "support/variants.h"

namespace {

using testsupport::Bstr;
using testsupport::I4;
using testsupport::Var;

// The object, created from the DLL beside this program.
class ControlObject {
 public:
  ControlObject() {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    module_ = LoadLibraryW(L"lumbrex-automation.dll");
    if (module_ == nullptr) return;
    using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
    const auto get =
        reinterpret_cast<GetClassObject>(reinterpret_cast<void (*)()>(GetProcAddress(module_, "DllGetClassObject")));
    IClassFactory* factory = nullptr;
    if (get == nullptr || FAILED(get(CLSID_Control, IID_IClassFactory, reinterpret_cast<void**>(&factory)))) return;
    factory->CreateInstance(nullptr, IID_ILumbrexControl, reinterpret_cast<void**>(&control_));
    factory->Release();
  }
  ~ControlObject() {
    if (control_ != nullptr) control_->Release();
    CoUninitialize();
  }
  ILumbrexControl* get() const { return control_; }

 private:
  HMODULE module_ = nullptr;  // stays loaded: COM may still call into it at uninitialisation
  ILumbrexControl* control_ = nullptr;
};

std::wstring ErrorSource() {
  IErrorInfo* info = nullptr;
  if (GetErrorInfo(0, &info) != S_OK) return L"";
  lumbrex::UniqueBstr source;
  info->GetSource(source.put());
  info->Release();
  return source.get() ? source.get() : L"";
}

// A method with a result, given a null result pointer: refused, never written through.
TEST(AutomationTable, NullResultPointersAreRefused) {
  ControlObject object;
  ILumbrexControl* c = object.get();
  ASSERT_NE(c, nullptr) << "lumbrex-automation.dll gave no object";
  Var bundle(Bstr(L"TableBundle")), side(I4(0)), port(Bstr(L"COM1"));
  const VARIANT b = bundle.copy(), s = side.copy(), p = port.copy();
  const struct {
    const char* method;
    std::function<HRESULT()> call;
  } rows[] = {
      {"GetBundleState", [&] { return c->GetBundleState(b, nullptr); }},
      {"BundleGetPortState", [&] { return c->BundleGetPortState(b, s, p, nullptr); }},
      {"GetBundlesNames", [&] { return c->GetBundlesNames(nullptr); }},
      {"GetPortsNamesByBundleAndSide", [&] { return c->GetPortsNamesByBundleAndSide(b, s, nullptr); }},
      {"BundleGetMainPortForSide", [&] { return c->BundleGetMainPortForSide(b, s, nullptr); }},
      {"GetRealPortsList", [&] { return c->GetRealPortsList(nullptr); }},
      {"BundleGetPortType", [&] { return c->BundleGetPortType(b, s, p, nullptr); }},
      {"OptionGetPortsAutoOpen", [&] { return c->OptionGetPortsAutoOpen(nullptr); }},
      {"OptionGetIgnoreErrorsOnPortCreation", [&] { return c->OptionGetIgnoreErrorsOnPortCreation(nullptr); }},
      {"OptionGetPortToPrint", [&] { return c->OptionGetPortToPrint(nullptr); }},
      {"OptionGetIfSendToMainSet", [&] { return c->OptionGetIfSendToMainSet(nullptr); }},
      {"OptionGetBaudrateEmulation", [&] { return c->OptionGetBaudrateEmulation(nullptr); }},
      {"BundleRealPortAreParametersDynamic", [&] { return c->BundleRealPortAreParametersDynamic(b, s, p, nullptr); }},
      {"BundleGetRealPortParameters", [&] { return c->BundleGetRealPortParameters(b, s, p, nullptr); }},
      {"BundlePortGetPermissions", [&] { return c->BundlePortGetPermissions(b, s, p, nullptr); }},
      {"SharedPortGetAppPermissions", [&] { return c->SharedPortGetAppPermissions(b, s, p, nullptr); }},
      {"SharedGetPortApplications", [&] { return c->SharedGetPortApplications(p, nullptr); }},
      {"LastError", [&] { return c->get_LastError(nullptr); }},
      {"Version", [&] { return c->get_Version(nullptr); }},
  };
  for (const auto& row : rows) {
    SetErrorInfo(0, nullptr);
    EXPECT_EQ(row.call(), E_POINTER) << row.method;
  }
  // A method's refusal carries the object's error source.
  SetErrorInfo(0, nullptr);
  c->GetBundlesNames(nullptr);
  EXPECT_EQ(ErrorSource(), L"Lumbrex.Control");
}

// Inputs no script makes but a C++ caller can: each fails or is refused,
// none is read through a null or looping reference.
TEST(AutomationTable, MalformedInputsFailWithoutCrashing) {
  ControlObject object;
  ILumbrexControl* c = object.get();
  ASSERT_NE(c, nullptr) << "lumbrex-automation.dll gave no object";
  VARIANT loop;
  loop.vt = VT_BYREF | VT_VARIANT;
  loop.pvarVal = &loop;
  const struct {
    const char* input;
    VARIANT value;
  } inputs[] = {
      {"VT_BYREF|VT_I4 to nothing", testsupport::ByRef(VT_I4, nullptr)},
      {"VT_BYREF|VT_BSTR to nothing", testsupport::ByRef(VT_BSTR, nullptr)},
      {"VT_BYREF|VT_VARIANT to nothing", testsupport::ByRef(VT_VARIANT, nullptr)},
      {"VT_BYREF|VT_VARIANT to itself", loop},
      {"VT_ARRAY|VT_I4 without an array", testsupport::OfType(VT_ARRAY | VT_I4)},
      {"VT_DISPATCH null", testsupport::OfType(VT_DISPATCH)},
      {"VT_R8 not a number", testsupport::OfType(VT_R8, 0x7FF8000000000000LL)},
  };
  Var name(Bstr(L"TableBundle")), zero(I4(0));
  const VARIANT b = name.copy(), z = zero.copy();
  for (const auto& in : inputs) {
    const VARIANT& v = in.value;
    Var out;
    const struct {
      const char* method;
      std::function<HRESULT()> call;
    } rows[] = {
        {"AddBundle", [&] { return c->AddBundle(v); }},
        {"GetPortsNamesByBundleAndSide side", [&] { return c->GetPortsNamesByBundleAndSide(b, v, &out); }},
        {"BundleGetPortType port", [&] { return c->BundleGetPortType(b, z, v, &out); }},
        {"OptionSetAutoOpenPort", [&] { return c->OptionSetAutoOpenPort(v); }},
        {"BundlePortSetPermissions mask", [&] { return c->BundlePortSetPermissions(b, z, b, v); }},
        {"SharedPortSetPermissionsForApp permission",
         [&] { return c->SharedPortSetPermissionsForApp(b, z, b, b, v); }},
        {"SharedGetPortApplications", [&] { return c->SharedGetPortApplications(v, &out); }},
        {"ConnectToRemoteService", [&] { return c->ConnectToRemoteService(v, v, v); }},
    };
    for (const auto& row : rows) EXPECT_TRUE(FAILED(row.call())) << row.method << " given " << in.input;
  }
}

}  // namespace
