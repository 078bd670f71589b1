// lumbrexctl's planner: the calls that make the configuration equal to a
// document, in order, and nothing when it is equal already.
#include <gtest/gtest.h>

#include "config_plan.h"

namespace {

using namespace lumbrexctl::config;

Model Read(const std::string& text) {
  const ReadResult read = ReadDocument(text);
  EXPECT_TRUE(read.model) << (read.problems.empty() ? "" : read.problems.front().Text());
  return read.model.value_or(Model{});
}

std::string Lines(const Plan& plan) {
  std::string lines;
  for (const Step& step : plan.steps) lines += StepText(step) + "\n";
  for (const std::string& left : plan.leftAlone) lines += "left: " + left + "\n";
  return lines;
}

const char* const kCurrent = R"({"version": 1, "options": {"auto-open": true, "print": false},
  "bundles": [
    {"name": "Demo", "in": {"main": "COM1", "ports": [
        {"name": "COM1", "type": "real", "parameters": {"baud": 9600, "parity": "N", "dataBits": 8, "stopBits": 0}},
        {"name": "COM2", "type": "virtual"}]},
      "out": {"ports": [{"name": "COM30", "type": "shared", "share": {"term.exe": 7, "log.exe": 3}}]}},
    {"name": "Old"}]})";

TEST(ConfigPlan, StepsInApplyOrder) {
  const struct {
    const char* target;
    bool prune;
    const char* steps;
  } cases[] = {
      {kCurrent, false, ""},
      {kCurrent, true, ""},
      {R"({"version": 1, "bundles": [{"name": "Old"}]})", false,
       "left: bundle Demo\n"},
      {R"({"version": 1, "bundles": [{"name": "OLD"}]})", true, "remove bundle Demo (DeleteBundle)\n"},
      // Names and main ports compare without regard to case, and keep the stored spelling.
      {R"({"version": 1, "bundles": [{"name": "demo", "in": {"main": "com2", "ports": [
           {"name": "com2", "type": "virtual", "permissions": 1}]}}]})", false,
       "change port Demo in COM2 permissions 1 (BundlePortSetPermissions)\n"
       "change port Demo in COM2 main (BundleSetMainPortForSide)\n"
       "left: port Demo in COM1\nleft: port Demo out COM30\nleft: bundle Old\n"},
      // An application named with the driver's default is as one nobody named.
      {R"({"version": 1, "bundles": [{"name": "Demo", "out": {"ports": [{"name": "COM30", "type": "shared",
           "share": {"new.exe": 0, "other.exe": 3, "log.exe": 3}}]}}]})", false,
       "add port Demo out COM30 share new.exe=0 (SharedPortSetPermissionsForApp)\n"
       "left: port Demo in COM1\nleft: port Demo in COM2\nleft: share permission Demo out COM30 term.exe\n"
       "left: bundle Old\n"},
      {R"({"version": 1, "options": {"print": true, "main-only": false}, "bundles": [{"name": "New",
           "out": {"main": "P1", "ports": [{"name": "P1", "type": "shared", "parameters":
             {"baud": 19200, "parity": "E", "dataBits": 7, "stopBits": 1, "flow": "P"}, "permissions": 2,
             "share": {"a.exe": 1}}]}}]})", false,
       // The service stores the five options at once: main-only, not stored, goes off with print.
       "change option print on (OptionSetPortToPrint)\n"
       "add bundle New (AddBundle)\nadd port New out P1 shared (BundleAddPort)\n"
       "add port New out P1 parameters 19200,E,7,1,P (BundleSetRealPortParameters)\n"
       "add port New out P1 permissions 2 (BundlePortSetPermissions)\n"
       "add port New out P1 share a.exe=1 (SharedPortSetPermissionsForApp)\n"
       "add port New out P1 main (BundleSetMainPortForSide)\nleft: bundle Demo\nleft: bundle Old\n"},
      // Another type: removed and added again, after which the side's main port is named again.
      {R"({"version": 1, "bundles": [{"name": "Demo", "in": {"main": "COM1", "ports": [
           {"name": "COM1", "type": "switcher"}, {"name": "COM2", "type": "virtual"}]},
           "out": {"ports": [{"name": "COM30", "type": "shared", "share": {"TERM.EXE": 1}}]}}]})", true,
       "replace port Demo in COM1 (remove, its type changes) (BundleDeletePort)\n"
       "replace port Demo in COM1 switcher (add as the new type) (BundleAddPort)\n"
       "add port Demo in COM1 main (BundleSetMainPortForSide)\n"
       "change port Demo out COM30 share term.exe=1 (SharedPortSetPermissionsForApp)\n"
       "remove bundle Old (DeleteBundle)\n"},
      // No main port: the library sends none, so the main port is deleted and
      // added again with what it had; named or left alone alike.
      {R"({"version": 1, "bundles": [{"name": "Demo", "in": {"main": null, "ports": [{"name": "COM2", "type": "virtual"}]}},
           {"name": "Old"}]})", false,
       "replace port Demo in COM1 (remove, to clear the side's main port) (BundleDeletePort)\n"
       "replace port Demo in COM1 real (add again, not main) (BundleAddPort)\n"
       "change port Demo in COM1 parameters 9600,N,8,0 (BundleSetRealPortParameters)\n"
       "left: port Demo in COM1\nleft: port Demo out COM30\n"},
      {R"({"version": 1, "bundles": [{"name": "Demo", "in": {"main": null, "ports": [{"name": "COM1", "type": "real",
           "permissions": 1}]}}]})", true,
       "remove port Demo in COM2 (BundleDeletePort)\n"
       "replace port Demo in COM1 (remove, to clear the side's main port) (BundleDeletePort)\n"
       "replace port Demo in COM1 real (add again, not main) (BundleAddPort)\n"
       "change port Demo in COM1 permissions 1 (BundlePortSetPermissions)\n"
       "remove port Demo out COM30 (BundleDeletePort)\nremove bundle Old (DeleteBundle)\n"},
      {R"({"version": 1, "bundles": [{"name": "Demo", "in": {"ports": [{"name": "COM1", "type": "real"}]},
           "out": {"ports": [{"name": "COM30", "type": "shared"}]}}, {"name": "Old"}]})", true,
       "remove port Demo in COM2 (BundleDeletePort)\n"
       "change port Demo in COM1 parameters dynamic (BundleSetDynamicParametersForRealPort)\n"
       "remove port Demo out COM30 share term.exe (back to 3, as for any application) (SharedSetDefaultPermissions)\n"},
  };
  const Model current = Read(kCurrent);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.target);
    EXPECT_EQ(Lines(MakePlan(current, Read(c.target), c.prune)), c.steps);
  }
}

