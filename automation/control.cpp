#include "control.h"

#include <lumbrex.h>

#include <string>

#include "api/module_path.h"
#include "api/raii.h"
#include "callers/loaded_library.h"
#include "com_owner.h"
#include "dispatch_object.h"
#include "inputs.h"
#include "lumbrex_automation.h"
#include "operation.h"
#include "results.h"
#include "server.h"
#include "share_reset.h"

namespace lumbrex_automation {
namespace {

using lumbrex::UniqueVariant;

// The bundle, side and port most methods begin with, checked in that order
// (the first refused one names the refusal). A missing key on the way to
// the port is what the library's 2 means for these methods.
struct PortTarget {
  VARIANT bundle;
  int side;
  VARIANT port;
};
PortTarget Target(Operation& op, const VARIANT& bundle, const VARIANT& side, const VARIANT& port) {
  op.MissingMeans(kNoSuchTarget);
  PortTarget target;
  target.bundle = op.Name(bundle, L"bundle");
  target.side = op.Number(side, L"side", lumbrex::NumberArgument::kSide);
  target.port = op.Name(port, L"port");
  return target;
}

// The object holds nothing but its reference count and its type
// information, so any thread may call it at any time ("Both"): its calls
// into the library take turns (call_turns.h), and the library serialises the
// rest.
class Control final : public DispatchObject<ILumbrexControl, &IID_ILumbrexControl> {
 public:
  using DispatchObject::DispatchObject;

  // Connection.
  HRESULT STDMETHODCALLTYPE ConnectToLocalService() override {
    Operation op(L"ConnectToLocalService");
    return op.Run([&] { return ::ConnectToLocalService(); }, Failure::kConnect);
  }
  HRESULT STDMETHODCALLTYPE ConnectToRemoteService(VARIANT server, VARIANT user, VARIANT password) override {
    Operation op(L"ConnectToRemoteService");
    const VARIANT name = op.Value(server), logon = op.Value(user), secret = op.Value(password);
    return op.Run([&] { return ::ConnectToRemoteService(name, logon, secret); }, Failure::kConnect);
  }
  HRESULT STDMETHODCALLTYPE DisconnectFromService() override {
    Operation op(L"DisconnectFromService");
    return op.Run([&] { return ::DisconnectFromService(); });
  }

  // Bundle and port editing.
  HRESULT STDMETHODCALLTYPE AddBundle(VARIANT bundle) override {
    Operation op(L"AddBundle");
    const VARIANT b = op.Name(bundle, L"bundle");
    return op.Run([&] { return ::AddBundle(b); });
  }
  HRESULT STDMETHODCALLTYPE DeleteBundle(VARIANT bundle) override {
    Operation op(L"DeleteBundle");
    const VARIANT b = op.Name(bundle, L"bundle");
    return op.Run([&] { return ::DeleteBundle(b); });
  }
  HRESULT STDMETHODCALLTYPE GetBundleState(VARIANT bundle, VARIANT_BOOL* running) override {
    Operation op(L"GetBundleState", running);
    const VARIANT b = op.Name(bundle, L"bundle");
    return op.Ask([&] { return ::GetBundleState(b); }, running);
  }
  HRESULT STDMETHODCALLTYPE BundleAddPort(VARIANT bundle, VARIANT side, VARIANT port, VARIANT portType) override {
    Operation op(L"BundleAddPort");
    const PortTarget t = Target(op, bundle, side, port);
    const VARIANT type = op.IntegerVariant(portType, L"portType", lumbrex::NumberArgument::kPortType);
    return op.Run([&] { return ::BundleAddPort(t.bundle, t.side, t.port, type); });
  }
  HRESULT STDMETHODCALLTYPE BundleDeletePort(VARIANT bundle, VARIANT side, VARIANT port) override {
    Operation op(L"BundleDeletePort");
    const PortTarget t = Target(op, bundle, side, port);
    return op.Run([&] { return ::BundleDeletePort(t.bundle, t.side, t.port); });
  }
  HRESULT STDMETHODCALLTYPE BundleGetPortState(VARIANT bundle, VARIANT side, VARIANT port,
                                               VARIANT_BOOL* open) override {
    Operation op(L"BundleGetPortState", open);
    const PortTarget t = Target(op, bundle, side, port);
    return op.Ask([&] { return ::BundleGetPortState(t.bundle, t.side, t.port); }, open);
  }
  HRESULT STDMETHODCALLTYPE BundleSetMainPortForSide(VARIANT bundle, VARIANT side, VARIANT port) override {
    Operation op(L"BundleSetMainPortForSide");
    const PortTarget t = Target(op, bundle, side, port);
    return op.Run([&] { return ::BundleSetMainPortForSide(t.bundle, t.side, t.port); });
  }
  HRESULT STDMETHODCALLTYPE BundleUpdateSettings() override {
    Operation op(L"BundleUpdateSettings");
    return op.Read([&] { return ::BundleUpdateSettings(); }, Failure::kCommand);
  }

