// lumbrexctl export, plan and apply against the stand-in service: a whole
// configuration survives export, an empty registry and apply; what a second
// apply sends (counted at a fake service: nothing); pruning; drift as plan's
// exit code; a refused call half-way rolled back, with what cannot be put
// back said; the account of an apply whose reply is lost or late; saved plans
// carried out as reviewed or not at all; bad documents and names that cannot
// be sent exactly refused before anything is sent.
#include <gtest/gtest.h>

#include <regex>

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
}

// A saved plan is carried out as it shows or not at all: planning again on
// the configuration must give exactly its changes. Every change to the file
// after review sends nothing, and so does a change to the configuration.
TEST(LumbrexctlConfig, ASavedPlanRunsAsReviewedOrNotAtAll) {
  SmallConfig registry;
  ASSERT_TRUE(registry.ok());
  TestPipeServer fake;
  const std::wstring file = TempPath(L"plan-doc.json"), saved = TempPath(L"saved-plan.json"),
                     changed = TempPath(L"changed-plan.json");
  ASSERT_TRUE(WriteWholeFile(file, R"({"version": 1, "bundles": [{"name": "Planned"}]})"));
  ASSERT_EQ(Ctl({L"plan", file, L"--out", saved}).exitCode, 2u);
  const std::string reviewed = ReadWholeFile(saved);
  const auto edit = [&](const char* pattern, const char* by) {
    return std::regex_replace(reviewed, std::regex(pattern), by, std::regex_constants::format_first_only);
  };
  const char* const kNotShown = "apply failed: its changes are not what its document and prune flag give";
  const struct {
    std::string text;
    std::vector<std::wstring> options;
    const char* says;
    std::vector<RegItem> written = {};
  } runs[] = {
      // Pruning would remove B1 and B2, which the reviewed plan leaves alone.
      {edit("\"prune\": false", "\"prune\": true"), {}, kNotShown},
      {edit("\"prune\": false", "\"prune\": true"), {L"--dry-run"}, kNotShown},
      {edit("\"prune\": false", "\"prune\": false, \"prune\": true"), {}, "prune: named twice"},
      {edit("\"name\": \"Planned\"", "\"name\": \"Other\""), {}, kNotShown},
      {edit("\"changes\": \\[[^\\]]*\\]", "\"changes\": []"), {}, kNotShown},
      // A plan of the older format names no configuration it was made against.
      {R"({"fingerprint": "", "prune": false, "document": {"version": 1, "bundles": [{"name": "Planned"}]}})", {},
       "not a plan saved by 'lumbrexctl plan --out'"},
      {reviewed, {L"--prune"}, "--prune cannot be used with --plan"},
      {reviewed, {}, "the configuration changed since the plan was made; nothing was sent",
       {KeyOnly(SideKey(L"Meanwhile", LUMBREX_SIDE_IN))}},
  };
  for (const auto& run : runs) {
    SCOPED_TRACE(&run - runs);
    ASSERT_EQ(Write(run.written), ERROR_SUCCESS);
    ASSERT_TRUE(WriteWholeFile(changed, run.text));
    std::vector<std::wstring> arguments = {L"apply", L"--plan", changed};
    arguments.insert(arguments.end(), run.options.begin(), run.options.end());
    const ProgramRun got = Ctl(arguments);
    EXPECT_EQ(got.exitCode, 1u) << got.output;
    EXPECT_NE(got.output.find(run.says), std::string::npos) << got.output;
  }
  EXPECT_EQ(fake.CommandCount(), 0u);
  ASSERT_EQ(Write({Removed(BundleKey(L"Meanwhile"))}), ERROR_SUCCESS);
  const ProgramRun applied = Ctl({L"apply", L"--plan", saved});
  EXPECT_EQ(applied.exitCode, 0u) << applied.output;
  ASSERT_EQ(fake.CommandCount(), 1u);
  EXPECT_NE(fake.Commands()[0].find(",Planned!"), std::string::npos) << fake.Commands()[0];
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
                        Dw(perms, L"Lukasz.exe", 5), KeyOnly(SideKey(L"a!b,c", LUMBREX_SIDE_OUT)),
                        Dw(perms, L"eight.exe", 8), Dw(perms, L"low.exe", 0x80000000)});
  ASSERT_TRUE(registry.ok());
  const std::wstring file = TempPath(L"hostile.json");
  ASSERT_EQ(Ctl({L"export", file}).exitCode, 0u);
  ASSERT_NE(ReadWholeFile(file).find(u8"\"\u0141ukasz.exe\": 7"), std::string::npos) << ReadWholeFile(file);
  const ProgramRun plan = Ctl({L"plan", file});
  EXPECT_EQ(plan.exitCode, 0u) << plan.output;
  for (const char* says : {u8"note: share permission port B1 in COM2 \u0141ukasz.exe left as stored",
                           "note: bundle a!b,c left as stored", "note: share permission port B1 in COM2 eight.exe left",
                           "eight.exe left as stored, nothing to send; a change to it could not be sent: the share "
                           "permission is 0, or a number",
                           "low.exe left as stored"})
    EXPECT_NE(plan.output.find(says), std::string::npos) << says << "\n" << plan.output;
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
       "parameters 9600,N,9,0 (BundleSetRealPortParameters): the number of data bits is 5 to 8, not 9"},
      {R"({"version": 1, "bundles": [{"name": "Demo"}, {"name": "DEMO"}]})", "names the same bundle as 'Demo'"},
      {R"({"version": 1, "bundles": [{"name": "x!DEL_BUNDLE B1"}]})", "holds '!'"},
      {R"({"version": 1, "bundles": [{"name": "\u0421\u0432\u044f\u0437\u043a\u0430"}]})", "ANSI code page"},
      {R"({"version": 7})", "version: 7 is not a format version this lumbrexctl reads"},
      {R"({"version": 1, "bundle": []})", "bundle: unknown member"},
      {R"({"version": 1, "bundles": [{"name": "A", "in": {}, "in": {}}]})", "bundles[0].in: named twice"},
      {std::string(20000, '[') + std::string(20000, ']'), "bad.json: line 1, column 65: nested deeper than 64"},
      // Each would undo the other at every apply.
      {R"({"version": 1, "bundles": [{"name": "A", "in": {"ports": [{"name": "COM9", "type": "shared",
          "share": {"a.exe": 1}}]}, "out": {"ports": [{"name": "COM9", "type": "shared", "share": {"a.exe": 7}}]}}]})",
       "bundles[0].out.ports[0].share: differs from the share permissions of the shared port 'COM9'"},
      {R"({"version": 1, "bundles": [{"name": "A", "in": {"ports": [{"name": "COM9", "type": "shared",
          "share": {"a.exe": 2147483649}}]}}]})", "share a.exe=2147483649 (SharedPortSetPermissionsForApp): the share permission is 0, or a number"},
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

