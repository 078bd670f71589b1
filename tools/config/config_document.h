// A whole configuration as `export` writes it and `plan`/`apply` read it
// (docs/configuration.md): the options, the bundles, their sides' ports with
// everything the service stores for them. Plain C++ (no Win32), so that the
// reader and the planner are tested and fuzzed natively.
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

// The parity and flow letters by code: the library's own table
// (params/parameter_text.h), so that the documents, the command line and the
// output name the same letters. The code of a one-letter word, or -1; the
// command line takes either case (`anyCase`), a document only capitals.
int ParityCode(std::string_view word, bool anyCase = false);  // N 0, O 1, E 2, M 3, S 4
int FlowCode(std::string_view word, bool anyCase = false);    // X 1, P 2
// "N, O, E, M or S" and "X or P": what a place that takes a letter accepts.
const std::string& ParityList();
const std::string& FlowList();

// Fixed communication parameters; the words are the tool's (a parity letter;
// flow "" for none, or a flow letter).
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
  // The side's main port: "" for none; not set when a document leaves "main"
  // out (not managed: documents written before "main": null meant that).
  std::optional<std::string> main;
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
// Names and numbers are taken as the format carries them: any name of at
// least one character, any whole number. Whether a change may send one is
// decided by the road alone (road.h), so that what another program stored
// round-trips, and a document asking to send what cannot be sent is refused
// change by change with the reason.
ReadResult ReadDocument(std::string_view text);

// The document of a model, members in a fixed order, indented two spaces a
// level and ending with a line end: the same model always gives the same text.
std::string WriteDocument(const Model& model);

}  // namespace lumbrexctl::config
