// ReadDocument: the document's text to a model, every problem found with
// where it is, before anything is sent to the service.
#include <initializer_list>
#include <set>

#include <nlohmann/json.hpp>

#include "config_document.h"

namespace lumbrexctl::config {
namespace {

using Json = nlohmann::ordered_json;

std::string LineAndColumn(std::string_view text, size_t byte) {
  size_t line = 1, column = 1;
  for (size_t i = 0; i + 1 < byte && i < text.size(); ++i) {
    if (text[i] == '\n') {
      ++line;
      column = 1;
    } else if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
      ++column;
    }
  }
  return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

std::string Quote(std::string_view text) { return "'" + std::string(text) + "'"; }

// The members named twice in one object. JSON readers differ in which of the
// two values they keep (the parser here keeps the last), so the author may
// well mean the other one: such a document is refused, each repeat said with
// its place as the reader says places.
class RepeatedMembers : public nlohmann::json_sax<Json> {
 public:
  std::vector<Problem> problems;

  bool null() override { return Value(); }
  bool boolean(bool) override { return Value(); }
  bool number_integer(number_integer_t) override { return Value(); }
  bool number_unsigned(number_unsigned_t) override { return Value(); }
  bool number_float(number_float_t, const string_t&) override { return Value(); }
  bool string(string_t&) override { return Value(); }
  bool binary(binary_t&) override { return Value(); }
  bool start_object(std::size_t) override { return Open(false); }
  bool start_array(std::size_t) override { return Open(true); }
  bool end_object() override { return Close(); }
  bool end_array() override { return Close(); }
  bool key(string_t& name) override {
    Level& object = levels_.back();
    // A share object's members are application names: written as the reader writes them.
    const bool apps = object.path.size() >= 5 && object.path.compare(object.path.size() - 5, 5, "share") == 0;
    object.member = apps ? object.path + "[\"" + name + "\"]" : object.path.empty() ? name : object.path + "." + name;
    if (!object.names.insert(name).second)
      problems.push_back({object.member, "named twice in the same object; name each member once"});
    return true;
  }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override { return false; }

 private:
  struct Level {
    bool array = false;
    size_t next = 0;  // an array's next element
    std::string path, member;
    std::set<std::string> names;
  };
  std::vector<Level> levels_;

  // The place of the value that starts now.
  std::string Place() {
    if (levels_.empty()) return "";
    Level& up = levels_.back();
    return up.array ? up.path + "[" + std::to_string(up.next++) + "]" : up.member;
  }
  bool Value() { return Place(), true; }
  bool Open(bool array) {
    Level level;
    level.array = array;
    level.path = Place();
    levels_.push_back(std::move(level));
    return true;
  }
  bool Close() {
    levels_.pop_back();
    return true;
  }
};

class Reader {
 public:
  explicit Reader(const DocumentRules& rules) : rules_(rules) {}
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
    for (size_t i = 0; i < doc["bundles"].size(); ++i) {
      const std::string where = "bundles[" + std::to_string(i) + "]";
      Bundle bundle;
      if (!BundleOf(doc["bundles"][i], where, &bundle)) continue;
      for (const Bundle& earlier : model.bundles)
        if (SameName(earlier.name, bundle.name))
          Fail(where + ".name", Quote(bundle.name) + " names the same bundle as " + Quote(earlier.name) +
                                    " (the service compares names without regard to case)");
      model.bundles.push_back(std::move(bundle));
    }
    return model;
  }

 private:
  const DocumentRules& rules_;

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

  bool Name(const Json& value, const std::string& where, std::string* into, bool application = false) {
    if (!Text(value, where, into)) return false;
    if (into->empty()) return Fail(where, "a name is at least one character"), false;
    const std::string problem = (application ? rules_.app : rules_.name)(*into);
    if (!problem.empty()) return Fail(where, Quote(*into) + " " + problem), false;
    return true;
  }

