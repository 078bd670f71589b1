// lumbrexctl export, plan and apply against the stand-in service: a whole
// configuration survives export, an empty registry and apply; what a second
// apply sends (counted at a fake service: nothing); pruning; drift as plan's
// exit code; a refused call half-way rolled back, with what cannot be put
// back said; the account of an apply whose reply is lost or late. Saved
// plans and refused input: lumbrexctl_input_test.cpp.
#include <gtest/gtest.h>

#include "lumbrexctl_run.h"
#include "support/service_process.h"
#include "support/small_config.h"
#include "support/test_pipe_server.h"

namespace {

using namespace testsupport;

// The export of the configuration now, as its text.
std::string Exported() {
  const std::wstring path = TempPath(L"now.json");
  const ProgramRun run = Ctl({L"export", path});
  EXPECT_EQ(run.exitCode, 0u) << run.output;
  return ReadWholeFile(path);
}

// Every port type, fixed and dynamic parameters, masks, share permissions, options.
std::vector<RegItem> RichConfig(const std::vector<RegItem>& extra = {}) {
  const std::wstring out = kRootKey + L"\\B1\\OUT";
  std::vector<RegItem> items = {Sz(out, L"COM4", L"Switcher|4800,O,5,2,P|0|1"), Sz(out, L"COM5", L"Real||1|1"),
                                KeyOnly(kRootKey + L"\\B3\\OUT")};
  items.insert(items.end(), extra.begin(), extra.end());
  return SmallConfigItems(items);
}

void Wipe() {
  for (REGSAM view : {kView64, kView32}) DeleteTree(kVendorKey, view);
  DeleteTree(kDriverKey);
}

TEST(LumbrexctlConfig, ExportWipeApplyExportAndASecondApplySendsNothing) {
  RegistryFixture registry(RichConfig());
  ASSERT_EQ(registry.status(), ERROR_SUCCESS);
  const std::wstring file = TempPath(L"whole.json");
  {
    ServiceProcess service;
    ASSERT_TRUE(service.Ready()) << service.Problem();
    ASSERT_EQ(Ctl({L"export", file}).exitCode, 0u);
    const std::string before = ReadWholeFile(file);
    ASSERT_NE(before.find("\"type\": \"switcher\""), std::string::npos) << before;
    Wipe();
    EXPECT_EQ(Ctl({L"plan", file}).exitCode, 2u);
    const ProgramRun apply = Ctl({L"apply", file});
    EXPECT_EQ(apply.exitCode, 0u) << apply.output;
    EXPECT_NE(apply.output.find("applied: "), std::string::npos) << apply.output;
    EXPECT_EQ(Exported(), before);
  }
  TestPipeServer fake;
  const ProgramRun again = Ctl({L"apply", file});
  EXPECT_EQ(again.exitCode, 0u) << again.output;
  EXPECT_NE(again.output.find("nothing to do"), std::string::npos) << again.output;
  const ProgramRun plan = Ctl({L"plan", file});
  EXPECT_EQ(plan.exitCode, 0u) << plan.output;
  EXPECT_EQ(fake.CommandCount(), 0u);
}

TEST(LumbrexctlConfig, PruneRemovesWhatTheFileDoesNotNameAndOnlyThen) {
  SmallConfig registry;
  ASSERT_TRUE(registry.ok());
  ServiceProcess service;
  ASSERT_TRUE(service.Ready()) << service.Problem();
  const std::wstring file = TempPath(L"b1.json");
  ASSERT_TRUE(WriteWholeFile(file, R"({"version": 1, "bundles": [{"name": "b1", "in": {"ports": [{"name": "COM1",
      "type": "real", "parameters": {"baud": 9600, "parity": "N", "dataBits": 8, "stopBits": 0},
      "permissions": 2}]}}]})"));
  const struct {
    std::vector<std::wstring> arguments;
    DWORD exitCode;
    const char *says, *exported, *gone;
  } runs[] = {
      {{L"plan", file}, 2, "left alone (not named in the file; --prune removes it): bundle B2", "\"B2\"", nullptr},
      {{L"apply", file}, 0, "left alone (not named in the file; --prune removes it): port B1 in COM2", "\"COM2\"", nullptr},
      {{L"plan", file, L"--prune", L"--json"}, 2, "\"remove\": 3", "\"B2\"", nullptr},
      {{L"apply", file, L"--prune", L"--dry-run"}, 2, "remove bundle B2 (DeleteBundle)", "\"B2\"", nullptr},
      {{L"apply", file, L"--prune"}, 0, "done: remove port B1 in COM2 (BundleDeletePort)", "\"B1\"", "\"B2\""},
      {{L"apply", file, L"--prune"}, 0, "nothing to do", "\"COM1\"", "\"COM3\""},
  };
  for (const auto& run : runs) {
    SCOPED_TRACE(&run - runs);
    const ProgramRun got = Ctl(run.arguments);
    EXPECT_EQ(got.exitCode, run.exitCode) << got.output;
    EXPECT_NE(got.output.find(run.says), std::string::npos) << got.output;
    const std::string now = Exported();
    EXPECT_NE(now.find(run.exported), std::string::npos) << now;
    EXPECT_TRUE(run.gone == nullptr || now.find(run.gone) == std::string::npos) << now;
  }
}

