// lumbrexctl's input against the stand-in service and a fake one: saved
// plans carried out as reviewed or not at all; names that cannot be sent
// exactly, bad documents and files out of bounds refused before anything is
// sent.
#include <gtest/gtest.h>

#include <regex>

#include "lumbrexctl_run.h"
#include "support/service_process.h"
#include "support/small_config.h"
#include "support/test_pipe_server.h"

namespace {

using namespace testsupport;

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
      // The library refuses it, after the option and the bundle went out.
      {R"({"version": 1, "options": {"print": true}, "bundles": [{"name": "A", "in": {"ports": [{"name": "COM-1",
          "type": "virtual"}]}}]})", "the port name 'COM-1' is not one BundleAddPort takes"},
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
