// lumbrexctl.exe end to end (issue 8, point 2): the tool runs as a child
// process (stdout and stderr captured, bounded wait) against the stand-in
// service; each verb's effect is read back from the registry, show's output
// is compared on a known configuration, and the exit codes 0/1/2 are checked.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "lumbrex.h"
#include "sharing/answer_builder.h"
#include "sharing/standin_driver.h"
#include "support/registry_fixture.h"
#include "support/service_process.h"

namespace {

using testsupport::kView32;
using testsupport::kView64;

const std::wstring kRoot = L"Software\\OSTREL Software\\Lumbrex";
const std::wstring kShared = L"Software\\OSTREL Software\\Quillane2";
const std::wstring kDriver = L"SYSTEM\\CurrentControlSet\\Services\\korrin9";

struct ToolRun {
  DWORD exitCode = ~0u;
  std::string out;  // UTF-8 as the tool writes to a file
  std::string err;
};

std::wstring ToolPath() {
  wchar_t path[MAX_PATH * 2];
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
  std::wstring p(path, n);
  return p.substr(0, p.find_last_of(L"\\/") + 1) + L"lumbrexctl.exe";
}

struct Handle {
  HANDLE h = nullptr;
  ~Handle() {
    if (h && h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
};

std::string ReadAll(const std::wstring& path) {
  Handle f;
  f.h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, 0, nullptr);
  std::string text;
  if (f.h == INVALID_HANDLE_VALUE) return text;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(f.h, buffer, sizeof buffer, &got, nullptr) && got != 0) text.append(buffer, got);
  return text;
}

// Runs lumbrexctl.exe with the arguments (each quoted), its output in two
// temporary files, waiting at most 30 s.
ToolRun RunTool(const std::vector<std::wstring>& args) {
  ToolRun run;
  wchar_t dir[MAX_PATH];
  GetTempPathW(MAX_PATH, dir);
  // Names of their own for every run: a finished child's files may still be
  // closing under Wine when the next run starts.
  static int counter = 0;
  std::wstring stem = std::wstring(dir) + L"lumbrexctl_test_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
                      std::to_wstring(++counter);
  std::wstring outPath = stem + L"_out.txt";
  std::wstring errPath = stem + L"_err.txt";
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  {
    Handle out, err;
    out.h = CreateFileW(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    err.h = CreateFileW(errPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    if (out.h == INVALID_HANDLE_VALUE || err.h == INVALID_HANDLE_VALUE) return run;
    std::wstring command = L"\"" + ToolPath() + L"\"";
    for (const std::wstring& arg : args) command += L" \"" + arg + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = out.h;
    startup.hStdError = err.h;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                        &info))
      return run;
    Handle process, thread;
    process.h = info.hProcess;
    thread.h = info.hThread;
    if (WaitForSingleObject(info.hProcess, 30000) != WAIT_OBJECT_0) {
      TerminateProcess(info.hProcess, 99);
      WaitForSingleObject(info.hProcess, 5000);
      return run;
    }
    GetExitCodeProcess(info.hProcess, &run.exitCode);
  }
  run.out = ReadAll(outPath);
  run.err = ReadAll(errPath);
  DeleteFileW(outPath.c_str());
  DeleteFileW(errPath.c_str());
  return run;
}

std::string Utf8(const std::wstring& text) {
  int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &bytes[0], size, nullptr, nullptr);
  return bytes;
}