// Drift: the machine holds what the file could name and does not, or lacks
// what it names. One registry change after another, each planned against the
// export taken first.
TEST(LumbrexctlConfig, PlanExitsTwoWheneverTheMachineDiffersFromTheFile) {
  SmallConfig registry;
  ASSERT_TRUE(registry.ok());
  const std::wstring file = TempPath(L"drift.json");
  ASSERT_EQ(Ctl({L"export", file}).exitCode, 0u);
  const std::string exported = ReadWholeFile(file);
  const std::wstring b2in = SideKey(L"B2", LUMBREX_SIDE_IN), perms = PermissionsKey(L"COM2");
  const struct {
    std::vector<RegItem> written;
    std::vector<std::wstring> options;
    DWORD exitCode;
    const char* says;
  } runs[] = {
      {{}, {}, 0, "nothing to do\n"},
      // A mistyped line must not read as drift.
      {{}, {L"--prun"}, 1, "'--prun'"},
      // An application stored with the driver's default is one nobody named: no drift, and the same export.
      {{Dw(perms, L"hand.exe", 3)}, {}, 0, "nothing to do\n"},
      {{KeyOnly(SideKey(L"Hand", LUMBREX_SIDE_IN))}, {}, 2, "left alone (not named in the file; --prune removes it): bundle Hand"},
      {{}, {L"--prune"}, 2, "remove bundle Hand (DeleteBundle)"},
      {{Removed(BundleKey(L"Hand")), Sz(b2in, L"COM8", L"v")}, {}, 2, "left alone (not named in the file; --prune removes it): port B2 in COM8"},
      {{Removed(b2in), KeyOnly(b2in), Dw(perms, L"hand.exe", 5)}, {}, 2, "share permission B1 in COM2 hand.exe"},
      {{Dw(perms, L"hand.exe", 3), Sz(BundleKey(L"B1"), kOutMain, L"")}, {}, 2, "add port B1 out COM3 main"},
      {{Sz(BundleKey(L"B1"), kOutMain, L"COM3")}, {}, 0, "nothing to do\n"},
      // Half a character has no UTF-8: it would become U+FFFD, the two bundles one.
      {{KeyOnly(SideKey(L"s\xD800x", LUMBREX_SIDE_IN)), KeyOnly(SideKey(L"s\xFFFDx", LUMBREX_SIDE_IN))}, {L"--prune"}, 1,
       "its name holds U+D800, half of a character"},
  };
  for (const auto& run : runs) {
    SCOPED_TRACE(&run - runs);
    ASSERT_EQ(Write(run.written), ERROR_SUCCESS);
    std::vector<std::wstring> arguments = {L"plan", file};
    arguments.insert(arguments.end(), run.options.begin(), run.options.end());
    const ProgramRun got = Ctl(arguments);
    EXPECT_EQ(got.exitCode, run.exitCode) << got.output;
    EXPECT_NE(got.output.find(run.says), std::string::npos) << got.output;
    EXPECT_TRUE(run.exitCode != 0 || Exported() == exported);
  }
}

