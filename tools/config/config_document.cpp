#include "config_document.h"

#include <iterator>

#include <nlohmann/json.hpp>

namespace lumbrexctl::config {

const OptionWords kOptionWords[kOptionCount] = {
    {"auto-open", "ports opened automatically", "OptionSetAutoOpenPort", "OptionGetPortsAutoOpen"},
    {"ignore-errors", "errors ignored on port creation", "OptionSetIgnoreErrors", "OptionGetIgnoreErrorsOnPortCreation"},
    {"print", "the port-to-print option", "OptionSetPortToPrint", "OptionGetPortToPrint"},
    {"main-only", "only the main port may send", "OptionSetOnlyMainPortCanSend", "OptionGetIfSendToMainSet"},
    {"baudrate-emulation", "the virtual ports' baud-rate emulation", "OptionSetBaudrateEmulation",
     "OptionGetBaudrateEmulation"},
};
const char* const kSideWords[2] = {"in", "out"};
const PortTypeWord kPortTypes[4] = {
    {LUMBREX_PORT_REAL, "real"},
    {LUMBREX_PORT_VIRTUAL, "virtual"},
    {LUMBREX_PORT_SHARED, "shared"},
    {LUMBREX_PORT_SWITCHER, "switcher"},
};

const char* PortTypeWordOf(int code) {
  for (const PortTypeWord& type : kPortTypes)
    if (type.code == code) return type.word;
  return nullptr;
}

bool IsPortType(std::string_view word) {
  for (const PortTypeWord& type : kPortTypes)
    if (word == type.word) return true;
  return false;
}

const std::string& PortTypeList() {
  static const std::string list = [] {
    std::string words;
    for (size_t i = 0; i < std::size(kPortTypes); ++i)
      words += (i == 0 ? "" : i + 1 == std::size(kPortTypes) ? " or " : ", ") + std::string(kPortTypes[i].word);
    return words;
  }();
  return list;
}

DocumentRules NameRules() {
  const auto text = [](bool application) {
    return [application](std::string_view name) {
      const char* problem = ::lumbrex::NameTextProblem(name, application);
      return problem ? std::string(problem) : std::string();
    };
  };
  DocumentRules rules;
  rules.name = text(false);
  rules.app = text(true);
  return rules;
}

namespace {

using Json = nlohmann::ordered_json;

Json ParametersJson(const std::optional<Parameters>& fixed) {
  if (!fixed) return "dynamic";
  Json out{{"baud", fixed->baud}, {"parity", fixed->parity}, {"dataBits", fixed->dataBits},
           {"stopBits", fixed->stopBits}};
  out["flow"] = fixed->flow.empty() ? "none" : fixed->flow;
  return out;
}

Json SideJson(const Side& side) {
  Json out = Json::object();
  if (!side.main.empty()) out["main"] = side.main;
  Json ports = Json::array();
  for (const Port& port : side.ports) {
    Json p{{"name", port.name}, {"type", port.type}};
    p["parameters"] = ParametersJson(port.fixed);
    p["permissions"] = port.mask;
    if (IsShared(port.type)) {
      Json share = Json::object();
      for (const auto& [app, value] : port.share) share[app] = value;
      p["share"] = share;
    }
    ports.push_back(std::move(p));
  }
  out["ports"] = std::move(ports);
  return out;
}

}  // namespace

std::string WriteDocument(const Model& model) {
  Json doc{{"version", kFormatVersion}};
  Json options = Json::object();
  for (int i = 0; i < kOptionCount; ++i)
    if (model.options[i]) options[kOptionWords[i].word] = *model.options[i];
  doc["options"] = std::move(options);
  Json bundles = Json::array();
  for (const Bundle& bundle : model.bundles)
    bundles.push_back(Json{{"name", bundle.name}, {"in", SideJson(bundle.sides[0])}, {"out", SideJson(bundle.sides[1])}});
  doc["bundles"] = std::move(bundles);
  // Names come from the registry; one that is no valid UTF-8 is written with
  // U+FFFD rather than failing the whole export.
  return doc.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace lumbrexctl::config
