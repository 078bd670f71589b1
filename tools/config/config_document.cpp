#include "config_document.h"

#include <iterator>

#include <nlohmann/json.hpp>

namespace lumbrexctl::config {

const char* const kOptionNames[kOptionCount] = {"auto-open", "ignore-errors", "print", "main-only",
                                                "baudrate-emulation"};
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

namespace {

using Json = nlohmann::ordered_json;

char32_t FoldLetter(char32_t c) {
  if ((c >= U'A' && c <= U'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 0x20;
  if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 0x20;  // Greek capitals
  if (c >= 0x410 && c <= 0x42F) return c + 0x20;                 // Cyrillic capitals
  if (c >= 0x400 && c <= 0x40F) return c + 0x50;
  // Latin Extended-A pairs capital then small, shifted by one between 0x139
  // and 0x148 and from 0x179; U+0130 and U+0131 stay apart as in the registry.
  if (c >= 0x100 && c <= 0x137 && c != 0x130 && c != 0x131 && c % 2 == 0) return c + 1;
  if (((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) && c % 2 == 1) return c + 1;
  if (c >= 0x14A && c <= 0x177 && c % 2 == 0) return c + 1;
  if (c == 0x178) return 0xFF;
  return c;
}

// The code point at text[*at], moving *at past it. A byte that starts no
// sequence stands for itself, so two different texts never fold alike by
// being malformed alike.
char32_t NextCodePoint(std::string_view text, size_t* at) {
  const size_t i = *at;
  const unsigned char lead = static_cast<unsigned char>(text[i]);
  const size_t length = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 0;
  bool whole = length > 0 && i + length <= text.size();
  char32_t c = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
  for (size_t k = 1; whole && k < length; ++k) {
    const unsigned char next = static_cast<unsigned char>(text[i + k]);
    whole = (next >> 6) == 2;
    c = (c << 6) | (next & 0x3F);
  }
  if (!whole) {
    *at = i + 1;
    return 0x110000 + lead;  // outside Unicode: cannot meet a real letter
  }
  *at = i + length;
  return c;
}

}  // namespace

std::u32string FoldedName(std::string_view utf8) {
  std::u32string folded;
  for (size_t at = 0; at < utf8.size();) folded.push_back(FoldLetter(NextCodePoint(utf8, &at)));
  return folded;
}

// Letter by letter, building neither folded name: the planner compares the
// names of a side's ports with one another, a thousand ports a million times.
bool SameName(std::string_view a, std::string_view b) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size())
    if (FoldLetter(NextCodePoint(a, &i)) != FoldLetter(NextCodePoint(b, &j))) return false;
  return i == a.size() && j == b.size();
}

namespace {

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
    if (model.options[i]) options[kOptionNames[i]] = *model.options[i];
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