// What plan reads: a file on disk up to its limit, in UTF-8 or, as Windows
// PowerShell 5.1 writes it, UTF-16; never a pipe or a device it would wait on.
TEST(LumbrexctlConfig, DocumentsAreReadFromFilesWithinBounds) {
  RegistryFixture registry;
  TestPipeServer fake;  // the service's pipe, which plan must not wait on
  const std::string document = R"({"version": 1, "bundles": [{"name": "Wide"}]})";
  std::string utf16 = "\xFF\xFE";
  for (const char c : document) utf16 += std::string{c, '\0'};
  const std::wstring wide = TempPath(L"utf16.json"), huge = TempPath(L"huge.json");
  ASSERT_TRUE(WriteWholeFile(wide, utf16));
  {
    const lumbrex::UniqueHandle file(CreateFileW(huge.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    LARGE_INTEGER end{};
    end.QuadPart = (64 << 20) + 1;
    ASSERT_TRUE(file.valid() && SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN) && SetEndOfFile(file.get()));
  }
  const struct {
    std::wstring path;
    DWORD exitCode;
    const char* says;
  } files[] = {
      {wide, 2, "add bundle Wide (AddBundle)"},
      {huge, 1, "larger than 64 MiB, the most lumbrexctl reads"},
      {TestPipeServer::kDefaultPipePath, 1, "not a file on disk but a pipe, a device or the console"},
      {L"NUL", 1, "not a file on disk"},
  };
  for (const auto& file : files) {
    const ProgramRun run = Ctl({L"plan", file.path});
    EXPECT_EQ(run.exitCode, file.exitCode) << run.output;
    EXPECT_NE(run.output.find(file.says), std::string::npos) << run.output;
  }
  EXPECT_EQ(fake.CommandCount(), 0u);
  DeleteFileW(huge.c_str());
}

}  // namespace