  // Bundle and port queries.
  HRESULT STDMETHODCALLTYPE GetBundlesNames(VARIANT* names) override {
    Operation op(L"GetBundlesNames", names);
    op.MissingMeans(kNoConfiguration);
    UniqueVariant list;
    return op.RunList([&] { return ::GetBundlesNames(list.get()); }, list, names);
  }
  HRESULT STDMETHODCALLTYPE GetPortsNamesByBundleAndSide(VARIANT bundle, VARIANT side, VARIANT* names) override {
    Operation op(L"GetPortsNamesByBundleAndSide", names);
    op.MissingMeans(kNoSuchTarget);
    const VARIANT b = op.Name(bundle, L"bundle");
    const int s = op.Number(side, L"side", lumbrex::NumberArgument::kSide);
    UniqueVariant list;
    return op.RunList([&] { return ::GetPortsNamesByBundleAndSide(b, s, list.get()); }, list, names);
  }
  HRESULT STDMETHODCALLTYPE BundleGetMainPortForSide(VARIANT bundle, VARIANT side, VARIANT* port) override {
    Operation op(L"BundleGetMainPortForSide", port);
    op.MissingMeans(kNoSuchTarget);
    const VARIANT b = op.Name(bundle, L"bundle");
    const int s = op.Number(side, L"side", lumbrex::NumberArgument::kSide);
    UniqueVariant main;
    const HRESULT hr = op.Read([&] { return ::BundleGetMainPortForSide(b, s, main.get()); });
    if (SUCCEEDED(hr)) *port = main.release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE GetRealPortsList(VARIANT* ports) override {
    Operation op(L"GetRealPortsList", ports);
    op.MissingMeans(kNoSerialMap);
    UniqueVariant list;
    return op.RunList([&] { return ::GetRealPortsList(list.get()); }, list, ports);
  }
  HRESULT STDMETHODCALLTYPE BundleGetPortType(VARIANT bundle, VARIANT side, VARIANT port, VARIANT* type) override {
    Operation op(L"BundleGetPortType", type);
    const PortTarget t = Target(op, bundle, side, port);
    UniqueVariant kind;
    const HRESULT hr =
        op.Read([&] { return ::BundleGetPortType(t.bundle, t.side, t.port, kind.get()); });
    // VT_INT is no type VBScript handles: hand the same number over as VT_I4.
    if (SUCCEEDED(hr)) *type = I4(kind->vt == VT_INT ? kind->intVal : 0);
    return hr;
  }

  // Global options.
  using Getter = int(WINAPI*)(unsigned int*);
  using Setter = int(WINAPI*)(int);
  static HRESULT GetOption(const wchar_t* name, Getter get, VARIANT* value) {
    Operation op(name, value);
    op.MissingMeans(kOptionNotStored);
    unsigned int stored = 0;
    const HRESULT hr = op.Read([&] { return get(&stored); });
    if (SUCCEEDED(hr)) NumberResult(stored, value);
    return hr;
  }
  static HRESULT SetOption(const wchar_t* name, Setter set, const VARIANT& value) {
    Operation op(name);
    const int v = op.Whole(value, L"value");
    return op.Run([&] { return set(v); });
  }
  HRESULT STDMETHODCALLTYPE OptionGetPortsAutoOpen(VARIANT* value) override {
    return GetOption(L"OptionGetPortsAutoOpen", ::OptionGetPortsAutoOpen, value);
  }
  HRESULT STDMETHODCALLTYPE OptionGetIgnoreErrorsOnPortCreation(VARIANT* value) override {
    return GetOption(L"OptionGetIgnoreErrorsOnPortCreation", ::OptionGetIgnoreErrorsOnPortCreation, value);
  }
  HRESULT STDMETHODCALLTYPE OptionGetPortToPrint(VARIANT* value) override {
    return GetOption(L"OptionGetPortToPrint", ::OptionGetPortToPrint, value);
  }
  HRESULT STDMETHODCALLTYPE OptionGetIfSendToMainSet(VARIANT* value) override {
    return GetOption(L"OptionGetIfSendToMainSet", ::OptionGetIfSendToMainSet, value);
  }
  HRESULT STDMETHODCALLTYPE OptionGetBaudrateEmulation(VARIANT* value) override {
    return GetOption(L"OptionGetBaudrateEmulation", ::OptionGetBaudrateEmulation, value);
  }
  HRESULT STDMETHODCALLTYPE OptionSetAutoOpenPort(VARIANT value) override {
    return SetOption(L"OptionSetAutoOpenPort", ::OptionSetAutoOpenPort, value);
  }
  HRESULT STDMETHODCALLTYPE OptionSetIgnoreErrors(VARIANT value) override {
    return SetOption(L"OptionSetIgnoreErrors", ::OptionSetIgnoreErrors, value);
  }
  HRESULT STDMETHODCALLTYPE OptionSetPortToPrint(VARIANT value) override {
    return SetOption(L"OptionSetPortToPrint", ::OptionSetPortToPrint, value);
  }
  HRESULT STDMETHODCALLTYPE OptionSetOnlyMainPortCanSend(VARIANT value) override {
    return SetOption(L"OptionSetOnlyMainPortCanSend", ::OptionSetOnlyMainPortCanSend, value);
  }
  HRESULT STDMETHODCALLTYPE OptionSetBaudrateEmulation(VARIANT value) override {
    return SetOption(L"OptionSetBaudrateEmulation", ::OptionSetBaudrateEmulation, value);
  }

  // Real port parameters.
  HRESULT STDMETHODCALLTYPE BundleRealPortAreParametersDynamic(VARIANT bundle, VARIANT side, VARIANT port,
                                                               VARIANT_BOOL* dynamic) override {
    Operation op(L"BundleRealPortAreParametersDynamic", dynamic);
    const PortTarget t = Target(op, bundle, side, port);
    return op.Ask([&] { return ::BundleRealPortAreParametersDynamic(t.bundle, t.side, t.port); }, dynamic,
                  Reach::kSendsNothing);
  }
  HRESULT STDMETHODCALLTYPE BundleGetRealPortParameters(VARIANT bundle, VARIANT side, VARIANT port,
                                                        VARIANT* parameters) override {
    Operation op(L"BundleGetRealPortParameters", parameters);
    const PortTarget t = Target(op, bundle, side, port);
    // Flow control stays 0 (none) when the entry has no flow field; parity
    // stays -1 when the stored letter is none of N, O, E, M, S, so that a
    // script cannot take an unknown letter for "no parity".
    int baudrate = 0, parity = -1, dataBits = 0, stopBits = 0, flow = 0;
    const HRESULT hr = op.Read(
        [&] {
          return ::BundleGetRealPortParameters(t.bundle, t.side, t.port, &baudrate, &parity, &dataBits, &stopBits,
                                               &flow);
        },
        Failure::kParameters);
    if (FAILED(hr)) return hr;
    UniqueVariant items[5];
    const int values[5] = {baudrate, parity, dataBits, stopBits, flow};
    for (int i = 0; i < 5; ++i) *items[i].get() = I4(values[i]);
    return ArrayResult({items[0].get(), items[1].get(), items[2].get(), items[3].get(), items[4].get()},
                       parameters);
  }
  HRESULT STDMETHODCALLTYPE BundleSetRealPortParameters(VARIANT bundle, VARIANT side, VARIANT port,
                                                        VARIANT baudrate, VARIANT parity, VARIANT dataBits,
                                                        VARIANT stopBits, VARIANT flowControl) override {
    Operation op(L"BundleSetRealPortParameters");
    const PortTarget t = Target(op, bundle, side, port);
    using lumbrex::NumberArgument;
    const int baud = op.Number(baudrate, L"baudrate", NumberArgument::kBaudrate);
    const int par = op.Number(parity, L"parity", NumberArgument::kParity);
    const int data = op.Number(dataBits, L"dataBits", NumberArgument::kDataBits);
    const int stop = op.Number(stopBits, L"stopBits", NumberArgument::kStopBits);
    const int flow = op.Number(flowControl, L"flowControl", NumberArgument::kFlowControl);
    return op.Run([&] { return ::BundleSetRealPortParameters(t.bundle, t.side, t.port, baud, par, data, stop, flow); });
  }
  HRESULT STDMETHODCALLTYPE BundleSetDynamicParametersForRealPort(VARIANT bundle, VARIANT side,
                                                                  VARIANT port) override {
    Operation op(L"BundleSetDynamicParametersForRealPort");
    const PortTarget t = Target(op, bundle, side, port);
    return op.Run([&] { return ::BundleSetDynamicParametersForRealPort(t.bundle, t.side, t.port); });
  }

  // Per-port permissions.
  HRESULT STDMETHODCALLTYPE BundlePortGetPermissions(VARIANT bundle, VARIANT side, VARIANT port,
                                                     VARIANT* mask) override {
    Operation op(L"BundlePortGetPermissions", mask);
    const PortTarget t = Target(op, bundle, side, port);
    UniqueVariant read;
    const HRESULT hr =
        op.Read([&] { return ::BundlePortGetPermissions(t.bundle, t.side, t.port, read.get()); });
    if (SUCCEEDED(hr)) *mask = read.release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE BundlePortSetPermissions(VARIANT bundle, VARIANT side, VARIANT port,
                                                     VARIANT mask) override {
    Operation op(L"BundlePortSetPermissions");
    const PortTarget t = Target(op, bundle, side, port);
    // The library takes the mask's 32-bit member whatever its type and clears
    // the VARIANT it gets: it gets a VT_I4 of its own.
    const VARIANT m = op.IntegerVariant(mask, L"mask", lumbrex::NumberArgument::kPortMask);
    return op.Run([&] { return ::BundlePortSetPermissions(t.bundle, t.side, t.port, m); });
  }

  // Shared port permissions and applications.
  HRESULT STDMETHODCALLTYPE SharedPortSetPermissionsForApp(VARIANT bundle, VARIANT side, VARIANT port,
                                                           VARIANT application, VARIANT permission) override {
    Operation op(L"SharedPortSetPermissionsForApp");
    const PortTarget t = Target(op, bundle, side, port);
    const VARIANT a = op.Name(application, L"application", NameKind::kApplication);
    const VARIANT v = op.IntegerVariant(permission, L"permission", lumbrex::NumberArgument::kSharePermission);
    return op.Run([&] { return ::SharedPortSetPermissionsForApp(t.bundle, t.side, t.port, a, v); });
  }
  HRESULT STDMETHODCALLTYPE SharedSetDefaultPermissions(VARIANT bundle, VARIANT side, VARIANT port,
                                                        VARIANT application) override {
    Operation op(L"SharedSetDefaultPermissions");
    const PortTarget t = Target(op, bundle, side, port);
    const VARIANT a = op.Name(application, L"application", NameKind::kApplication);
    return op.Run([&] { return ::SharedSetDefaultPermissions(t.bundle, t.side, t.port, a); });
  }
  HRESULT STDMETHODCALLTYPE SharedPortGetAppPermissions(VARIANT bundle, VARIANT side, VARIANT port,
                                                        VARIANT* applicationsAndPermissions) override {
    Operation op(L"SharedPortGetAppPermissions", applicationsAndPermissions);
    const PortTarget t = Target(op, bundle, side, port);
    UniqueVariant applications, permissions;
    HRESULT hr = op.Read(
        [&] { return ::SharedPortGetAppPermissions(t.bundle, t.side, t.port, applications.get(), permissions.get()); });
    UniqueVariant apps, perms;
    if (SUCCEEDED(hr)) hr = ListResult(applications, apps.get());
    if (SUCCEEDED(hr)) hr = ListResult(permissions, perms.get());
    if (SUCCEEDED(hr)) hr = ArrayResult({apps.get(), perms.get()}, applicationsAndPermissions);
    return hr;
  }
  HRESULT STDMETHODCALLTYPE SharedDelAllPermissions(VARIANT bundle, VARIANT side, VARIANT port) override {
    Operation op(L"SharedDelAllPermissions");
    const PortTarget t = Target(op, bundle, side, port);
    return ResetShares(op, t.bundle, t.side, t.port);  // not the library's: it sends what it reads unchecked
  }
  HRESULT STDMETHODCALLTYPE SharedGetPortApplications(VARIANT port, VARIANT* applications) override {
    Operation op(L"SharedGetPortApplications", applications);
    op.MissingMeans(kNoDriver);  // the library stores the driver device's open error
    const VARIANT p = op.Name(port, L"port");
    UniqueVariant rows;
    return op.RunList([&] { return ::SharedGetPortApplications(p, rows.get()); }, rows, applications);
  }

  // Properties.
  HRESULT STDMETHODCALLTYPE get_LastError(LONG* code) override {
    if (code == nullptr) return E_POINTER;
    *code = static_cast<LONG>(QKGetLastError());
    return S_OK;
  }
  // "1.0.0, lumbrex.dll 1.0.0 (C:\...\lumbrex.dll)": this object's version,
  // then the library the process loaded, which may be another copy.
  HRESULT STDMETHODCALLTYPE get_Version(BSTR* version) override {
    if (version == nullptr) return E_POINTER;
    const std::wstring text = std::to_wstring(LUMBREX_VERSION_MAJOR) + L"." + std::to_wstring(LUMBREX_VERSION_MINOR) +
                              L"." + std::to_wstring(LUMBREX_VERSION_PATCH) + L", " +
                              lumbrex::LoadedLibraryVersion();
    *version = SysAllocString(text.c_str());
    return *version ? S_OK : E_OUTOFMEMORY;
  }
};

}  // namespace

HRESULT CreateControl(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  const std::wstring path = lumbrex::ModulePath(ThisModule());
  if (path.empty()) return HRESULT_FROM_WIN32(GetLastError());
  ComOwner<ITypeLib> library;
  HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.put());
  ComOwner<ITypeInfo> info;
  if (SUCCEEDED(hr)) hr = library.get()->GetTypeInfoOfGuid(IID_ILumbrexControl, info.put());
  if (FAILED(hr)) return hr;
  // The object's first reference is this owner's; the caller's comes from QueryInterface.
  ComOwner<ILumbrexControl> control(new (std::nothrow) Control(std::move(info)));
  if (!control.valid()) return E_OUTOFMEMORY;
  return control.get()->QueryInterface(iid, object);
}

}  // namespace lumbrex_automation