  bool NumberOf(const Json& value, const std::string& where, Number rule, int64_t* into) {
    if (!value.is_number_integer()) return Fail(where, value.dump() + " is not a whole number"), false;
    *into = value.is_number_unsigned() && value.get<uint64_t>() > INT64_MAX ? INT64_MAX : value.get<int64_t>();
    const std::string accepted = rules_.number(rule, *into);
    if (!accepted.empty()) return Fail(where, value.dump() + " is not " + accepted), false;
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
      for (size_t i = 0; ports.is_array() && i < ports.size(); ++i) {
        const std::string at = At(where, "ports[" + std::to_string(i) + "]");
        Port port;
        if (!PortOf(ports[i], at, &port)) continue;
        for (const Port& earlier : side->ports)
          if (SameName(earlier.name, port.name))
            Fail(At(at, "name"), Quote(port.name) + " names the same port of this side as " + Quote(earlier.name) +
                                     " (the service compares names without regard to case)");
        side->ports.push_back(std::move(port));
      }
    }
    if (!value.contains("main") || !Name(value["main"], At(where, "main"), &side->main)) return;
    for (const Port& port : side->ports)
      if (SameName(port.name, side->main)) return;
    Fail(At(where, "main"), Quote(side->main) + " is not one of this side's ports");
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
      good = NumberOf(value["permissions"], At(where, "permissions"), Number::kPortMask, &port->mask) && good;
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
    if (need("baud")) good = NumberOf(value["baud"], At(where, "baud"), Number::kBaudrate, &p.baud) && good;
    if (need("dataBits")) good = NumberOf(value["dataBits"], At(where, "dataBits"), Number::kDataBits, &p.dataBits) && good;
    if (need("stopBits")) good = NumberOf(value["stopBits"], At(where, "stopBits"), Number::kStopBits, &p.stopBits) && good;
    if (need("parity") && Text(value["parity"], At(where, "parity"), &p.parity) &&
        (p.parity.size() != 1 || std::string("NOEMS").find(p.parity[0]) == std::string::npos))
      good = false, Fail(At(where, "parity"), Quote(p.parity) + " is not N, O, E, M or S");
    if (value.contains("flow") && Text(value["flow"], At(where, "flow"), &p.flow)) {
      if (p.flow == "none") p.flow.clear();
      else if (p.flow != "X" && p.flow != "P") good = false, Fail(At(where, "flow"), Quote(p.flow) + " is not none, X or P");
    }
    port->fixed = p;
    return good;
  }

  bool ShareOf(const Json& value, const std::string& where, Port* port) {
    if (!value.is_object()) return Fail(where, "expects an object of application names and permissions"), false;
    if (!IsShared(port->type)) return Fail(where, "only a shared port has share permissions"), false;
    bool good = true;
    for (const auto& item : value.items()) {
      const std::string at = where + "[\"" + item.key() + "\"]";
      std::string app;
      int64_t permission = 0;
      if (!Name(item.key(), at, &app, true) ||
          !NumberOf(item.value(), at, Number::kSharePermission, &permission)) {
        good = false;
        continue;
      }
      for (const auto& earlier : port->share)
        if (SameName(earlier.first, app))
          good = false, Fail(at, Quote(app) + " names the same application as " + Quote(earlier.first) +
                                      " (the driver compares names without regard to case)");
      port->share.emplace_back(app, permission);
    }
    return good;
  }
};

}  // namespace

ReadResult ReadDocument(std::string_view text, const DocumentRules& rules) {
  ReadResult result;
  Json doc;
  try {
    doc = Json::parse(text.begin(), text.end());
  } catch (const Json::parse_error& error) {
    // The parser's own text names the byte; people want the line and column.
    std::string what = error.what();
    const size_t colon = what.rfind(": ");
    result.problems.push_back({LineAndColumn(text, error.byte),
                               "not JSON: " + (colon == std::string::npos ? what : what.substr(colon + 2))});
    return result;
  } catch (const Json::exception& error) {
    // A number beyond what the reader holds: no position comes with it.
    result.problems.push_back({"", std::string("not JSON: ") + error.what()});
    return result;
  }
  RepeatedMembers repeated;
  Json::sax_parse(text.begin(), text.end(), &repeated);
  if (!repeated.problems.empty()) {
    result.problems = std::move(repeated.problems);
    return result;
  }
  Reader reader(rules);
  Model model = reader.Document(doc);
  result.problems = std::move(reader.problems);
  if (result.problems.empty()) result.model = std::move(model);
  return result;
}

}  // namespace lumbrexctl::config