TEST(LumbrexctlConfig, ARefusedCallHalfWayIsRolledBackAndWhatCannotBeIsSaid) {
  RegistryFixture registry;
  ServiceProcess service;
  ASSERT_TRUE(service.Ready()) << service.Problem();
  const std::wstring before = TempPath(L"before.json");
  // The service keeps bundle names to 255 characters: the last bundle is refused
  // after the option, the new bundle and its port, and the changes to B1 went through.
  const std::string tooLong(300, 'L');
  const std::wstring file = TempPath(L"refused.json");
  ASSERT_TRUE(WriteWholeFile(file, R"({"version": 1, "options": {"print": false}, "bundles": [
      {"name": "New", "in": {"ports": [{"name": "COM7", "type": "virtual", "permissions": 1}]}},
      {"name": "B1", "in": {"ports": [{"name": "COM1", "type": "real", "parameters": "dynamic"},
                                      {"name": "COM2", "type": "shared", "share": {"new.exe": 5, "odd.exe": 1}}]},
                     "out": {"main": "COM4", "ports": [{"name": "COM4", "type": "switcher"}]}},
      {"name": ")" + tooLong + R"("}]})"));
  // odd.exe stored by another program as 8, which no caller may send: the
  // rollback cannot put it back, and so sends nothing at all.
  const struct {
    bool rollBack;
    DWORD odd;
  } runs[] = {{true, 8}, {true, 0}, {false, 0}};
  for (const auto& r : runs) {
    SCOPED_TRACE(r.rollBack + r.odd);
    Wipe();
    // B1's out side has no main port; apply makes COM4 its main port.
    std::vector<RegItem> extra = {Sz(BundleKey(L"B1"), kOutMain, L"")};
    if (r.odd != 0) extra.push_back(Dw(PermissionsKey(L"COM2"), L"odd.exe", r.odd));
    ASSERT_EQ(Write(RichConfig(extra)), ERROR_SUCCESS);
    ASSERT_EQ(Ctl({L"export", before}).exitCode, 0u);
    const ProgramRun run = r.rollBack ? Ctl({L"apply", file}) : Ctl({L"apply", file, L"--no-rollback"});
    EXPECT_EQ(run.exitCode, 1u) << run.output;
    EXPECT_NE(run.output.find("done: add port New in COM7 virtual (BundleAddPort)"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("add bundle " + tooLong + " (AddBundle) failed"), std::string::npos) << run.output;
    if (r.odd != 0) {
      for (const char* says : {"rollback: cannot be made: change port B1 in COM2 share odd.exe=8 "
                               "(SharedPortSetPermissionsForApp): the share permission is 0, or a number",
                               "rollback: not made, nothing was sent"})
        EXPECT_NE(run.output.find(says), std::string::npos) << run.output;
      EXPECT_EQ(run.output.find("rolled back:"), std::string::npos) << run.output;
    } else if (r.rollBack) {
      for (const char* says : {"rolled back: remove bundle New (DeleteBundle)",
                               "rolled back: replace port B1 out COM4 (remove, to clear the side's main port)",
                               "not put back: share permission of port COM2 for new.exe: stored now as 3; it was not "
                               "stored before",
                               "rollback: done; the configuration is as it was before apply but for what is not put "
                               "back (above)"})
        EXPECT_NE(run.output.find(says), std::string::npos) << run.output;
      const ProgramRun drift = Ctl({L"plan", before, L"--prune"});
      EXPECT_EQ(drift.exitCode, 0u) << drift.output;
    } else {
      EXPECT_NE(run.output.find("not rolled back (--no-rollback)"), std::string::npos) << run.output;
      EXPECT_NE(Exported().find("\"New\""), std::string::npos);
    }
  }
}

// A reply lost or late says nothing of its command: neither "done" nor "not done".
TEST(LumbrexctlConfig, AnApplyWhoseReplyIsLostOrLateSaysWhatIsNotKnown) {
  RegistryFixture registry;
  TestPipeServer fake;
  const std::wstring file = TempPath(L"two.json");
  ASSERT_TRUE(WriteWholeFile(file, R"({"version": 1, "bundles": [{"name": "A"}, {"name": "B"}, {"name": "C"}]})"));
  using Reply = TestPipeServer::Reply;
  const struct {
    Reply second;
    std::vector<std::wstring> arguments;
    std::vector<const char*> says;
  } runs[] = {
      {TestPipeServer::Close(), {L"apply", file},
       {"done: add bundle A (AddBundle)\n", "not known whether done (the reply was lost): add bundle B (AddBundle)\n",
        "not done: add bundle C (AddBundle)\n", "rollback: not made, the connection to the service is lost"}},
      {Reply{"", false, INFINITE}, {L"--timeout", L"1", L"apply", file},
       {"AddBundle did not return within 1 s", "1 of 3 changes made (the 'done:' lines above)\n",
        "not known whether done (no reply in time): add bundle B (AddBundle)\n", "not done: add bundle C (AddBundle)\n"}},
  };
  for (const auto& run : runs) {
    SCOPED_TRACE(&run - runs);
    fake.QueueReply("OK!");
    fake.QueueReply(run.second);
    const size_t before = fake.CommandCount();
    const ProgramRun got = RunProgram(L"lumbrexctl.exe", run.arguments, 30000);
    EXPECT_EQ(got.exitCode, 1u) << got.output;
    for (const char* says : run.says) EXPECT_NE(got.output.find(says), std::string::npos) << got.output;
    EXPECT_EQ(fake.CommandCount() - before, 2u);
  }
  // The rollback's reply lost: A added (the rule stores its key), B refused,
  // and whether A is removed again is not known.
  fake.SetRule([](const std::string& command) {
    if (command.find(",A!") != std::string::npos) return Write({KeyOnly(SideKey(L"A", LUMBREX_SIDE_IN))}), Reply{"OK!"};
    return command.find("DEL_BUNDLE A!") != std::string::npos ? TestPipeServer::Close() : Reply{"ERROR!"};
  });
  const ProgramRun got = RunProgram(L"lumbrexctl.exe", {L"apply", file}, 30000);
  EXPECT_EQ(got.exitCode, 1u) << got.output;
  EXPECT_NE(got.output.find("not known whether rolled back (the reply was lost): remove bundle A (DeleteBundle)\n"),
            std::string::npos) << got.output;
}

}  // namespace
