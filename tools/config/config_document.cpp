#include "config_document.h"

#include <iterator>

#include <nlohmann/json.hpp>

#include "params/parameter_text.h"

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

namespace {

// "a, b or c" of `count` words.
template <typename WordOf>
std::string ListOf(size_t count, WordOf word) {
  std::string words;
  for (size_t i = 0; i < count; ++i) words += (i == 0 ? "" : i + 1 == count ? " or " : ", ") + word(i);
  return words;
}

template <size_t N>
int LetterCode(std::string_view word, const lumbrex::Char16 (&letters)[N], int first, bool anyCase) {
  if (word.size() != 1) return -1;
  const lumbrex::Char16 letter = static_cast<unsigned char>(word[0]);
  for (size_t code = first; code < N; ++code)
    if ((anyCase ? lumbrex::AsciiUpper(letter) : letter) == letters[code]) return static_cast<int>(code);
  return -1;
}

template <size_t N>
std::string LetterList(const lumbrex::Char16 (&letters)[N], int first) {
  return ListOf(N - first, [&](size_t i) { return std::string(1, static_cast<char>(letters[first + i])); });
}

}  // namespace

const std::string& PortTypeList() {
  static const std::string list = ListOf(std::size(kPortTypes), [](size_t i) { return std::string(kPortTypes[i].word); });
  return list;
}

int ParityCode(std::string_view word, bool anyCase) {
  return LetterCode(word, lumbrex::kParityLetters, LUMBREX_PARITY_NONE, anyCase);
}

int FlowCode(std::string_view word, bool anyCase) {
  return LetterCode(word, lumbrex::kFlowLetters, LUMBREX_FLOW_XONXOFF, anyCase);
}

const std::string& ParityList() {
  static const std::string list = LetterList(lumbrex::kParityLetters, LUMBREX_PARITY_NONE);
  return list;
}

const std::string& FlowList() {
  static const std::string list = LetterList(lumbrex::kFlowLetters, LUMBREX_FLOW_XONXOFF);
  return list;
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
  if (side.main) out["main"] = side.main->empty() ? Json(nullptr) : Json(*side.main);
  Json ports = Json::array();
  for (const Port& port : side.ports) {
    Json p{{"name", port.name}, {"type", port.type}};
    p["parameters"] = ParametersJson(port.fixed);
    p["permissions"] = port.mask;
    if (IsShared(port.type)) {
      Json share = Json::object();
      // An application stored with the driver's default is one nobody named,
      // as plan sees it: left out, so that two machines plan calls the same
      // export alike.
      for (const auto& [app, value] : port.share)
        if (value != kDefaultShare) share[app] = value;
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