// Direct registry reads, HKEY_LOCAL_MACHINE, in the given view.
struct Key {
  HKEY h = nullptr;
  ~Key() {
    if (h) RegCloseKey(h);
  }
};
std::optional<std::wstring> ReadString(const std::wstring& path, const std::wstring& name, REGSAM view = kView64) {
  Key key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | view, &key.h) != ERROR_SUCCESS)
    return std::nullopt;
  wchar_t buffer[512] = {};
  DWORD type = 0, size = sizeof buffer - sizeof(wchar_t);
  if (RegQueryValueExW(key.h, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) !=
          ERROR_SUCCESS ||
      type != REG_SZ)
    return std::nullopt;
  return std::wstring(buffer);
}
std::optional<DWORD> ReadDword(const std::wstring& path, const std::wstring& name, REGSAM view = kView64) {
  Key key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | view, &key.h) != ERROR_SUCCESS)
    return std::nullopt;
  DWORD type = 0, value = 0, size = sizeof value;
  if (RegQueryValueExW(key.h, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
          ERROR_SUCCESS ||
      type != REG_DWORD)
    return std::nullopt;
  return value;
}
bool KeyExists(const std::wstring& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS)
    return false;
  RegCloseKey(key);
  return true;
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The registry keys the service writes, reset before and after each test.
class ToolTest : public ::testing::Test {
 protected:
  testsupport::ScopedTree root64_{kRoot, kView64};
  testsupport::ScopedTree root32_{kRoot, kView32};
  testsupport::ScopedTree shared_{kShared, kView64};
  testsupport::ScopedTree driver_{kDriver, kView64};
};

// ... with the stand-in service serving the pipe.
class ToolServiceTest : public ToolTest {
 protected:
  void SetUp() override {
    service_ = std::make_unique<testsupport::ServiceProcess>();
    ASSERT_TRUE(service_->Ready()) << service_->Problem();
  }
  void AddBundle(const std::wstring& name) {
    ToolRun r = RunTool({L"bundle", L"add", name});
    ASSERT_EQ(r.exitCode, 0u) << r.err;
  }
  std::unique_ptr<testsupport::ServiceProcess> service_;
};

// ---- help and usage ----------------------------------------------------------

TEST(Issue8_LumbrexctlHelp, ToolHelpListsEveryVerbAndExitsZero) {
  ToolRun r = RunTool({L"--help"});
  ASSERT_EQ(r.exitCode, 0u) << r.err;
  EXPECT_TRUE(r.err.empty());
  for (const char* verb : {"show [--json]", "bundle add|delete|state", "port add", "port params", "port dynamic",
                           "port perms", "option set", "share set", "share default", "share reset", "share apps",
                           "--remote SERVER [--user U --password P]", "Exit codes: 0 done, 1 refused"})
    EXPECT_TRUE(Contains(r.out, verb)) << verb;
}

TEST(Issue8_LumbrexctlHelp, EveryVerbHasItsHelp) {
  const std::vector<std::vector<std::wstring>> verbs = {
      {L"show"},          {L"bundle"},      {L"bundle", L"add"},    {L"bundle", L"delete"}, {L"bundle", L"state"},
      {L"port"},          {L"port", L"add"}, {L"port", L"delete"},   {L"port", L"state"},    {L"port", L"main"},
      {L"port", L"params"}, {L"port", L"dynamic"}, {L"port", L"perms"}, {L"option"},        {L"option", L"set"},
      {L"share"},         {L"share", L"set"}, {L"share", L"default"}, {L"share", L"reset"}, {L"share", L"apps"}};
  for (const auto& verb : verbs) {
    std::vector<std::wstring> args = verb;
    args.push_back(L"--help");
    ToolRun r = RunTool(args);
    std::string name = Utf8(verb[0] + (verb.size() > 1 ? L" " + verb[1] : L""));
    EXPECT_EQ(r.exitCode, 0u) << name;
    EXPECT_EQ(r.out.rfind("Usage: lumbrexctl " + name, 0), 0u) << name << ": " << r.out;
    // "help VERB" says the same.
    std::vector<std::wstring> helpArgs = {L"help"};
    helpArgs.insert(helpArgs.end(), verb.begin(), verb.end());
    EXPECT_EQ(RunTool(helpArgs).out, r.out) << name;
  }
}

