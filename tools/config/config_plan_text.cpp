// The plan in words: one line a step naming the export it calls, the summary,
// and the fingerprint a saved plan carries.
#include <cstdio>

#include "config_plan.h"
#include "lumbrex_codes.h"

namespace lumbrexctl::config {
namespace {

std::string ParameterText(const Parameters& p) {
  std::string text = std::to_string(p.baud) + "," + p.parity + "," + std::to_string(p.dataBits) + "," +
                     std::to_string(p.stopBits);
  return p.flow.empty() ? text : text + "," + p.flow;
}

std::string What(const Step& step) {
  const std::string port =
      "port " + step.bundle + " " + (step.side == LUMBREX_SIDE_IN ? "in " : "out ") + step.port;
  switch (step.action) {
    case Action::kOption: return std::string("option ") + kOptionWords[step.option].word + (step.on ? " on" : " off");
    case Action::kAddBundle:
    case Action::kDeleteBundle: return "bundle " + step.bundle;
    case Action::kAddPort: return port + " " + step.type;
    case Action::kDeletePort: return port;
    case Action::kFixParameters: return port + " parameters " + ParameterText(step.parameters);
    case Action::kDynamic: return port + " parameters dynamic";
    case Action::kPermissions: return port + " permissions " + std::to_string(step.value);
    case Action::kMain: return port + " main";
    case Action::kShare: return port + " share " + step.app + "=" + std::to_string(step.value);
    case Action::kShareDefault: return port + " share " + step.app + " (back to 3, as for any application)";
  }
  return port;
}

}  // namespace

const char* ExportOf(const Step& step) {
  switch (step.action) {
    case Action::kOption: return kOptionWords[step.option].setter;
    case Action::kAddBundle: return "AddBundle";
    case Action::kDeleteBundle: return "DeleteBundle";
    case Action::kAddPort: return "BundleAddPort";
    case Action::kDeletePort: return "BundleDeletePort";
    case Action::kFixParameters: return "BundleSetRealPortParameters";
    case Action::kDynamic: return "BundleSetDynamicParametersForRealPort";
    case Action::kPermissions: return "BundlePortSetPermissions";
    case Action::kMain: return "BundleSetMainPortForSide";
    case Action::kShare: return "SharedPortSetPermissionsForApp";
    case Action::kShareDefault: return "SharedSetDefaultPermissions";
  }
  return "";
}

std::string StepText(const Step& step) {
  const char* verb = step.replace ? "replace" : step.kind == Kind::kAdd ? "add" : step.kind == Kind::kRemove ? "remove" : "change";
  std::string text = std::string(verb) + " " + What(step);
  if (step.replace) text += step.action == Action::kDeletePort ? " (remove, its type changes)" : " (add as the new type)";
  return text + " (" + ExportOf(step) + ")";
}

std::string Summary(const Plan& plan) {
  return std::to_string(plan.Count(Kind::kAdd)) + " to add, " + std::to_string(plan.Count(Kind::kChange)) +
         " to change, " + std::to_string(plan.Count(Kind::kRemove)) + " to remove";
}

std::string Fingerprint(const Model& model) {
  // FNV-1a over the document text: a change of anything a document holds
  // changes it (the text is made the same way for the same configuration).
  uint64_t hash = 14695981039346656037ull;
  for (const unsigned char c : WriteDocument(model)) hash = (hash ^ c) * 1099511628211ull;
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
  return text;
}

}  // namespace lumbrexctl::config
