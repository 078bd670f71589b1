// share reset: every application stored for a shared port back to the
// default permission, one SharedSetDefaultPermissions each.
//
// Not SharedDelAllPermissions: it reads the list again inside the library
// and sends every name through the thread's ANSI code page, so a name that
// does not survive the conversion resets another application (Łukasz.exe
// arrives as Lukasz.exe) or creates a new entry (??????.exe); and it answers
// success whatever the service said to each command.
#include <string>
#include <vector>

#include "calls.h"
#include "common/name_rules.h"
#include "road.h"
#include "words.h"
#include "console.h"
#include "variants.h"
#include "verbs.h"

namespace lumbrexctl {
namespace {

struct Left {
  std::wstring app, why;
};

// The share permissions are kept by port name, whatever the bundle: a reset
// for a bundle or side that lacks the port would reset another bundle's
// port of that name. "" when the side holds the port, else what is missing.
std::wstring MissingPort(const TextArg& bundle, const PortAddress& where) {
  UniqueVariant ports;
  const CallOutcome listed = Call(L"GetPortsNamesByBundleAndSide", [&] {
    return GetPortsNamesByBundleAndSide(bundle.get(), where.side, ports.get());
  });
  if (listed.result != 1) return L"no such bundle " + where.bundle;
  for (const std::wstring& port : StringsOf(*ports.get()))
    if (lumbrex::SameName(port, where.port)) return L"";
  return L"no port " + where.port + L" on the " + SideName(where.side) + L" side of " + where.bundle;
}

}  // namespace

int RunShareReset(const Connection& connection, const PortAddress& where) {
  const TextArg bundle(where.bundle), port(where.port);
  const std::wstring missing = MissingPort(bundle, where);
  if (!missing.empty()) return Failed(L"share reset", missing + L"; nothing was reset");
  UniqueVariant apps, values;
  const CallOutcome listed = Call(L"SharedPortGetAppPermissions", [&] {
    return SharedPortGetAppPermissions(bundle.get(), where.side, port.get(), apps.get(), values.get());
  });
  if (listed.result != 1) return ReadFailed(L"SharedPortGetAppPermissions", listed);  // the port name refused
  if (apps->vt == VT_EMPTY) {
    // No key, or a key without values: nothing stored, nothing to send.
    if (!listed.StoredCode() || listed.code == ERROR_FILE_NOT_FOUND) {
      Complain(L"note: " + where.port + L" has no share permissions stored; nothing to reset");
      return kDone;
    }
    return Failed(L"SharedPortGetAppPermissions", L"error " + Num(listed.code) + L": " + SystemMessage(listed.code) +
                                                      L" (the applications could not be listed; nothing was reset)");
  }
  // Each reset is a step of the one road (road.h): checked on this thread,
  // whose code page the library converts with, before anything is sent.
  std::vector<CheckedStep> named;
  std::vector<Left> left;
  for (const std::wstring& app : StringsOf(*apps.get())) {
    config::Step step;
    step.action = config::Action::kShareDefault;
    step.bundle = Utf8(where.bundle);
    step.side = where.side;
    step.port = Utf8(where.port);
    step.app = Utf8(app);
    std::wstring why;
    if (std::optional<CheckedStep> checked = CheckStep(step, &why)) named.push_back(std::move(*checked));
    else left.push_back({app, why});
  }
  if (!named.empty())
    if (int rc = Connect(connection)) return rc;
  size_t reset = 0;
  for (size_t i = 0; i < named.size(); ++i) {
    const CallOutcome outcome = Send(named[i]);
    if (outcome.result == 1) {
      ++reset;
      continue;
    }
    const std::wstring app = Wide(named[i].step().app);
    left.push_back({app, L"SharedSetDefaultPermissions failed: " + CommandFailure(outcome)});
    if (!outcome.ConnectionLost()) continue;
    // Every later command would fail at once without reaching the service.
    for (++i; i < named.size(); ++i)
      left.push_back({Wide(named[i].step().app), L"not sent: the connection to the service was lost"});
  }
  for (const Left& app : left) Complain(L"share reset: '" + app.app + L"' not reset: " + app.why);
  if (left.empty()) return kDone;
  Complain(L"share reset: " + Num(reset) + L" of " + Num(reset + left.size()) + L" applications reset on " +
           where.port);
  return kRefused;
}

}  // namespace lumbrexctl