TEST(Issue8_LumbrexctlHelp, BadUsageExitsTwoWithAHint) {
  const std::vector<std::vector<std::wstring>> bad = {
      {},
      {L"frobnicate"},
      {L"bundle"},
      {L"bundle", L"add"},
      {L"bundle", L"rename", L"B"},
      {L"port", L"add", L"B", L"sideways", L"COM1", L"real"},
      {L"port", L"add", L"B", L"in", L"COM1", L"modem"},
      {L"port", L"params", L"B", L"in", L"COM1", L"9600", L"Q", L"8", L"0"},
      {L"port", L"params", L"B", L"in", L"COM1", L"fast", L"N", L"8", L"0"},
      {L"port", L"params", L"B", L"in", L"COM1", L"9600", L"N", L"8", L"0", L"Z"},
      {L"port", L"perms", L"B", L"in", L"COM1"},
      {L"option", L"set", L"colour", L"on"},
      {L"option", L"set", L"print", L"maybe"},
      {L"share", L"set", L"B", L"in", L"COM1", L"app.exe", L"lots"},
      {L"share", L"apps"},
      {L"show", L"--xml"},
      {L"--remote"},
      {L"--user", L"u", L"bundle", L"add", L"B"},
      {L"nosuchverb", L"--help"},
  };
  for (const auto& args : bad) {
    ToolRun r = RunTool(args);
    std::wstring line;
    for (const auto& a : args) line += a + L" ";
    EXPECT_EQ(r.exitCode, 2u) << Utf8(line);
    EXPECT_FALSE(r.err.empty()) << Utf8(line);
    EXPECT_TRUE(r.out.empty()) << Utf8(line);
  }
}

// ---- exit code 1 ----------------------------------------------------------------

TEST_F(ToolTest, Issue8_NoServiceIsRefusedWithOne) {
  ToolRun r = RunTool({L"bundle", L"add", L"B1"});
  EXPECT_EQ(r.exitCode, 1u);
  EXPECT_TRUE(Contains(r.err, "ConnectToLocalService failed")) << r.err;
  EXPECT_FALSE(KeyExists(kRoot + L"\\B1"));
}

TEST_F(ToolServiceTest, Issue8_ServiceRefusalSaysSo) {
  AddBundle(L"B1");
  ToolRun r = RunTool({L"bundle", L"add", L"B1"});
  EXPECT_EQ(r.exitCode, 1u);
  EXPECT_EQ(r.err, "lumbrexctl: AddBundle failed: refused by the service (no error code)\n");
}

TEST_F(ToolServiceTest, Issue8_LibraryErrorShowsCodeAndSystemMessage) {
  AddBundle(L"B1");
  // "COM 1" is no valid port name: the library refuses it with 13.
  ToolRun r = RunTool({L"port", L"add", L"B1", L"in", L"COM 1", L"real"});
  EXPECT_EQ(r.exitCode, 1u);
  EXPECT_EQ(r.err.rfind("lumbrexctl: BundleAddPort failed: error 13: ", 0), 0u) << r.err;
  EXPECT_GT(r.err.size(), std::string("lumbrexctl: BundleAddPort failed: error 13: \n").size()) << r.err;
}

// ---- bundle verbs ------------------------------------------------------------------

TEST_F(ToolServiceTest, Issue8_BundleAddStateDelete) {
  AddBundle(L"B1");
  EXPECT_TRUE(KeyExists(kRoot + L"\\B1\\IN"));
  ToolRun state = RunTool({L"bundle", L"state", L"B1"});
  EXPECT_EQ(state.exitCode, 0u);
  EXPECT_EQ(state.out, "B1: present\n");
  ToolRun del = RunTool({L"bundle", L"delete", L"B1"});
  EXPECT_EQ(del.exitCode, 0u) << del.err;
  EXPECT_TRUE(del.out.empty());
  EXPECT_FALSE(KeyExists(kRoot + L"\\B1"));
  ToolRun gone = RunTool({L"bundle", L"state", L"B1"});
  EXPECT_EQ(gone.exitCode, 1u);
  EXPECT_EQ(gone.err, "lumbrexctl: GetBundleState failed: refused by the service (no error code)\n");
  EXPECT_EQ(RunTool({L"bundle", L"delete", L"B1"}).exitCode, 1u);
}

