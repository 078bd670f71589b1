// ReadDocument: the document's text to a model, every problem found with
// where it is, before anything is sent to the service.
#include <initializer_list>
#include <unordered_map>

#include "config_json.h"

namespace lumbrexctl::config {
namespace {

std::string Quote(std::string_view text) { return "'" + std::string(text) + "'"; }

class Reader {
 public:
  std::vector<Problem> problems;

  Model Document(const Json& doc) {
    Model model;
    if (!Members(doc, "", {"version", "options", "bundles"})) return model;
    if (!doc.contains("version")) Fail("version", "missing: the format version, " + std::to_string(kFormatVersion));
    else if (!doc["version"].is_number_integer() || doc["version"].get<int64_t>() != kFormatVersion)
      Fail("version", doc["version"].dump() + " is not a format version this lumbrexctl reads (" +
                          std::to_string(kFormatVersion) + ")");
    if (doc.contains("options")) Options(doc["options"], &model);
    if (!doc.contains("bundles")) return model;
    if (!doc["bundles"].is_array()) return Fail("bundles", "expects an array of bundles"), model;
    Index bundles;
    for (size_t i = 0; i < doc["bundles"].size(); ++i) {
      const std::string where = "bundles[" + std::to_string(i) + "]";
      Bundle bundle;
      if (!BundleOf(doc["bundles"][i], where, &bundle)) continue;
      const auto [earlier, first] = bundles.emplace(FoldedName(bundle.name), model.bundles.size());
      if (!first)
        Fail(where + ".name", Quote(bundle.name) + " names the same bundle as " +
                                  Quote(model.bundles[earlier->second].name) +
                                  " (the service compares names without regard to case)");
      model.bundles.push_back(std::move(bundle));
    }
    SharedPortsAgree(model);
    return model;
  }

 private:
  using Index = std::unordered_map<std::u32string, size_t>;
  // Where each port was read, by its place in the model.
  std::unordered_map<const Port*, std::string> places_;

  // The driver keeps one set of share permissions per port name, whatever
  // bundle holds the port: two shared ports of one name that ask for
  // different sets would each undo the other at every apply.
  void SharedPortsAgree(const Model& model) {
    std::unordered_map<std::u32string, const Port*> first;
    for (const Bundle& bundle : model.bundles)
      for (const Side& side : bundle.sides)
        for (const Port& port : side.ports) {
          if (!IsShared(port.type)) continue;
          const auto [earlier, added] = first.emplace(FoldedName(port.name), &port);
          if (added || SameShare(earlier->second->share, port.share)) continue;
          Fail(places_[&port] + ".share", "differs from the share permissions of the shared port " +
                                              Quote(earlier->second->name) + " at " + places_[earlier->second] +
                                              ": the driver keeps one set per port name; give both the same");
        }
  }

  static bool SameShare(const Share& a, const Share& b) {
    if (a.size() != b.size()) return false;
    std::unordered_map<std::u32string, int64_t> values;
    for (const auto& [app, value] : a) values.emplace(FoldedName(app), value);
    for (const auto& [app, value] : b) {
      const auto it = values.find(FoldedName(app));
      if (it == values.end() || it->second != value) return false;
    }
    return true;
  }

  void Fail(const std::string& where, std::string what) { problems.push_back({where, std::move(what)}); }

  static std::string At(const std::string& where, const std::string& member) {
    return where.empty() ? member : where + "." + member;
  }

  bool Members(const Json& value, const std::string& where, std::initializer_list<const char*> known) {
    if (!value.is_object()) return Fail(where, "expects an object"), false;
    for (const auto& item : value.items()) {
      bool found = false;
      for (const char* name : known) found = found || item.key() == name;
      if (!found) Fail(At(where, item.key()), "unknown member");
    }
    return true;
  }

  bool Text(const Json& value, const std::string& where, std::string* into) {
    if (!value.is_string()) return Fail(where, "expects a string"), false;
    *into = value.get<std::string>();
    return true;
  }

  // Any name the registry can hold: whether a change may send it is the
  // road's to decide (road.h), so that a name another program stored
  // round-trips through export and plan.
  bool Name(const Json& value, const std::string& where, std::string* into) {
    if (!Text(value, where, into)) return false;
    if (into->empty()) return Fail(where, "a name is at least one character"), false;
    return true;
  }

  // Any whole number, as for names: the callers' rules are the road's.
  bool NumberOf(const Json& value, const std::string& where, int64_t* into) {
    if (!value.is_number_integer()) return Fail(where, value.dump() + " is not a whole number"), false;
    *into = value.is_number_unsigned() && value.get<uint64_t>() > INT64_MAX ? INT64_MAX : value.get<int64_t>();
    return true;
  }

  void Options(const Json& value, Model* model) {
    if (!value.is_object()) return Fail("options", "expects an object");
    for (const auto& item : value.items()) {
      const std::string where = "options." + item.key();
      int index = -1;
      for (int i = 0; i < kOptionCount; ++i)
        if (item.key() == kOptionWords[i].word) index = i;
      if (index < 0) Fail(where, "unknown option");
      else if (!item.value().is_boolean()) Fail(where, "expects true or false");
      else model->options[index] = item.value().get<bool>();
    }
  }

