// A whole configuration as `export` writes it and `plan`/`apply` read it
// (docs/configuration.md): the options, the bundles, their sides' ports with
// everything the service stores for them. Plain C++ (no Win32), so that the
// reader and the planner are tested and fuzzed natively; the checks that need
// the calling thread's code page or the library's number rules come in through
// DocumentRules.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "callers/number_rules.h"
#include "common/name_rules.h"
#include "lumbrex_codes.h"

namespace lumbrexctl::config {

constexpr int kFormatVersion = 1;
constexpr int kOptionCount = LUMBREX_OPTION_COUNT;
// The five global options in the order of LumbrexOption, which `show` lists
// them in: the tool's word for each (documents, command line, output), what
// it does, and the exports that set and read it. The one table of them all.
struct OptionWords {
  const char* word;
  const char* what;
  const char* setter;
  const char* getter;
};
extern const OptionWords kOptionWords[kOptionCount];
// The sides by the tool's words, by side code (in, out).
extern const char* const kSideWords[2];

// The tool's word for each port type code of BundleAddPort and
// BundleGetPortType: the one table of the documents, the command line and the
// output alike.
struct PortTypeWord {
  int code;
  const char* word;
};
extern const PortTypeWord kPortTypes[4];  // real, virtual, shared, switcher
const char* PortTypeWordOf(int code);    // null for a code of no port type
bool IsPortType(std::string_view word);  // one of the words, spelled exactly
// "real, virtual, shared or switcher": what a place that takes a type accepts.
const std::string& PortTypeList();
inline bool IsShared(std::string_view type) { return type == PortTypeWordOf(LUMBREX_PORT_SHARED); }

// Fixed communication parameters; the words are the tool's (parity N, O, E,
// M, S; flow "" for none, X or P).
struct Parameters {
  int64_t baud = 0;
  std::string parity = "N";
  int64_t dataBits = 8, stopBits = 0;
  std::string flow;
  bool operator==(const Parameters& o) const {
    return baud == o.baud && parity == o.parity && dataBits == o.dataBits && stopBits == o.stopBits && flow == o.flow;
  }
  bool operator!=(const Parameters& o) const { return !(*this == o); }
};

// What a port added by the service starts with: dynamic parameters, mask 3, and
// the share permission the driver gives an application nobody named.
constexpr int64_t kNewPortMask = 3;
constexpr int64_t kDefaultShare = 3;

struct Port {
  std::string name;  // UTF-8
  std::string type;  // one of the words of kPortTypes
  std::optional<Parameters> fixed;  // none: dynamic
  int64_t mask = kNewPortMask;
  std::vector<std::pair<std::string, int64_t>> share;  // application, permission; shared ports only
};

struct Side {
  std::string main;  // "" : none named
  std::vector<Port> ports;
};

struct Bundle {
  std::string name;
  Side sides[2];  // in, out
};

// Share permissions belong to the port's name alone, whatever bundle holds it:
// the driver keeps them when the port or its bundle is deleted, and a port
// added under that name finds them again.
using Share = std::vector<std::pair<std::string, int64_t>>;

struct Model {
  std::optional<bool> options[kOptionCount];  // none: not stored (export) or not managed (a file)
  std::vector<Bundle> bundles;
  // Stored permissions of shared ports that no bundle holds now (never in a
  // document): what a port added under that name starts with.
  std::vector<std::pair<std::string, Share>> leftoverShare;
};

// Names compare as the service compares them (common/name_rules.h).
using ::lumbrex::FoldedName;
using ::lumbrex::SameName;

// The number rules of the library's callers (callers/number_rules.h).
using Number = ::lumbrex::NumberArgument;

struct DocumentRules {
  // Why a bundle or port name (`name`), or an application name (`app`),
  // cannot go to the service as it is; "" when it can.
  std::function<std::string(std::string_view)> name, app;
  // The accepted values in words ("5 to 8") when `value` is refused, else "".
  std::function<std::string(Number, int64_t)> number;
};

// The name rules with what no code page can carry (common/name_rules.h): what
// this thread's code page cannot carry is the road's to find, change by
// change (road.h), since a document travels between machines and a name it
// names but leaves alone is never sent. `number` is left to the caller.
DocumentRules NameRules();

// One thing wrong in a document: where ("bundles[1].in.ports[0].parameters.dataBits",
// or "line 3, column 7" for text that is no JSON) and what.
struct Problem {
  std::string where, what;
  std::string Text() const { return where.empty() ? what : where + ": " + what; }
};

// The document's model, or the problems that keep it from being one (every
// one found, in document order; none when the model is set).
struct ReadResult {
  std::optional<Model> model;
  std::vector<Problem> problems;
};
ReadResult ReadDocument(std::string_view text, const DocumentRules& rules);

// The document of a model, members in a fixed order, indented two spaces a
// level and ending with a line end: the same model always gives the same text.
std::string WriteDocument(const Model& model);

}  // namespace lumbrexctl::config
