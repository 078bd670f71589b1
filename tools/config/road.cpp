#include "road.h"

#include "api/port_name.h"
#include "api/variant_values.h"
#include "callers/number_rules.h"
#include "callers/safe_name.h"
#include "snapshot.h"
#include "variants.h"

namespace lumbrexctl {
namespace {

using config::Action;

const wchar_t* KindWord(NameKind kind) {
  switch (kind) {
    case NameKind::kBundle: return L"the bundle name";
    case NameKind::kPort: return L"the port name";
    case NameKind::kApplication: return L"the application name";
  }
  return L"the name";
}

bool Needs(Action action, NameKind kind) {
  switch (kind) {
    case NameKind::kBundle: return action != Action::kOption;
    case NameKind::kPort: return action != Action::kOption && action != Action::kAddBundle && action != Action::kDeleteBundle;
    case NameKind::kApplication: return action == Action::kShare || action == Action::kShareDefault;
  }
  return false;
}

// The exports that refuse a port name outside the library's port-name rule
// (docs/api-reference.md): refused there, after the plan's earlier changes
// went out, so checked here before the first.
bool TakesRuledPort(Action action) {
  return action == Action::kAddPort || action == Action::kMain || action == Action::kShare ||
         action == Action::kShareDefault;
}

}  // namespace

std::wstring NameProblemOf(std::wstring_view name, NameKind kind) {
  return kind == NameKind::kApplication ? lumbrex::AppNameProblem(name) : lumbrex::NameProblem(name);
}

std::optional<SentName> CheckName(std::wstring_view name, NameKind kind, std::wstring* why) {
  const std::wstring problem = NameProblemOf(name, kind);
  if (!problem.empty()) return *why = std::wstring(KindWord(kind)) + L" '" + std::wstring(name) + L"' " + problem, std::nullopt;
  return SentName(std::wstring(name));
}

std::wstring NumberProblemOf(const config::Step& step) {
  for (const config::SentNumber& number : config::NumbersOf(step))
    if (!lumbrex::Accepts(number.rule, number.value))
      return lumbrex::NumberRefusal(number.rule, Wide(number.what), Num(number.value));
  return L"";
}

std::optional<CheckedStep> CheckStep(const config::Step& step, std::wstring* why) {
  CheckedStep checked(step);
  if (step.action == Action::kOption && (step.option < 0 || step.option >= kOptionCount))
    return *why = L"no such option", std::nullopt;
  const struct {
    NameKind kind;
    const std::string& name;
    std::optional<SentName>* into;
  } names[] = {{NameKind::kBundle, step.bundle, &checked.bundle_},
               {NameKind::kPort, step.port, &checked.port_},
               {NameKind::kApplication, step.app, &checked.app_}};
  for (const auto& name : names) {
    if (!Needs(step.action, name.kind)) continue;
    *name.into = CheckName(Wide(name.name), name.kind, why);
    if (!*name.into) return std::nullopt;
  }
  if (TakesRuledPort(step.action) && !lumbrex::IsValidPortName(Wide(step.port)))
    return *why = L"the port name '" + Wide(step.port) + L"' is not one " + Wide(config::ExportOf(step)) +
                  L" takes: 1 to 33 characters, each A-Z, a-z, 0-9, '_' or '@'",
           std::nullopt;
  if (step.action == Action::kAddPort) {
    bool known = false;
    for (const config::PortTypeWord& type : config::kPortTypes)
      if (step.type == type.word) known = true, checked.type_ = type.code;
    if (!known) return *why = L"'" + Wide(step.type) + L"' is no port type (" + Wide(config::PortTypeList()) + L")", std::nullopt;
  }
  if (step.action == Action::kFixParameters) {
    const config::Parameters& p = step.parameters;
    checked.parity_ = config::ParityCode(p.parity);
    checked.flow_ = p.flow.empty() ? 0 : config::FlowCode(p.flow);
    if (checked.parity_ < 0 || checked.flow_ < 0) return *why = L"the parity or flow word is unknown", std::nullopt;
  }
  // Numbers another program stored may lie outside what a caller may send
  // (a share permission of 8); left alone they are no step, changed to such a
  // value they are one that cannot be made.
  if (std::wstring problem = NumberProblemOf(step); !problem.empty()) return *why = std::move(problem), std::nullopt;
  return checked;
}

lumbrex::CallOutcome Send(const CheckedStep& checked) {
  const config::Step& step = checked.step_;
  const std::wstring exportName = Wide(config::ExportOf(step));
  const wchar_t* name = exportName.c_str();
  const auto text = [](const std::optional<SentName>& sent) { return sent ? sent->text() : std::wstring(); };
  const TextArg bundle(text(checked.bundle_)), port(text(checked.port_)), app(text(checked.app_));
  const int side = step.side;
  const LONG value = static_cast<LONG>(step.value);
  switch (step.action) {
    case Action::kOption: return Call(name, [&] { return Options()[step.option].set(step.on ? 1 : 0); });
    case Action::kAddBundle: return Call(name, [&] { return AddBundle(bundle.get()); });
    case Action::kDeleteBundle: return Call(name, [&] { return DeleteBundle(bundle.get()); });
    case Action::kAddPort:
      return Call(name, [&] { return BundleAddPort(bundle.get(), side, port.get(), lumbrex::I4(checked.type_)); });
    case Action::kDeletePort: return Call(name, [&] { return BundleDeletePort(bundle.get(), side, port.get()); });
    case Action::kFixParameters: {
      const config::Parameters& p = step.parameters;
      return Call(name, [&] {
        return BundleSetRealPortParameters(bundle.get(), side, port.get(), static_cast<int>(p.baud), checked.parity_,
                                           static_cast<int>(p.dataBits), static_cast<int>(p.stopBits), checked.flow_);
      });
    }
    case Action::kDynamic:
      return Call(name, [&] { return BundleSetDynamicParametersForRealPort(bundle.get(), side, port.get()); });
    case Action::kPermissions:
      // The export clears its mask VARIANT: it gets a copy (a number, nothing to free).
      return Call(name, [&] { return BundlePortSetPermissions(bundle.get(), side, port.get(), lumbrex::I4(value)); });
    case Action::kMain: return Call(name, [&] { return BundleSetMainPortForSide(bundle.get(), side, port.get()); });
    case Action::kShare:
      return Call(name, [&] {
        return SharedPortSetPermissionsForApp(bundle.get(), side, port.get(), app.get(), lumbrex::I4(value));
      });
    case Action::kShareDefault:
      return Call(name, [&] { return SharedSetDefaultPermissions(bundle.get(), side, port.get(), app.get()); });
  }
  return lumbrex::CallOutcome{};
}

lumbrex::CallOutcome AskBundleState(const SentName& bundle) {
  const TextArg name(bundle.text());
  return Call(L"GetBundleState", [&] { return GetBundleState(name.get()); });
}

lumbrex::CallOutcome AskPortState(const SentName& bundle, int side, const SentName& port) {
  const TextArg b(bundle.text()), p(port.text());
  return Call(L"BundleGetPortState", [&] { return BundleGetPortState(b.get(), side, p.get()); });
}

}  // namespace lumbrexctl
