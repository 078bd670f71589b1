#include "verbs.h"

#include <functional>
#include <string>
#include <vector>

#include "api/module_path.h"
#include "params/parameter_text.h"
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

// One change, as the step apply would make of it, by the one road to the
// library (road.h). The service may refuse without a reason: the
// configuration read after the refusal says why where it can (the bundle
// exists already, no such bundle, the port is not on that side, it exists
// with another type, its entry names no type), as apply says it. Not for
// another machine's service: the configuration read would be this machine's.
int Change(const Connection& connection, const config::Step& step) {
  const std::wstring exportName = Wide(config::ExportOf(step));
  std::wstring why;
  const std::optional<CheckedStep> checked = CheckStep(step, &why);
  if (!checked) return Failed(exportName.c_str(), why + L"; nothing was sent");
  if (int rc = Connect(connection)) return rc;
  const CallOutcome outcome = Send(*checked);
  if (outcome.result == 1) return kDone;
  return connection.remote ? CommandFailed(exportName.c_str(), outcome)
                           : Failed(exportName.c_str(), StepFailure(step, outcome));
}

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
          const std::function<CallOutcome()>& ask) {
  if (int rc = Connect(connection)) return rc;
  const CallOutcome outcome = ask();
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
  const std::wstring sideWord = SideName(where.side);
  if (json) OutUtf8(PortListJson(where.bundle, sideWord.c_str(), side));
  else Out(PortListText(side));
  return kDone;
}

int RunOptionGet(const OptionInfo& option, bool json) {
  unsigned int value = 0;
  const CallOutcome outcome = Call(option.getterName.c_str(), [&] { return option.get(&value); });
  // Never stored (the service writes all five with its first UPDATE_SETTINGS):
  // said as show says it, still exit 1.
  if (outcome.result != 1 && outcome.StoredCode() && outcome.code == ERROR_FILE_NOT_FOUND) {
    if (json) OutUtf8(OptionJson(option, std::nullopt));
    else Out(std::wstring(option.name) + L": not set (" + CodeText(outcome.code) + L")\n");
    return kRefused;
  }
  if (outcome.result != 1) return ReadFailed(option.getterName.c_str(), outcome);
  if (json) OutUtf8(OptionJson(option, value != 0));
  else Out(std::wstring(option.name) + L": " + (value != 0 ? L"on" : L"off") + L"\n");
  return kDone;
}

// The names of a state verb, checked as a change's are: the command carries them too.
int AskState(const Connection& connection, const std::wstring& bundle, const PortAddress* where) {
  std::wstring why;
  const std::optional<SentName> b = CheckName(bundle, NameKind::kBundle, &why);
  const std::optional<SentName> p = b && where ? CheckName(where->port, NameKind::kPort, &why) : std::nullopt;
  const wchar_t* exportName = where ? L"BundleGetPortState" : L"GetBundleState";
  if (!b || (where && !p)) return Failed(exportName, why + L"; nothing was sent");
  if (!where) return State(connection, exportName, bundle, [&] { return AskBundleState(*b); });
  return State(connection, exportName, where->port, [&] { return AskPortState(*b, where->side, *p); });
}

int RunBundle(const Connection& connection, BundleVerb verb, const std::wstring& name) {
  switch (verb) {
    case BundleVerb::kAdd: return Change(connection, StepOf(config::Action::kAddBundle, name));
    case BundleVerb::kDelete: return Change(connection, StepOf(config::Action::kDeleteBundle, name));
    case BundleVerb::kState: return AskState(connection, name, nullptr);
  }
  return kUsage;
}

int RunPort(const Connection& connection, PortVerb verb, const PortAddress& where) {
  const auto step = [&](config::Action action) { return StepOf(action, where.bundle, where.side, where.port); };
  switch (verb) {
    case PortVerb::kDelete: return Change(connection, step(config::Action::kDeletePort));
    case PortVerb::kState: return AskState(connection, where.bundle, &where);
    case PortVerb::kMain: return Change(connection, step(config::Action::kMain));
    case PortVerb::kDynamic: return Change(connection, step(config::Action::kDynamic));
  }
  return kUsage;
}

int RunPortAdd(const Connection& connection, const PortAddress& where, LONG type) {
  config::Step step = StepOf(config::Action::kAddPort, where.bundle, where.side, where.port);
  const char* word = config::PortTypeWordOf(type);
  step.type = word != nullptr ? word : "";
  return Change(connection, step);
}

int RunPortParams(const Connection& connection, const PortAddress& where, const PortSettings& s) {
  config::Step step = StepOf(config::Action::kFixParameters, where.bundle, where.side, where.port);
  const auto letter = [](lumbrex::Char16 c) { return c == 0 ? std::string() : std::string(1, static_cast<char>(c)); };
  step.parameters = config::Parameters{s.baud, letter(lumbrex::kParityLetters[s.parity]), s.dataBits, s.stopBits,
                                       letter(lumbrex::kFlowLetters[s.flow])};
  return Change(connection, step);
}

int RunPortPerms(const Connection& connection, const PortAddress& where, LONG mask) {
  config::Step step = StepOf(config::Action::kPermissions, where.bundle, where.side, where.port);
  step.value = mask;
  return Change(connection, step);
}

int RunOptionSet(const Connection& connection, const OptionInfo& option, bool on) {
  config::Step step;
  step.option = option.option;
  step.on = on;
  return Change(connection, step);
}

int RunShareSet(const Connection& connection, const PortAddress& where, const std::wstring& app, LONG value) {
  config::Step step = StepOf(config::Action::kShare, where.bundle, where.side, where.port);
  step.app = Utf8(app);
  step.value = value;
  return Change(connection, step);
}

int RunShareDefault(const Connection& connection, const PortAddress& where, const std::wstring& app) {
  config::Step step = StepOf(config::Action::kShareDefault, where.bundle, where.side, where.port);
  step.app = Utf8(app);
  return Change(connection, step);
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