TEST_F(ToolServiceTest, Issue8_RemoteDotReachesTheLocalPipe) {
  ToolRun r = RunTool({L"--remote", L".", L"bundle", L"add", L"R1"});
  EXPECT_EQ(r.exitCode, 0u) << r.err;
  EXPECT_TRUE(KeyExists(kRoot + L"\\R1"));
}

// ---- port verbs ------------------------------------------------------------------------

TEST_F(ToolServiceTest, Issue8_PortVerbsChangeTheEntries) {
  AddBundle(L"B1");
  const std::wstring in = kRoot + L"\\B1\\IN", out = kRoot + L"\\B1\\OUT";
  EXPECT_EQ(RunTool({L"port", L"add", L"B1", L"in", L"COM1", L"real"}).exitCode, 0u);
  EXPECT_EQ(RunTool({L"port", L"add", L"B1", L"in", L"COM2", L"virtual"}).exitCode, 0u);
  EXPECT_EQ(RunTool({L"port", L"add", L"B1", L"out", L"COM3", L"shared"}).exitCode, 0u);
  EXPECT_EQ(RunTool({L"port", L"add", L"B1", L"out", L"COM4", L"Switcher"}).exitCode, 0u);
  EXPECT_EQ(ReadString(in, L"COM1"), L"Real||1|1");
  EXPECT_EQ(ReadString(in, L"COM2"), L"Virtual||1|1");
  EXPECT_EQ(ReadString(out, L"COM3"), L"Shared||1|1");
  EXPECT_EQ(ReadString(out, L"COM4"), L"Switcher||1|1");

  EXPECT_EQ(RunTool({L"port", L"main", L"B1", L"in", L"COM1"}).exitCode, 0u);
  EXPECT_EQ(ReadString(kRoot + L"\\B1", L"InMain"), L"COM1");
  EXPECT_EQ(RunTool({L"port", L"main", L"B1", L"OUT", L"COM3"}).exitCode, 0u);
  EXPECT_EQ(ReadString(kRoot + L"\\B1", L"OutMain"), L"COM3");

  ToolRun params = RunTool({L"port", L"params", L"B1", L"in", L"COM1", L"115200", L"e", L"7", L"2", L"x"});
  EXPECT_EQ(params.exitCode, 0u) << params.err;
  EXPECT_EQ(ReadString(in, L"COM1"), L"Real|115200,E,7,2,X|1|1");
  EXPECT_EQ(RunTool({L"port", L"params", L"B1", L"in", L"COM1", L"9600", L"N", L"8", L"0"}).exitCode, 0u);
  EXPECT_EQ(ReadString(in, L"COM1"), L"Real|9600,N,8,0|1|1");

  EXPECT_EQ(RunTool({L"port", L"perms", L"B1", L"in", L"COM1", L"2"}).exitCode, 0u);
  EXPECT_EQ(ReadString(in, L"COM1"), L"Real|9600,n,8,0|1|0");
  EXPECT_EQ(RunTool({L"port", L"dynamic", L"B1", L"in", L"COM1"}).exitCode, 0u);
  EXPECT_EQ(ReadString(in, L"COM1"), L"Real||1|0");

  ToolRun state = RunTool({L"port", L"state", L"B1", L"out", L"COM4"});
  EXPECT_EQ(state.exitCode, 0u);
  EXPECT_EQ(state.out, "COM4: present\n");
  EXPECT_EQ(RunTool({L"port", L"delete", L"B1", L"out", L"COM4"}).exitCode, 0u);
  EXPECT_FALSE(ReadString(out, L"COM4").has_value());
  EXPECT_EQ(RunTool({L"port", L"state", L"B1", L"out", L"COM4"}).exitCode, 1u);
  // The library's range check: data bits 9 is refused with 13, nothing sent.
  ToolRun range = RunTool({L"port", L"params", L"B1", L"in", L"COM1", L"9600", L"N", L"9", L"0"});
  EXPECT_EQ(range.exitCode, 1u);
  EXPECT_EQ(range.err.rfind("lumbrexctl: BundleSetRealPortParameters failed: error 13: ", 0), 0u) << range.err;
  EXPECT_EQ(ReadString(in, L"COM1"), L"Real||1|0");
}

