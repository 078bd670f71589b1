#include "road.h"

#include "api/variant_values.h"
#include "callers/safe_name.h"
#include "console.h"
#include "params/parameter_text.h"
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

// The code of `letter` among `letters` from `first`, or -1.
template <size_t N>
int LetterCode(const std::string& word, const lumbrex::Char16 (&letters)[N], int first) {
  if (word.size() != 1) return -1;
  for (size_t code = first; code < N; ++code)
    if (letters[code] == static_cast<unsigned char>(word[0])) return static_cast<int>(code);
  return -1;
}

bool Needs(Action action, NameKind kind) {
  switch (kind) {
    case NameKind::kBundle: return action != Action::kOption;
    case NameKind::kPort: return action != Action::kOption && action != Action::kAddBundle && action != Action::kDeleteBundle;
    case NameKind::kApplication: return action == Action::kShare || action == Action::kShareDefault;
  }
  return false;
}

}  // namespace

std::optional<SentName> CheckName(std::wstring_view name, NameKind kind, std::wstring* why) {
  if (name.empty()) return *why = std::wstring(KindWord(kind)) + L" is empty", std::nullopt;
  const std::wstring problem = kind == NameKind::kApplication ? lumbrex::AppNameProblem(name) : lumbrex::NameProblem(name);
  if (!problem.empty()) return *why = std::wstring(KindWord(kind)) + L" '" + std::wstring(name) + L"' " + problem, std::nullopt;
  return SentName(std::wstring(name));
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
  if (step.action == Action::kAddPort) {
    bool known = false;
    for (const config::PortTypeWord& type : config::kPortTypes)
      if (step.type == type.word) known = true, checked.type_ = type.code;
    if (!known) return *why = L"'" + Wide(step.type) + L"' is no port type (" + Wide(config::PortTypeList()) + L")", std::nullopt;
  }
  if (step.action == Action::kFixParameters) {
    const config::Parameters& p = step.parameters;
    checked.parity_ = LetterCode(p.parity, lumbrex::kParityLetters, LUMBREX_PARITY_NONE);
    checked.flow_ = p.flow.empty() ? 0 : LetterCode(p.flow, lumbrex::kFlowLetters, LUMBREX_FLOW_XONXOFF);
    if (checked.parity_ < 0 || checked.flow_ < 0) return *why = L"the parity or flow word is unknown", std::nullopt;
  }
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