// The driver keeps a deleted port's permissions: a port added under its name
// finds them, and the plan sends only what differs.
TEST(ConfigPlan, PermissionsOutliveTheirPort) {
  const Model current = Read(kCurrent);
  const Model empty = Read(R"({"version": 1})");
  Model wiped = current;
  for (const Step& step : MakePlan(current, empty, true).steps) ApplyStep(&wiped, step);
  ASSERT_TRUE(wiped.bundles.empty());
  const Plan back = MakePlan(wiped, current, true);
  EXPECT_EQ(Lines(back).find("term.exe"), std::string::npos) << Lines(back);
  for (const Step& step : back.steps) ApplyStep(&wiped, step);
  EXPECT_EQ(WriteDocument(wiped), WriteDocument(current));
  EXPECT_EQ(Summary(back), std::to_string(back.steps.size()) + " to add, 0 to change, 0 to remove");
}

// A rollback undoes apply's changes only, not what someone else changed
// meanwhile. It cannot remove an option stored for the first time, nor make
// the driver forget an application; both are said, with the value left.
TEST(ConfigPlan, WhatARollbackCannotPutBackIsSaid) {
  const Model before = Read(kCurrent);
  Model after = before;
  std::vector<Step> done;
  for (const char* target : {R"({"version": 1, "options": {"main-only": true}, "bundles": [{"name": "Demo", "out":
         {"ports": [{"name": "COM30", "type": "shared", "share": {"new.exe": 5, "term.exe": 1}}]}}]})",
                             R"({"version": 1, "bundles": [{"name": "Demo", "out":
         {"ports": [{"name": "COM30", "type": "shared", "share": {"new.exe": 6}}]}}]})",
                             R"({"version": 1, "bundles": [{"name": "New", "in": {"ports": [{"name": "P9",
         "type": "shared", "share": {"a.exe": 1}}]}}]})"}) {
    for (const Step& step : MakePlan(after, Read(target), false).steps) {
      ApplyStep(&after, step);
      done.push_back(step);
    }
  }
  // Meanwhile someone else adds a bundle and removes one apply left alone: theirs to keep.
  const Model theirs = Read(R"({"version": 1, "bundles": [{"name": "Theirs"}, {"name": "New"}, {"name": "Demo"}]})");
  for (const Step& step : MakePlan(after, theirs, true).steps)
    if (step.bundle == "Theirs" || step.bundle == "Old") ApplyStep(&after, step);
  for (const Step& step : Undoing(MakePlan(after, before, true).steps, done)) ApplyStep(&after, step);
  EXPECT_EQ(Lines(MakePlan(after, before, true)), "add bundle Old (AddBundle)\nremove bundle Theirs (DeleteBundle)\n");
  std::string lines;
  for (const std::string& line : NotPutBack(before, done, after)) lines += line + "\n";
  EXPECT_EQ(lines,
            "option ignore-errors: stored now as off; it was not stored before, and the service keeps no way to remove it\n"
            "option main-only: stored now as on; it was not stored before, and the service keeps no way to remove it\n"
            "option baudrate-emulation: stored now as off; it was not stored before, and the service keeps no way to "
            "remove it\n"
            "share permission of port COM30 for new.exe: stored now as 3; it was not stored before, and the driver "
            "keeps no way to forget it\n"
            "share permission of port P9 for a.exe: stays stored as 1 with the driver, which keeps it for the port's "
            "name (a port added as P9 finds it)\n");
}

}  // namespace