// ---- option verbs ------------------------------------------------------------------------

TEST_F(ToolServiceTest, Issue8_OptionSetChangesOneOption) {
  const struct {
    const wchar_t* name;
    std::wstring key;
    const wchar_t* value;
    REGSAM view;
  } options[] = {{L"auto-open", kRoot, L"AutoOpen", kView32},
                 {L"ignore-errors", kRoot, L"IgnoreError", kView32},
                 {L"print", kRoot, L"Prints", kView32},
                 {L"main-only", kRoot, L"SendDataOnlyMainPort", kView32},
                 {L"baudrate-emulation", kDriver, L"StrictBaudrate", kView64}};
  for (const auto& option : options) {
    ToolRun on = RunTool({L"option", L"set", option.name, L"on"});
    EXPECT_EQ(on.exitCode, 0u) << on.err;
    EXPECT_EQ(ReadDword(option.key, option.value, option.view), 1u) << Utf8(option.name);
  }
  ToolRun off = RunTool({L"option", L"set", L"print", L"off"});
  EXPECT_EQ(off.exitCode, 0u);
  EXPECT_EQ(ReadDword(kRoot, L"Prints", kView32), 0u);
  EXPECT_EQ(ReadDword(kRoot, L"AutoOpen", kView32), 1u);
  EXPECT_EQ(ReadDword(kDriver, L"StrictBaudrate"), 1u);
}

// ---- share verbs ----------------------------------------------------------------------------

TEST_F(ToolServiceTest, Issue8_ShareVerbsSetAndReset) {
  AddBundle(L"B1");
  ASSERT_EQ(RunTool({L"port", L"add", L"B1", L"out", L"COM3", L"shared"}).exitCode, 0u);
  const std::wstring perms = kShared + L"\\COM3\\Permissions";
  ToolRun set = RunTool({L"share", L"set", L"B1", L"out", L"COM3", L"term.exe", L"5"});
  EXPECT_EQ(set.exitCode, 0u) << set.err;
  EXPECT_EQ(ReadDword(perms, L"term.exe"), 5u);
  EXPECT_EQ(RunTool({L"share", L"set", L"B1", L"out", L"COM3", L"log.exe", L"0x1"}).exitCode, 0u);
  EXPECT_EQ(ReadDword(perms, L"log.exe"), 1u);
  EXPECT_EQ(RunTool({L"share", L"default", L"B1", L"out", L"COM3", L"new.exe"}).exitCode, 0u);
  EXPECT_EQ(ReadDword(perms, L"new.exe"), 3u);
  // 8 has none of the bits 1, 2, 4: the library refuses it with 13.
  ToolRun bad = RunTool({L"share", L"set", L"B1", L"out", L"COM3", L"term.exe", L"8"});
  EXPECT_EQ(bad.exitCode, 1u);
  EXPECT_EQ(bad.err.rfind("lumbrexctl: SharedPortSetPermissionsForApp failed: error 13: ", 0), 0u) << bad.err;
  EXPECT_EQ(RunTool({L"share", L"reset", L"B1", L"out", L"COM3"}).exitCode, 0u);
  EXPECT_EQ(ReadDword(perms, L"term.exe"), 3u);
  EXPECT_EQ(ReadDword(perms, L"log.exe"), 3u);
  // A port that is not on that side: the service refuses.
  ToolRun refused = RunTool({L"share", L"set", L"B1", L"in", L"COM3", L"term.exe", L"1"});
  EXPECT_EQ(refused.exitCode, 1u);
  EXPECT_EQ(refused.err,
            "lumbrexctl: SharedPortSetPermissionsForApp failed: refused by the service (no error code)\n");
}

// ---- the driver: share apps and show ------------------------------------------------

