// lumbrexctl's configuration documents: what the reader refuses, and where it
// says the problem is; that a written document reads back as the same model.
#include <gtest/gtest.h>

#include "fuzz/config_rules.h"

namespace {

using namespace lumbrexctl::config;

std::string Problems(const std::string& text) {
  const ReadResult read = ReadDocument(text, PlainRules());
  std::string all;
  for (const Problem& problem : read.problems) all += problem.Text() + "\n";
  EXPECT_EQ(read.model.has_value(), read.problems.empty());
  return all;
}

// A document with one bundle and one port, `port` the port's members after its name.
std::string OnePort(const std::string& port, const std::string& side = "") {
  return R"({"version": 1, "bundles": [{"name": "A"}, {"name": "B", "in": {)" + side +
         R"("ports": [{"name": "COM1", )" + port + "}]}}]}";
}

TEST(ConfigDocument, RefusesWithTheLocationAndTheRule) {
  const struct {
    std::string text;
    const char* says;
  } cases[] = {
      {"{\"version\": 1,\n  \"bundles\": [}", "line 2, column 15: not JSON: "},
      {"", "line 1, column 1: not JSON"},
      {R"({"version": 2})", "version: 2 is not a format version this lumbrexctl reads (1)"},
      {R"({"bundles": []})", "version: missing"},
      {R"({"version": 1, "colour": "red"})", "colour: unknown member"},
      {R"([1])", "expects an object"},
      {OnePort(R"("type": "real", "parameters": {"baud": 9600, "parity": "N", "dataBits": 9, "stopBits": 0})"),
       "bundles[1].in.ports[0].parameters.dataBits: 9 is not 5 to 8"},
      {OnePort(R"("type": "real", "parameters": {"baud": 0, "parity": "N", "dataBits": 8, "stopBits": 0})"),
       "bundles[1].in.ports[0].parameters.baud: 0 is not 1 to 2147483647"},
      {OnePort(R"("type": "real", "parameters": {"baud": 9600, "parity": "Q", "dataBits": 8, "stopBits": 0})"),
       "parameters.parity: 'Q' is not N, O, E, M or S"},
      {OnePort(R"("type": "real", "parameters": {"baud": 9600, "parity": "N", "dataBits": 8})"),
       "parameters.stopBits: missing"},
      {OnePort(R"("type": "real", "parameters": {"baud": 9600, "parity": "N", "dataBits": 8, "stopBits": 0, "flow": "Z"})"),
       "parameters.flow: 'Z' is not none, X or P"},
      {OnePort(R"("type": "real", "parameters": "static")"), "expects \"dynamic\" or an object"},
      {OnePort(R"("type": "real", "permissions": 4)"), "bundles[1].in.ports[0].permissions: 4 is not 0 to 3"},
      {OnePort(R"("type": "real", "permissions": 1.5)"), "permissions: 1.5 is not a whole number"},
      {OnePort(R"("type": "serial")"), "bundles[1].in.ports[0].type: 'serial' is not real, virtual, shared or switcher"},
      {OnePort(R"("permissions": 3)"), "bundles[1].in.ports[0].type: missing"},
      {OnePort(R"("type": "real", "share": {"a.exe": 3})"), "share: only a shared port has share permissions"},
      {OnePort(R"("type": "shared", "share": {"a.exe": 8})"), "share[\"a.exe\"]: 8 is not 0 or a value"},
      {OnePort(R"("type": "shared", "share": {"a.exe": 1, "A.EXE": 2})"),
       "share[\"A.EXE\"]: 'A.EXE' names the same application as 'a.exe'"},
      {OnePort(R"("type": "real", "speed": 1)"), "bundles[1].in.ports[0].speed: unknown member"},
      {OnePort(R"("type": "real")", R"("main": "COM2", )"), "bundles[1].in.main: 'COM2' is not one of this side's ports"},
      {R"({"version": 1, "bundles": [{"name": "Demo"}, {"name": "DEMO"}]})",
       "bundles[1].name: 'DEMO' names the same bundle as 'Demo' (the service compares names without regard to case)"},
      {R"({"version": 1, "bundles": [{"name": "\u00c9t\u00e9"}, {"name": "\u00e9T\u00c9"}]})", "names the same bundle"},
      {R"({"version": 1, "bundles": [{"name": "B", "out": {"ports": [{"name": "com1", "type": "real"},
          {"name": "COM1", "type": "virtual"}]}}]})",
       "bundles[0].out.ports[1].name: 'COM1' names the same port of this side as 'com1'"},
      {R"({"version": 1, "bundles": [{"name": "a!DEL_BUNDLE B"}]})", "bundles[0].name: 'a!DEL_BUNDLE B' holds '!'"},
      {R"({"version": 1, "bundles": [{"name": "x,y"}]})", "holds ','"},
      {R"({"version": 1, "bundles": [{"name": "x\ny"}]})", "holds a control character"},
      {R"({"version": 1, "bundles": [{"name": ""}]})", "bundles[0].name: a name is at least one character"},
      // A member named twice: which one a JSON reader keeps is a guess.
      {R"({"version": 1, "bundles": [{"name": "A"}, {"name": "B", "name": "C"}]})", "bundles[1].name: named twice"},
      {R"({"version": 1, "options": {}, "bundles": [], "options": {}})", "options: named twice"},
      {OnePort(R"("type": "shared", "share": {"a.exe": 1, "a.exe": 2})"), "ports[0].share[\"a.exe\"]: named twice"},
      {R"({"version": 1, "options": {"auto-open": 1, "turbo": true}})",
       "options.auto-open: expects true or false\noptions.turbo: unknown option"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_NE(Problems(c.text).find(c.says), std::string::npos) << Problems(c.text);
  }
}

TEST(ConfigDocument, WrittenDocumentsReadBackAlike) {
  const std::string text = R"({"version": 1,
    "options": {"auto-open": true, "print": false},
    "bundles": [{"name": "Demo",
      "in": {"main": "com1", "ports": [
        {"name": "COM1", "type": "real", "parameters": {"baud": 115200, "parity": "E", "dataBits": 7, "stopBits": 0, "flow": "X"}},
        {"name": "COM20", "type": "virtual", "parameters": "dynamic", "permissions": 2}]},
      "out": {"ports": [{"name": "COM30", "type": "shared", "share": {"terminal.exe": 7, "My, App!.exe": 0}},
                        {"name": "COM40", "type": "switcher", "permissions": 0}]}}]})";
  const ReadResult first = ReadDocument(text, PlainRules());
  ASSERT_TRUE(first.model) << first.problems.front().Text();
  const std::string written = WriteDocument(*first.model);
  const ReadResult second = ReadDocument(written, PlainRules());
  ASSERT_TRUE(second.model) << second.problems.front().Text();
  EXPECT_EQ(WriteDocument(*second.model), written);
  // What was left out takes what the service gives a new port.
  const Port& added = second.model->bundles[0].sides[1].ports[0];
  EXPECT_EQ(added.mask, kNewPortMask);
  EXPECT_FALSE(added.fixed);
  EXPECT_EQ(second.model->bundles[0].sides[0].ports[0].fixed->flow, "X");
  EXPECT_FALSE(second.model->options[1]);  // not named: not managed
}

}  // namespace