  bool BundleOf(const Json& value, const std::string& where, Bundle* bundle) {
    if (!Members(value, where, {"name", "in", "out"})) return false;
    if (!value.contains("name")) return Fail(At(where, "name"), "missing"), false;
    const bool named = Name(value["name"], At(where, "name"), &bundle->name);
    const char* const* sides = kSideWords;
    for (int s = 0; s < 2; ++s)
      if (value.contains(sides[s])) SideOf(value[sides[s]], At(where, sides[s]), &bundle->sides[s]);
    return named;
  }

  void SideOf(const Json& value, const std::string& where, Side* side) {
    if (!Members(value, where, {"main", "ports"})) return;
    if (value.contains("ports")) {
      const Json& ports = value["ports"];
      if (!ports.is_array()) Fail(At(where, "ports"), "expects an array of ports");
      Index named;
      if (ports.is_array()) side->ports.reserve(ports.size());  // places_ keeps their addresses
      for (size_t i = 0; ports.is_array() && i < ports.size(); ++i) {
        const std::string at = At(where, "ports[" + std::to_string(i) + "]");
        Port port;
        if (!PortOf(ports[i], at, &port)) continue;
        const auto [earlier, first] = named.emplace(FoldedName(port.name), side->ports.size());
        if (!first)
          Fail(At(at, "name"), Quote(port.name) + " names the same port of this side as " +
                                   Quote(side->ports[earlier->second].name) +
                                   " (the service compares names without regard to case)");
        side->ports.push_back(std::move(port));
        places_[&side->ports.back()] = at;
      }
    }
    // null: the side has no main port; left out: not managed.
    if (!value.contains("main")) return;
    std::string main;
    if (value["main"].is_null()) side->main = main;
    if (value["main"].is_null() || !Name(value["main"], At(where, "main"), &main)) return;
    side->main = main;
    for (const Port& port : side->ports)
      if (SameName(port.name, main)) return;
    Fail(At(where, "main"), Quote(main) + " is not one of this side's ports");
  }

  bool PortOf(const Json& value, const std::string& where, Port* port) {
    if (!Members(value, where, {"name", "type", "parameters", "permissions", "share"})) return false;
    bool good = value.contains("name") ? Name(value["name"], At(where, "name"), &port->name)
                                       : (Fail(At(where, "name"), "missing"), false);
    if (!value.contains("type")) {
      good = false;
      Fail(At(where, "type"), "missing: " + PortTypeList());
    } else if (Text(value["type"], At(where, "type"), &port->type)) {
      if (!IsPortType(port->type)) good = false, Fail(At(where, "type"), Quote(port->type) + " is not " + PortTypeList());
    }
    if (value.contains("parameters")) good = ParametersOf(value["parameters"], At(where, "parameters"), port) && good;
    if (value.contains("permissions"))
      good = NumberOf(value["permissions"], At(where, "permissions"), &port->mask) && good;
    if (value.contains("share")) good = ShareOf(value["share"], At(where, "share"), port) && good;
    return good;
  }

  bool ParametersOf(const Json& value, const std::string& where, Port* port) {
    if (value == "dynamic") return true;
    if (!value.is_object()) return Fail(where, "expects \"dynamic\" or an object of fixed parameters"), false;
    if (!Members(value, where, {"baud", "parity", "dataBits", "stopBits", "flow"})) return false;
    Parameters p;
    bool good = true;
    const auto need = [&](const char* member) {
      if (value.contains(member)) return true;
      Fail(At(where, member), "missing");
      return good = false;
    };
    if (need("baud")) good = NumberOf(value["baud"], At(where, "baud"), &p.baud) && good;
    if (need("dataBits")) good = NumberOf(value["dataBits"], At(where, "dataBits"), &p.dataBits) && good;
    if (need("stopBits")) good = NumberOf(value["stopBits"], At(where, "stopBits"), &p.stopBits) && good;
    if (need("parity") && Text(value["parity"], At(where, "parity"), &p.parity) &&
        ParityCode(p.parity) < 0)
      good = false, Fail(At(where, "parity"), Quote(p.parity) + " is not " + ParityList());
    if (value.contains("flow") && Text(value["flow"], At(where, "flow"), &p.flow)) {
      if (p.flow == "none") p.flow.clear();
      else if (FlowCode(p.flow) < 0) good = false, Fail(At(where, "flow"), Quote(p.flow) + " is not none, " + FlowList());
    }
    port->fixed = p;
    return good;
  }

  bool ShareOf(const Json& value, const std::string& where, Port* port) {
    if (!value.is_object()) return Fail(where, "expects an object of application names and permissions"), false;
    if (!IsShared(port->type)) return Fail(where, "only a shared port has share permissions"), false;
    bool good = true;
    Index named;
    for (const auto& item : value.items()) {
      const std::string at = where + "[\"" + item.key() + "\"]";
      std::string app;
      int64_t permission = 0;
      if (!Name(item.key(), at, &app) ||
          !NumberOf(item.value(), at, &permission)) {
        good = false;
        continue;
      }
      const auto [earlier, first] = named.emplace(FoldedName(app), port->share.size());
      if (!first)
        good = false, Fail(at, Quote(app) + " names the same application as " + Quote(port->share[earlier->second].first) +
                                    " (the driver compares names without regard to case)");
      port->share.emplace_back(app, permission);
    }
    return good;
  }
};

}  // namespace

ReadResult ReadDocument(std::string_view text) {
  ReadResult result;
  Json doc;
  if (!ParseJson(text, &doc, &result.problems)) return result;
  Reader reader;
  Model model = reader.Document(doc);
  result.problems = std::move(reader.problems);
  if (result.problems.empty()) result.model = std::move(model);
  return result;
}

}  // namespace lumbrexctl::config