class ToolDriverTest : public ToolTest {
 protected:
  void SetUp() override {
    std::wstring problem = sharingtest::EnsureStandinRunning();
    ASSERT_TRUE(problem.empty()) << Utf8(problem);
    ASSERT_EQ(sharingtest::StandinReset(), 0u);
  }
  void TearDown() override { sharingtest::StandinReset(); }
};

TEST_F(ToolDriverTest, Issue8_ShareAppsListsTheDriversAnswer) {
  std::vector<sharingtest::RecordSpec> records(3);
  records[0].port = u"COM30";
  records[0].app = u"term.exe";
  records[0].data0 = 10, records[0].data1 = 11, records[0].data2 = 12;
  records[1].port = u"COM31";
  records[1].app = u"other.exe";
  records[2].port = u"com30";
  records[2].app = u"log.exe";
  records[2].data0 = 1;
  ASSERT_EQ(sharingtest::StandinSetAnswer(sharingtest::BuildAnswer(records)), 0u);
  ToolRun r = RunTool({L"share", L"apps", L"COM30"});
  EXPECT_EQ(r.exitCode, 0u) << r.err;
  EXPECT_EQ(r.out, "term.exe  10 12 11\nlog.exe  1 0 0\n");
  ToolRun none = RunTool({L"share", L"apps", L"COM99"});
  EXPECT_EQ(none.exitCode, 0u);
  EXPECT_EQ(none.out, "COM99: no application\n");
}

TEST_F(ToolDriverTest, Issue8_ShareAppsWithoutTheDriver) {
  ASSERT_EQ(sharingtest::StandinHideQueryLink(), 0u);
  ToolRun r = RunTool({L"share", L"apps", L"COM30"});
  sharingtest::StandinShowQueryLink();
  EXPECT_EQ(r.exitCode, 1u);
  EXPECT_EQ(r.err.rfind("lumbrexctl: SharedGetPortApplications failed: driver not available (code 2: ", 0), 0u)
      << r.err;
}

// A known configuration, written straight into the registry.
void WriteKnownConfiguration() {
  using namespace testsupport;
  SetDword(kRoot, L"AutoOpen", 1, kView32);
  SetDword(kRoot, L"IgnoreError", 0, kView32);
  SetDword(kRoot, L"Prints", 0, kView32);
  SetDword(kRoot, L"SendDataOnlyMainPort", 7, kView32);
  SetDword(kDriver, L"StrictBaudrate", 1);
  const std::wstring b = kRoot + L"\\Demo";
  SetString(b, L"InMain", L"COM1");
  SetString(b, L"OutMain", L"");
  CreateKey(b + L"\\IN");
  CreateKey(b + L"\\OUT");
  SetString(b + L"\\IN", L"COM1", L"Real|9600,N,8,0|1|1");
  SetString(b + L"\\IN", L"COM20", L"Virtual||1|0");
  SetString(b + L"\\OUT", L"COM30", L"Shared|115200,e,7,2,x|0|1");
  SetString(b + L"\\OUT", L"COM40", L"Switcher||0|0");
  SetDword(kShared + L"\\COM30\\Permissions", L"term.exe", 5);
  const std::wstring e = kRoot + L"\\Empty";
  CreateKey(e + L"\\IN");
  CreateKey(e + L"\\OUT");
}

// The real-ports line as the library sees this machine.
std::string RealPortsLine() {
  VARIANT ports;
  VariantInit(&ports);
  if (GetRealPortsList(&ports) != 1) return "";
  std::string line = "Real ports: ";
  if (ports.vt == VT_EMPTY) return line + "none\n";
  LONG low = 0, high = -1;
  SafeArrayGetLBound(ports.parray, 1, &low);
  SafeArrayGetUBound(ports.parray, 1, &high);
  for (LONG i = low; i <= high; ++i) {
    BSTR item = nullptr;
    SafeArrayGetElement(ports.parray, &i, &item);
    line += (i > low ? ", " : "") + Utf8(item ? item : L"");
    SysFreeString(item);
  }
  VariantClear(&ports);
  return line + "\n";
}

