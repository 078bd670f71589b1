#include "verbs.h"

#include <functional>
#include <string>
#include <vector>

#include "api/module_path.h"
#include "api/variant_values.h"
#include "calls.h"
#include "config_calls.h"
#include "callers/loaded_library.h"
#include "common/names.h"
#include "console.h"
#include "show.h"
#include "variants.h"
#include "words.h"

namespace lumbrexctl {
namespace {

// Runs one changing export once connected.
int Change(const Connection& connection, const wchar_t* exportName, const std::function<int()>& call) {
  if (int rc = Connect(connection)) return rc;
  const CallOutcome outcome = Call(exportName, call);
  return outcome.result == 1 ? kDone : CommandFailed(exportName, outcome);
}

// A change the service may refuse without a reason: the configuration read
// after the refusal says why where it can (the bundle exists already, no such
// bundle, the port is not on that side, it exists with another type, its
// entry names no type), as apply says it. Not for another machine's service:
// the configuration read would be this machine's.
int Change(const Connection& connection, const wchar_t* exportName, const std::function<int()>& call,
           const config::Step& step) {
  if (int rc = Connect(connection)) return rc;
  const CallOutcome outcome = Call(exportName, call);
  if (outcome.result == 1) return kDone;
  return connection.remote ? CommandFailed(exportName, outcome) : Failed(exportName, StepFailure(step, outcome));
}

// The single verb as the step apply would make of it.
config::Step StepOf(config::Action action, const std::wstring& bundle, int side = LUMBREX_SIDE_IN,
                    const std::wstring& port = L"") {
  config::Step step;
  step.action = action;
  step.bundle = Utf8(bundle);
  step.side = side;
  step.port = Utf8(port);
  return step;
}

// The state verbs: "NAME: present" when the service answers OK. The service's
// no carries no reason: "not present", exit 1. A refused argument or a lost
// connection is no answer of the service at all.
int State(const Connection& connection, const wchar_t* exportName, const std::wstring& name,
          const std::function<int()>& call) {
  if (int rc = Connect(connection)) return rc;
  const CallOutcome outcome = Call(exportName, call);
  if (outcome.result == 1) {
    Out(Printable(name) + L": present\n");
    return kDone;
  }
  if (outcome.ConnectionLost() || outcome.StoredCode()) return CommandFailed(exportName, outcome);
  Out(Printable(name) + L": not present (the service did not answer OK)\n");
  return kRefused;
}

}  // namespace

int Connect(const Connection& connection) {
  if (!connection.remote) {
    const CallOutcome local = Call(L"ConnectToLocalService", [] { return ConnectToLocalService(); });
    if (local.result == 1) return kDone;
    return Failed(L"ConnectToLocalService",
                  std::wstring(L"the service's pipe ") + lumbrex::kLocalPipePath + L" " + local.PipeOpenFailure());
  }
  const TextArg server(connection.server), user(connection.user), password(connection.password);
  const CallOutcome outcome = Call(L"ConnectToRemoteService", [&] {
    return ConnectToRemoteService(server.get(), user.get(), password.get());
  });
  if (outcome.result == 1) return kDone;
  // The logon's failure is stored; a pipe that does not open stores nothing.
  if (outcome.StoredCode() && outcome.code != 0) return CommandFailed(L"ConnectToRemoteService", outcome);
  return Failed(L"ConnectToRemoteService", L"the pipe \\\\" + connection.server + L"\\pipe\\" + lumbrex::kPipeName +
                                               L" " + outcome.PipeOpenFailure());
}

std::string VersionText() { return "lumbrexctl " LUMBREXCTL_VERSION "\n" + Utf8(lumbrex::LoadedLibraryVersion()); }

int RunShow(bool json) {
  const Configuration config = ReadConfiguration();
  if (json) OutUtf8(ShowJson(config));
  else Out(ShowText(config));
  return kDone;
}

int RunBundleList(bool json) {
  UniqueVariant names;
  std::vector<std::wstring> bundles;
  const CallOutcome outcome = Call(L"GetBundlesNames", [&] { return GetBundlesNames(names.get()); });
  if (outcome.result == 1) {
    bundles = StringsOf(*names.get());
  } else if (outcome.code != ERROR_FILE_NOT_FOUND) {  // no configuration yet is no bundle
    return ReadFailed(L"GetBundlesNames", outcome);
  }
  if (json) {
    OutUtf8(BundleListJson(bundles));
  } else {
    for (const std::wstring& name : bundles) Out(Printable(name) + L"\n");
  }
  return kDone;
}

int RunPortList(const PortAddress& where, bool json) {
  const SideInfo side = ReadSide(where.bundle, where.side);
  if (side.portsCode != 0)
    return Failed(L"GetPortsNamesByBundleAndSide",
                  L"error " + Num(side.portsCode) + L": " + SystemMessage(side.portsCode) +
                      (side.portsCode == ERROR_FILE_NOT_FOUND ? L" (no such bundle, or it lacks that side)" : L""));
  const wchar_t* sideWord = SideName(where.side);
  if (json) OutUtf8(PortListJson(where.bundle, sideWord, side));
  else Out(PortListText(side));
  return kDone;
}

int RunOptionGet(const OptionInfo& option, bool json) {
  unsigned int value = 0;
  const CallOutcome outcome = Call(option.getterName, [&] { return option.get(&value); });
  // Never stored (the service writes all five with its first UPDATE_SETTINGS):
  // said as show says it, still exit 1.
  if (outcome.result != 1 && outcome.StoredCode() && outcome.code == ERROR_FILE_NOT_FOUND) {
    if (json) OutUtf8(OptionJson(option, std::nullopt));
    else Out(std::wstring(option.name) + L": not set (" + CodeText(outcome.code) + L")\n");
    return kRefused;
  }
  if (outcome.result != 1) return ReadFailed(option.getterName, outcome);
  if (json) OutUtf8(OptionJson(option, value != 0));
  else Out(std::wstring(option.name) + L": " + (value != 0 ? L"on" : L"off") + L"\n");
  return kDone;
}

int RunBundle(const Connection& connection, BundleVerb verb, const std::wstring& name) {
  const TextArg bundle(name);
  switch (verb) {
    case BundleVerb::kAdd:
      return Change(connection, L"AddBundle", [&] { return AddBundle(bundle.get()); },
                    StepOf(config::Action::kAddBundle, name));
    case BundleVerb::kDelete:
      return Change(connection, L"DeleteBundle", [&] { return DeleteBundle(bundle.get()); },
                    StepOf(config::Action::kDeleteBundle, name));
    case BundleVerb::kState:
      return State(connection, L"GetBundleState", name, [&] { return GetBundleState(bundle.get()); });
  }
  return kUsage;
}

int RunPort(const Connection& connection, PortVerb verb, const PortAddress& where) {
  const TextArg bundle(where.bundle), port(where.port);
  const int side = where.side;
  switch (verb) {
    case PortVerb::kDelete:
      return Change(connection, L"BundleDeletePort", [&] { return BundleDeletePort(bundle.get(), side, port.get()); },
                    StepOf(config::Action::kDeletePort, where.bundle, side, where.port));
    case PortVerb::kState:
      return State(connection, L"BundleGetPortState", where.port,
                   [&] { return BundleGetPortState(bundle.get(), side, port.get()); });
    case PortVerb::kMain:
      return Change(connection, L"BundleSetMainPortForSide",
                    [&] { return BundleSetMainPortForSide(bundle.get(), side, port.get()); },
                    StepOf(config::Action::kMain, where.bundle, side, where.port));
    case PortVerb::kDynamic:
      return Change(connection, L"BundleSetDynamicParametersForRealPort",
                    [&] { return BundleSetDynamicParametersForRealPort(bundle.get(), side, port.get()); },
                    StepOf(config::Action::kDynamic, where.bundle, side, where.port));
  }
  return kUsage;
}

int RunPortAdd(const Connection& connection, const PortAddress& where, LONG type) {
  const TextArg bundle(where.bundle), port(where.port);
  return Change(connection, L"BundleAddPort",
                [&] { return BundleAddPort(bundle.get(), where.side, port.get(), lumbrex::I4(type)); },
                StepOf(config::Action::kAddPort, where.bundle, where.side, where.port));
}

int RunPortParams(const Connection& connection, const PortAddress& where, const PortSettings& s) {
  const TextArg bundle(where.bundle), port(where.port);
  const auto call = [&] {
    return BundleSetRealPortParameters(bundle.get(), where.side, port.get(), s.baud, s.parity, s.dataBits,
                                       s.stopBits, s.flow);
  };
  return Change(connection, L"BundleSetRealPortParameters", call,
                StepOf(config::Action::kFixParameters, where.bundle, where.side, where.port));
}

int RunPortPerms(const Connection& connection, const PortAddress& where, LONG mask) {
  const TextArg bundle(where.bundle), port(where.port);
  // The export clears its mask VARIANT: it gets a copy (a number, nothing to free).
  return Change(connection, L"BundlePortSetPermissions",
                [&] { return BundlePortSetPermissions(bundle.get(), where.side, port.get(), lumbrex::I4(mask)); },
                StepOf(config::Action::kPermissions, where.bundle, where.side, where.port));
}

int RunOptionSet(const Connection& connection, const OptionInfo& option, bool on) {
  return Change(connection, option.setterName, [&] { return option.set(on ? 1 : 0); });
}

int RunShareSet(const Connection& connection, const PortAddress& where, const std::wstring& app, LONG value) {
  const TextArg bundle(where.bundle), port(where.port), application(app);
  const auto call = [&] {
    return SharedPortSetPermissionsForApp(bundle.get(), where.side, port.get(), application.get(), lumbrex::I4(value));
  };
  return Change(connection, L"SharedPortSetPermissionsForApp", call,
                StepOf(config::Action::kShare, where.bundle, where.side, where.port));
}

int RunShareDefault(const Connection& connection, const PortAddress& where, const std::wstring& app) {
  const TextArg bundle(where.bundle), port(where.port), application(app);
  const auto call = [&] { return SharedSetDefaultPermissions(bundle.get(), where.side, port.get(), application.get()); };
  return Change(connection, L"SharedSetDefaultPermissions", call,
                StepOf(config::Action::kShareDefault, where.bundle, where.side, where.port));
}

int RunShareApps(const std::wstring& port) {
  std::vector<OpenApplication> apps;
  const CallOutcome outcome = ReadOpenApplications(port, &apps);
  if (outcome.result != 1) {
    if (DriverNotAvailable(outcome.code))
      return Failed(L"SharedGetPortApplications", L"driver not available (" + CodeText(outcome.code) + L")");
    return ReadFailed(L"SharedGetPortApplications", outcome);
  }
  if (apps.empty()) Out(Printable(port) + L": no application\n");
  for (const OpenApplication& app : apps)
    Out(Printable(app.name) + L"  " + Num(app.data0) + L" " + Num(app.data2) + L" " + Num(app.data1) + L"\n");
  return kDone;
}

}  // namespace lumbrexctl
