// lumbrexctl export, plan and apply against the stand-in service: a whole
// configuration survives export, an empty registry and apply; what a second
// apply sends (counted at a fake service: nothing); pruning; a refused call
// half-way rolled back; a saved plan refused after someone else's change; bad
// documents and names that cannot be sent exactly refused before anything is sent.
#include <gtest/gtest.h>

#include "support/service_process.h"
#include "support/small_config.h"
#include "support/test_pipe_server.h"

namespace {

using namespace testsupport;

std::wstring TempPath(const wchar_t* name) { return TempFilePath(std::wstring(L"lumbrexctl-config-") + name); }

ProgramRun Ctl(const std::vector<std::wstring>& arguments) { return RunProgram(L"lumbrexctl.exe", arguments); }

// The export of the configuration now, as its text.
std::string Exported() {
  const std::wstring path = TempPath(L"now.json");
  const ProgramRun run = Ctl({L"export", path});
  EXPECT_EQ(run.exitCode, 0u) << run.output;
  return ReadWholeFile(path);
}

// Every port type, fixed and dynamic parameters, masks, share permissions, options.
std::vector<RegItem> RichConfig() {
  const std::wstring out = kRootKey + L"\\B1\\OUT";
  return SmallConfigItems({Sz(out, L"COM4", L"Switcher|4800,O,5,2,P|0|1"), Sz(out, L"COM5", L"Real||1|1"),
                           KeyOnly(kRootKey + L"\\B3\\OUT")});
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
      {{L"plan", file}, 0, "left alone (not named in the file; --prune removes it): bundle B2", "\"B2\"", nullptr},
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

TEST(LumbrexctlConfig, ARefusedCallHalfWayIsRolledBackExactly) {
  RegistryFixture registry(RichConfig());
  ASSERT_EQ(registry.status(), ERROR_SUCCESS);
  ServiceProcess service;
  ASSERT_TRUE(service.Ready()) << service.Problem();
  const std::string before = Exported();
  // The service keeps bundle names to 255 characters: the last bundle is refused
  // after the option, the new bundle and its port, and the change to B1 went through.
  const std::string tooLong(300, 'L');
  const std::wstring file = TempPath(L"refused.json");
  ASSERT_TRUE(WriteWholeFile(file, R"({"version": 1, "options": {"print": false}, "bundles": [
      {"name": "New", "in": {"ports": [{"name": "COM7", "type": "virtual", "permissions": 1}]}},
      {"name": "B1", "in": {"ports": [{"name": "COM1", "type": "real", "parameters": "dynamic"}]}},
      {"name": ")" + tooLong + R"("}]})"));
  for (const bool rollBack : {true, false}) {
    SCOPED_TRACE(rollBack);
    const ProgramRun run = rollBack ? Ctl({L"apply", file}) : Ctl({L"apply", file, L"--no-rollback"});
    EXPECT_EQ(run.exitCode, 1u) << run.output;
    EXPECT_NE(run.output.find("done: add port New in COM7 virtual (BundleAddPort)"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("add bundle " + tooLong + " (AddBundle) failed"), std::string::npos) << run.output;
    if (rollBack) {
      EXPECT_NE(run.output.find("rolled back: remove bundle New (DeleteBundle)"), std::string::npos) << run.output;
      EXPECT_NE(run.output.find("rollback: the configuration is as it was before apply"), std::string::npos)
          << run.output;
      EXPECT_EQ(Exported(), before);
    } else {
      EXPECT_NE(run.output.find("not rolled back (--no-rollback)"), std::string::npos) << run.output;
      EXPECT_NE(Exported().find("\"New\""), std::string::npos);
    }
  }
}

TEST(LumbrexctlConfig, ASavedPlanIsRefusedOnceTheConfigurationChanged) {
  SmallConfig registry;
  ASSERT_TRUE(registry.ok());
  ServiceProcess service;
  ASSERT_TRUE(service.Ready()) << service.Problem();
  const std::wstring file = TempPath(L"plan-doc.json"), saved = TempPath(L"saved-plan.json");
  ASSERT_TRUE(WriteWholeFile(file, R"({"version": 1, "bundles": [{"name": "Planned"}]})"));
  ASSERT_EQ(Ctl({L"plan", file, L"--out", saved}).exitCode, 2u);
  ASSERT_EQ(Ctl({L"bundle", L"add", L"Meanwhile"}).exitCode, 0u);
  const ProgramRun refused = Ctl({L"apply", L"--plan", saved});
  EXPECT_EQ(refused.exitCode, 1u) << refused.output;
  EXPECT_NE(refused.output.find("the configuration changed since the plan was made"), std::string::npos)
      << refused.output;
  EXPECT_EQ(Exported().find("\"Planned\""), std::string::npos);
  // A plan whose fingerprint was emptied is no saved plan: it would pass any configuration.
  const std::wstring bare = TempPath(L"bare-plan.json");
  ASSERT_TRUE(WriteWholeFile(
      bare, R"({"fingerprint": "", "prune": false, "document": {"version": 1, "bundles": [{"name": "Planned"}]}})"));
  EXPECT_EQ(Ctl({L"apply", L"--plan", bare}).exitCode, 1u);
  EXPECT_EQ(Exported().find("\"Planned\""), std::string::npos);
  ASSERT_EQ(Ctl({L"plan", file, L"--out", saved}).exitCode, 2u);
  const ProgramRun applied = Ctl({L"apply", L"--plan", saved});
  EXPECT_EQ(applied.exitCode, 0u) << applied.output;
  EXPECT_NE(Exported().find("\"Planned\""), std::string::npos);
}

// Names another program stored: a bundle with "!", Cyrillic bundles beside
// one of question marks (what the Cyrillic one becomes in the ANSI code
// page), and two applications with one ANSI form. The export keeps them and
// plans to nothing; pruning them would send something else than they are, so
// apply --prune sends nothing at all and names each step and why.
TEST(LumbrexctlConfig, NamesThatCannotBeSentExactlyAreNeverSent) {
  const std::wstring perms = PermissionsKey(L"COM2");
  SmallConfig registry({KeyOnly(SideKey(L"\u041F\u0440\u0438\u0432\u0435\u0442", LUMBREX_SIDE_IN)),  // Привет
                        KeyOnly(SideKey(L"??????", LUMBREX_SIDE_IN)), Dw(perms, L"\u0141ukasz.exe", 7),  // Łukasz.exe
                        Dw(perms, L"Lukasz.exe", 5)});
  ASSERT_TRUE(registry.ok());
  const std::wstring file = TempPath(L"hostile.json");
  ASSERT_EQ(Ctl({L"export", file}).exitCode, 0u);
  ASSERT_NE(ReadWholeFile(file).find(u8"\"\u0141ukasz.exe\": 7"), std::string::npos) << ReadWholeFile(file);
  const ProgramRun plan = Ctl({L"plan", file});
  EXPECT_EQ(plan.exitCode, 0u) << plan.output;
  EXPECT_NE(plan.output.find(u8"note: share permission port B1 in COM2 \u0141ukasz.exe left as stored"), std::string::npos)
      << plan.output;
  ASSERT_EQ(Write({KeyOnly(SideKey(L"x!DEL_BUNDLE Victim", LUMBREX_SIDE_IN)), KeyOnly(SideKey(L"Victim", LUMBREX_SIDE_IN)),
                   KeyOnly(SideKey(L"\u0414\u0443\u0431\u043B\u044C", LUMBREX_SIDE_IN)),  // Дубль
                   Dw(perms, L"\u017Baneta.exe", 1)}),                                      // Żaneta.exe
            ERROR_SUCCESS);
  TestPipeServer fake;
  for (const wchar_t* verb : {L"plan", L"apply"}) {
    SCOPED_TRACE(verb);
    const ProgramRun run = Ctl({verb, file, L"--prune"});
    EXPECT_EQ(run.exitCode, 1u) << run.output;
    for (const char* says : {"cannot be made: remove bundle x!DEL_BUNDLE Victim (DeleteBundle): the bundle name "
                             "'x!DEL_BUNDLE Victim' holds '!'",
                             u8"cannot be made: remove bundle \u0414\u0443\u0431\u043B\u044C (DeleteBundle): the bundle name",
                             u8"cannot be made: remove port B1 in COM2 share \u017Baneta.exe (back to 3, as for any "
                             "application) (SharedSetDefaultPermissions): the application name",
                             "ANSI code page"})
      EXPECT_NE(run.output.find(says), std::string::npos) << says << "\n" << run.output;
  }
  EXPECT_EQ(fake.CommandCount(), 0u);
}

TEST(LumbrexctlConfig, BadDocumentsAreRefusedBeforeAnythingIsSent) {
  RegistryFixture registry;
  TestPipeServer fake;
  const std::wstring file = TempPath(L"bad.json");
  const struct {
    std::string text;
    const char* says;
  } documents[] = {
      {"{\"version\": 1,\n \"bundles\": [{\"name\": \"A\",}]}", "bad.json: line 2, column 27: not JSON"},
      {R"({"version": 1, "bundles": [{"name": "A"}, {"name": "B", "in": {"ports": [{"name": "COM1", "type": "real",
          "parameters": {"baud": 9600, "parity": "N", "dataBits": 9, "stopBits": 0}}]}}]})",
       "bundles[1].in.ports[0].parameters.dataBits: 9 is not 5 to 8"},
      {R"({"version": 1, "bundles": [{"name": "Demo"}, {"name": "DEMO"}]})", "names the same bundle as 'Demo'"},
      {R"({"version": 1, "bundles": [{"name": "x!DEL_BUNDLE B1"}]})", "holds '!'"},
      {R"({"version": 1, "bundles": [{"name": "\u0421\u0432\u044f\u0437\u043a\u0430"}]})", "ANSI code page"},
      {R"({"version": 7})", "version: 7 is not a format version this lumbrexctl reads"},
      {R"({"version": 1, "bundle": []})", "bundle: unknown member"},
      {R"({"version": 1, "bundles": [{"name": "A", "in": {}, "in": {}}]})", "bundles[0].in: named twice"},
  };
  for (const auto& document : documents) {
    SCOPED_TRACE(document.text);
    ASSERT_TRUE(WriteWholeFile(file, document.text));
    for (const wchar_t* verb : {L"plan", L"apply"}) {
      const ProgramRun run = Ctl({verb, file});
      EXPECT_EQ(run.exitCode, 1u) << run.output;
      EXPECT_NE(run.output.find(document.says), std::string::npos) << run.output;
    }
  }
  EXPECT_EQ(fake.CommandCount(), 0u);
}

}  // namespace
