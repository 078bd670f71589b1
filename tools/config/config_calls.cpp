#include "config_calls.h"

#include <set>

#include "snapshot.h"
#include "variants.h"

namespace lumbrexctl {
namespace {

using config::Action;

// "9600,E,7,0[,X]" as the model holds it; false for anything else.
bool ParametersOf(const std::wstring& text, config::Parameters* p) {
  wchar_t parity = 0, flow = 0;
  long long baud = 0, data = 0, stop = 0;
  int used = 0;
  const int got = std::swscanf(text.c_str(), L"%lld,%lc,%lld,%lld%n,%lc", &baud, &parity, &data, &stop, &used, &flow);
  if (got < 4 || config::ParityCode(Utf8(std::wstring(1, parity))) < 0) return false;
  *p = config::Parameters{baud, Utf8(std::wstring(1, parity)), data, stop, ""};
  if (got == 5) {
    p->flow = Utf8(std::wstring(1, flow));
    if (config::FlowCode(p->flow) < 0) return false;
  }
  return true;
}

// The name as the model holds it, in UTF-8. A lone surrogate, which another
// program may store in a registry name, has none: converted, it would become
// U+FFFD, and two bundles (s\xD800x and s\xFFFDx) one, the other lost to
// export and plan. Such a configuration does not read back exactly.
std::string NameOf(const std::wstring& name, const std::wstring& where, std::vector<std::wstring>* problems) {
  for (size_t i = 0; i < name.size(); ++i) {
    const bool high = name[i] >= 0xD800 && name[i] <= 0xDBFF, low = name[i] >= 0xDC00 && name[i] <= 0xDFFF;
    const bool paired = i + 1 < name.size() && name[i + 1] >= 0xDC00 && name[i + 1] <= 0xDFFF;
    if (high && paired) ++i;
    else if (high || low) {
      wchar_t unit[8];
      std::swprintf(unit, 8, L"%04X", static_cast<unsigned>(name[i]));
      problems->push_back(where + L": its name holds U+" + unit +
                          L", half of a character, which no configuration document can carry");
    }
  }
  return Utf8(name);
}

// The applications and their permissions as SharedPortGetAppPermissions gave
// them: two lists of one length, each value "%d" text.
void ShareOf(const std::wstring& where, const std::vector<std::wstring>& apps, const std::vector<std::wstring>& values,
             config::Share* share, std::vector<std::wstring>* problems) {
  if (apps.size() != values.size())
    return problems->push_back(where + L": its share permissions read as " + Num(apps.size()) + L" applications and " +
                               Num(values.size()) + L" values");
  for (size_t i = 0; i < apps.size(); ++i) {
    long long value = 0;
    if (!ParseNumber(values[i], &value))
      problems->push_back(where + L": the share permission of " + apps[i] + L" reads as '" + values[i] + L"'");
    else share->emplace_back(NameOf(apps[i], where + L" share " + apps[i], problems), value);
  }
}

config::Port PortOf(const std::wstring& where, const PortInfo& info, std::vector<std::wstring>* problems) {
  config::Port port;
  port.name = NameOf(info.name, where, problems);
  port.type = Utf8(TypeName(info.type));
  if (!info.typeRead || port.type == "unknown") problems->push_back(where + L": its type does not read");
  if (!info.dynamic) {
    config::Parameters parameters;
    if (!ParametersOf(info.parameters, &parameters)) problems->push_back(where + L": its parameters do not read");
    port.fixed = parameters;
  }
  if (info.permsRead) port.mask = info.perms;
  else problems->push_back(where + L": its permission mask does not read (" + CodeText(info.permsCode) + L")");
  if (info.shareCode != 0) problems->push_back(where + L": its share permissions do not read (" + CodeText(info.shareCode) + L")");
  else ShareOf(where, info.shareApps, info.shareValues, &port.share, problems);
  return port;
}

}  // namespace

CurrentModel ReadCurrentModel() {
  const Configuration config = ReadConfiguration();
  CurrentModel current;
  for (int i = 0; i < kOptionCount; ++i)
    if (config.optionRead[i]) current.model.options[i] = config.optionValue[i] != 0;
  // No configuration root yet is an empty configuration.
  if (config.bundlesCode != 0 && config.bundlesCode != ERROR_FILE_NOT_FOUND)
    current.problems.push_back(L"the bundles do not read (" + CodeText(config.bundlesCode) + L")");
  for (const BundleInfo& info : config.bundles) {
    config::Bundle bundle;
    bundle.name = NameOf(info.name, info.name, &current.problems);
    for (int s = 0; s < 2; ++s) {
      const std::wstring where = info.name + L" " + Wide(config::kSideWords[s]);
      if (info.sides[s].portsCode != 0 && info.sides[s].portsCode != ERROR_FILE_NOT_FOUND)
        current.problems.push_back(where + L": the ports do not read");
      bundle.sides[s].main = NameOf(info.sides[s].main, where + L" main", &current.problems);
      for (const PortInfo& port : info.sides[s].ports)
        bundle.sides[s].ports.push_back(PortOf(where + L" " + port.name, port, &current.problems));
    }
    current.model.bundles.push_back(std::move(bundle));
  }
  return current;
}

std::vector<std::wstring> ReadLeftoverShare(const config::Model& target, config::Model* current) {
  std::vector<std::wstring> problems;
  // The names of the ports some bundle holds, folded once: a configuration of
  // a thousand ports would otherwise fold a million names.
  std::set<std::u32string> held;
  for (const config::Bundle& b : current->bundles)
    for (const config::Side& side : b.sides)
      for (const config::Port& p : side.ports) held.insert(config::FoldedName(p.name));
  for (const config::Bundle& bundle : target.bundles)
    for (int s = 0; s < 2; ++s)
      for (const config::Port& port : bundle.sides[s].ports) {
        if (!config::IsShared(port.type) || held.count(config::FoldedName(port.name)) != 0) continue;
        const TextArg b(Wide(bundle.name)), p(Wide(port.name));
        UniqueVariant apps, values;
        const CallOutcome read = Call(L"SharedPortGetAppPermissions", [&] {
          return SharedPortGetAppPermissions(b.get(), s, p.get(), apps.get(), values.get());
        });
        const std::wstring where = L"the share permissions stored for " + Wide(port.name);
        // A key it cannot read is success with no arrays and a stored code;
        // no key at all (2) is a port nobody gave permissions.
        const bool unread = read.result != 1 || (apps->vt == VT_EMPTY && read.StoredCode() && read.code != 0 &&
                                                 read.code != ERROR_FILE_NOT_FOUND);
        if (unread) {
          problems.push_back(where + L" do not read (" + CodeText(read.code) + L")");
          continue;
        }
        if (apps->vt == VT_EMPTY) continue;
        config::Share share;
        ShareOf(where, StringsOf(*apps.get()), StringsOf(*values.get()), &share, &problems);
        current->leftoverShare.emplace_back(port.name, std::move(share));
      }
  return problems;
}

std::wstring ExplainRefusal(const config::Step& step, const config::Model& after) {
  const auto named = [](const auto& list, const std::string& name) {
    for (const auto& item : list)
      if (config::SameName(item.name, name)) return &item;
    return static_cast<decltype(&list.front())>(nullptr);
  };
  const config::Bundle* bundle = named(after.bundles, step.bundle);
  if (step.action == Action::kOption) return L"";
  if (step.action == Action::kAddBundle) return bundle ? L"the bundle exists already" : L"";
  if (bundle == nullptr) return L"no such bundle";
  if (step.action == Action::kDeleteBundle) return L"";
  const config::Port* port = named(bundle->sides[step.side].ports, step.port);
  const std::wstring side = Wide(config::kSideWords[step.side]);
  if (step.action == Action::kAddPort)
    return port == nullptr ? L"" : L"the port exists already on that side, as a " + Wide(port->type) + L" port";
  if (port == nullptr) return L"the port is not on the " + side + L" side of that bundle";
  // The service rewrites a port entry keeping its type word, and refuses an
  // entry that has none (or is no text at all).
  const bool rewritesEntry =
      step.action == Action::kFixParameters || step.action == Action::kDynamic || step.action == Action::kPermissions;
  if (rewritesEntry && !config::IsPortType(port->type)) return L"the port's stored entry names no port type";
  return L"";
}

std::wstring StepFailure(const config::Step& step, const CallOutcome& outcome) {
  const std::wstring why = CommandFailure(outcome);
  const bool coded = outcome.StoredCode() && outcome.code != 0;
  if (outcome.ConnectionLost() || (coded && outcome.code != ERROR_FILE_NOT_FOUND)) return why;
  const std::wstring reason = ExplainRefusal(step, ReadCurrentModel().model);
  if (reason.empty()) return why;
  return coded ? why + L" (" + reason + L")" : why + L": " + reason;
}

}  // namespace lumbrexctl