TEST_F(ToolDriverTest, Issue8_ShowPrintsTheWholeTree) {
  WriteKnownConfiguration();
  std::vector<sharingtest::RecordSpec> records(1);
  records[0].port = u"COM30";
  records[0].app = u"term.exe";
  records[0].data0 = 10, records[0].data1 = 11, records[0].data2 = 12;
  ASSERT_EQ(sharingtest::StandinSetAnswer(sharingtest::BuildAnswer(records)), 0u);
  std::string real = RealPortsLine();
  ASSERT_FALSE(real.empty());
  ToolRun r = RunTool({L"show"});
  EXPECT_EQ(r.exitCode, 0u) << r.err;
  EXPECT_TRUE(r.err.empty()) << r.err;
  EXPECT_EQ(r.out,
            "Options\n"
            "  auto-open: on\n"
            "  ignore-errors: off\n"
            "  print: off\n"
            "  main-only: on\n"
            "  baudrate-emulation: on\n" +
                real +
                "Bundles\n"
                "  Demo\n"
                "    IN (main: COM1)\n"
                "      COM1  real  main  9600,N,8,0  perms 3\n"
                "      COM20  virtual  dynamic  perms 2\n"
                "    OUT (main: none)\n"
                "      COM30  shared  115200,E,7,2,X  perms 1\n"
                "        share permissions: term.exe=5\n"
                "        open by: term.exe (10 12 11)\n"
                "      COM40  switcher  dynamic  perms 0\n"
                "  Empty\n"
                "    IN (main: unreadable, code 2: File not found.): no ports\n"
                "    OUT (main: unreadable, code 2: File not found.): no ports\n");
}

TEST_F(ToolDriverTest, Issue8_ShowJsonHoldsTheSame) {
  WriteKnownConfiguration();
  ASSERT_EQ(sharingtest::StandinHideQueryLink(), 0u);
  ToolRun r = RunTool({L"show", L"--json"});
  sharingtest::StandinShowQueryLink();
  EXPECT_EQ(r.exitCode, 0u) << r.err;
  const std::string& j = r.out;
  // Balanced braces and brackets outside strings: the minimal parse.
  int depth = 0;
  bool inString = false;
  for (size_t i = 0; i < j.size(); ++i) {
    char c = j[i];
    if (inString) {
      if (c == '\\') ++i;
      else if (c == '"') inString = false;
      continue;
    }
    if (c == '"') inString = true;
    if (c == '{' || c == '[') ++depth;
    if (c == '}' || c == ']') {
      ASSERT_GT(depth--, 0);
    }
  }
  EXPECT_EQ(depth, 0);
  EXPECT_FALSE(inString);
  EXPECT_EQ(j.front(), '{');
  for (const char* part :
       {"\"auto-open\": true", "\"ignore-errors\": false", "\"print\": false", "\"main-only\": true",
        "\"baudrate-emulation\": true", "\"bundles\": [", "{\"name\": \"Demo\"", "\"in\": {\"main\": \"COM1\"",
        "{\"name\": \"COM1\", \"type\": \"real\", \"main\": true, \"parameters\": \"9600,N,8,0\", \"permissions\": 3}",
        "{\"name\": \"COM20\", \"type\": \"virtual\", \"main\": false, \"parameters\": \"dynamic\", \"permissions\": 2}",
        "\"out\": {\"main\": \"\"",
        "{\"name\": \"COM30\", \"type\": \"shared\", \"main\": false, \"parameters\": \"115200,E,7,2,X\", "
        "\"permissions\": 1",
        "\"share\": {\"term.exe\": 5}", "\"openBy\": null, \"openByError\": {\"code\": 2, \"message\": \"driver not "
                                        "available (code 2)\"}",
        "{\"name\": \"COM40\", \"type\": \"switcher\", \"main\": false, \"parameters\": \"dynamic\", \"permissions\": 0}"})
    EXPECT_TRUE(Contains(j, part)) << part << "\n" << j;
}

}  // namespace
