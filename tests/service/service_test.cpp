// lumbrex-service.exe as the library meets it: command bytes over the pipe,
// the reply, and what the registry holds afterwards, read straight back; and
// the service under the Service Control Manager.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <chrono>
#include <future>
#include <memory>
#include <vector>

#include "client_threads.h"
#include "pipe_server.h"
#include "support/pipe_client.h"
#include "support/registry_fixture.h"

namespace {

using namespace testsupport;

const std::wstring kRoot = kRootKey, kB1 = BundleKey(L"B1"), kIn = SideKey(L"B1", LUMBREX_SIDE_IN),
                   kOut = SideKey(L"B1", LUMBREX_SIDE_OUT), kDriver = kDriverKey, kPerms = PermissionsKey(L"COM7");
constexpr DWORD k64 = 0x10000, k32 = 0x20000;  // RRF_SUBKEY_WOW6464KEY, RRF_SUBKEY_WOW6432KEY

// A value as text: the string, "dword N", or "-" when it or its key is missing.
std::wstring Stored(const std::wstring& key, const std::wstring& name, DWORD view = k64) {
  wchar_t data[256] = {};
  DWORD type = 0, size = sizeof data - sizeof(wchar_t);
  if (RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), name.c_str(), RRF_RT_ANY | RRF_NOEXPAND | view, &type, data, &size))
    return L"-";
  return type == REG_DWORD ? L"dword " + std::to_wstring(data[0] | DWORD(data[1]) << 16) : std::wstring(data);
}

struct Check { std::wstring key, name; const wchar_t* want; DWORD view = k64; };

class Service : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(service_.Ready()) << service_.Problem();
    ASSERT_TRUE(client_.Connect());
  }
  ScopedTree vendor64_{kVendorKey, kView64}, vendor32_{kVendorKey, kView32},
      driver_{kDriver};
  ServiceProcess service_;
  PipeClient client_;
};

// One story on one connection: each command after the ones above it.
TEST_F(Service, EachCommandRepliesAndLeavesTheRegistryLayoutTheReadersExpect) {
  const std::string b255(255, 'b'), p127(127, 'p');
  const struct { std::string command; const char* reply; std::vector<Check> after; } steps[] = {
      {"ADD_BUNDLE 4,B1!", "OK!", {{kB1, kInMain, L""}, {kB1, kOutMain, L""}}},
      {"add_bundle 7,b1!", "ERROR!", {}},  // the registry matches names without regard to case
      {"ADD_BUNDLE 4,Caf\xE9!", "OK!", {{kRoot + L"\\Caf\u00E9", kOutMain, L""}}},  // ANSI text
      {"RENAME_BUNDLE Caf\xE9,b1!", "ERROR!", {{kRoot + L"\\Caf\u00E9", kOutMain, L""}}},
      {"RENAME_BUNDLE Caf\xE9,Tea!", "OK!", {{kRoot + L"\\Caf\u00E9", kOutMain, L"-"}, {kRoot + L"\\Tea", kOutMain, L""}}},
      {"DEL_BUNDLE Tea!", "OK!", {{kRoot + L"\\Tea", kOutMain, L"-"}, {kB1, kOutMain, L""}}},
      // Key names up to 255 characters, port names up to 127.
      {"ADD_BUNDLE 0," + b255 + "!", "OK!", {{kRoot + L"\\" + std::wstring(255, L'b'), kInMain, L""}}},
      {"DEL_BUNDLE " + b255 + "!", "OK!", {}}, {"ADD_BUNDLE 4,b" + b255 + "!", "ERROR!", {}},
      {"ADD_PORT B1,In,p" + p127 + ",Real!", "ERROR!", {}},
      {"GET_BUNDLE_STATE B1!", "OK!", {}},
      {"GET_BUNDLE_STATE B2!", "ERROR!", {}},
      // Over the service's length bound: refused, and the pipe stays.
      {"ADD_BUNDLE 4," + std::string(5000, 'x') + "!", "ERROR!", {}},
      {"ADD_PORT B1,In,COM3,Real!", "OK!", {{kIn, L"COM3", L"Real||1|1"}}},
      {"ADD_PORT B1,out,COM7,switcher!", "OK!", {{kOut, L"COM7", L"Switcher||1|1"}}},
      {"ADD_PORT B1,Out,K1,KOLM!", "OK!", {{kOut, L"K1", L"KOLM||1|1"}}},
      {"ADD_PORT B1,In,com3,Virtual!", "ERROR!", {{kIn, L"COM3", L"Real||1|1"}}},
      {"ADD_PORT B2,In,COM1,Real!", "ERROR!", {{kRoot + L"\\B2", kInMain, L"-"}}},
      {"GET_PORT_STATE B1,In,com3!", "OK!", {}},
      {"GET_PORT_STATE B1,Out,COM3!", "ERROR!", {}},
      {"SET_MAIN B1,Out,COM3!", "ERROR!", {{kB1, kOutMain, L""}}},
      // Names as the registry matches them, beyond ASCII: deleting "p\xE9" deletes the main port "P\xC9".
      {"ADD_PORT B1,Out,P\xC9,Virtual!", "OK!", {{kOut, L"P\u00C9", L"Virtual||1|1"}}},
      {"SET_MAIN B1,Out,P\xC9!", "OK!", {{kB1, kOutMain, L"P\u00C9"}}},
      {"DEL_PORT B1,Out,p\xE9!", "OK!", {{kOut, L"P\u00C9", L"-"}, {kB1, kOutMain, L""}}},
      {"SET_MAIN B1,In,COM3!", "OK!", {{kB1, kInMain, L"COM3"}}},
      {"SET_MAIN B1,In,!", "OK!", {{kB1, kInMain, L""}}},
      {"SET_MAIN B1,In,COM3!", "OK!", {{kB1, kInMain, L"COM3"}}},
      {"SET_RPORT_PARAMS B1,In,COM3,|0|1!", "OK!", {{kIn, L"COM3", L"Real||0|1"}}},
      {"SET_RPORT_PARAMS B1,In,COM3,19200-E-7-1-X|1|0!", "OK!", {{kIn, L"COM3", L"Real|19200,E,7,1,X|1|0"}}},
      {"SET_RPORT_PARAMS B1,In,COM4,9600-N-8-0|1|1!", "ERROR!", {{kIn, L"COM4", L"-"}}},
      {"UPDATE_SETTINGS 1,0,1,0,1!", "OK!",
       {{kRoot, kAutoOpen, L"dword 1", k32}, {kRoot, kIgnoreError, L"dword 0", k32},
        {kRoot, kPrints, L"dword 1", k32}, {kRoot, kSendToMain, L"dword 0", k32},
        {kDriver, kStrictBaudrate, L"dword 1"}, {kRoot, kAutoOpen, L"-"}}},
      {"SET_SHARE_PERMISSION B1,Out,COM7,a@2b@1@3,-1!", "OK!", {{kPerms, L"a,b!@", L"dword 4294967295"}}},
      {"SET_SHARE_PERMISSION B1,Out,COM7,@31,1!", "OK!", {{kPerms, L"@1", L"dword 1"}}},  // unescaped in one pass
      {"SET_SHARE_PERMISSION B1,In,COM7,x,3!", "ERROR!", {{kPerms, L"x", L"-"}}},
      // Malformed: refused, and nothing written.
      {"HELLO 1!", "ERROR!", {}}, {"!", "ERROR!", {}}, {"OK!", "ERROR!", {}}, {"ADD_BUNDLE!", "ERROR!", {}},
      {"ADD_BUNDLE 4,!", "ERROR!", {}}, {"ADD_BUNDLE x,B2!", "ERROR!", {}}, {"DEL_BUNDLE B1\\IN!", "ERROR!", {}},
      {std::string("ADD_BUNDLE 4,B\0X!", 17), "ERROR!", {}}, {"ADD_PORT B1,Both,COM1,Real!", "ERROR!", {}},
      {"ADD_PORT B1,In,COM1,Serial!", "ERROR!", {}}, {"ADD_PORT B1,In,COM1!", "ERROR!", {}},
      {"DEL_PORT B1,In,COM3,X!", "ERROR!", {}}, {"SET_MAIN B1,In,COM3,!", "ERROR!", {}},
      {"SET_RPORT_PARAMS B1,In,COM3,9600-N-8-0|1!", "ERROR!", {}}, {"UPDATE_SETTINGS 1,0,0,0!", "ERROR!", {}},
      {"SET_SHARE_PERMISSION B1,In,COM3,a@4,3!", "ERROR!", {}}, {"SET_SHARE_PERMISSION B1,Out,COM7,b,8!", "ERROR!", {}},
      {"SET_SHARE_PERMISSION B1,Out,COM7,b,-2147483648!", "ERROR!", {}}, {"UPDATE_SETTINGS 1,0,0,0,+1!", "ERROR!", {}},
      {"UPDATE_SETTINGS 256,0,0,0,0!", "ERROR!",
       {{kIn, L"COM3", L"Real|19200,E,7,1,X|1|0"}, {kRoot, kAutoOpen, L"dword 1", k32}, {kPerms, L"b", L"-"},
        {kRoot + L"\\B2", kInMain, L"-"}, {kRoot + L"\\B", kInMain, L"-"}}},
      {"DEL_PORT B1,In,COM3!", "OK!", {{kIn, L"COM3", L"-"}, {kB1, kInMain, L""}}},  // no main port left behind
      {"DEL_BUNDLE B1!", "OK!", {{kB1, kOutMain, L"-"}}},
      {"DEL_BUNDLE B1!", "ERROR!", {}},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.command);
    EXPECT_EQ(client_.Transact(step.command), step.reply);
    for (const Check& c : step.after) EXPECT_EQ(Stored(c.key, c.name, c.view), c.want) << c.key << L"\\" << c.name;
  }
}

// A side's main port is empty or one of that side's ports, asked of the registry.
bool MainIsAPortOfItsSide(const std::wstring& bundle, bool in) {
  const int side = in ? LUMBREX_SIDE_IN : LUMBREX_SIDE_OUT;
  const std::wstring main = Stored(bundle, lumbrex::MainPortValueName(side));
  return main.empty() || main == L"-" || Stored(bundle + L"\\" + lumbrex::SideKeyName(side), main) != L"-";
}

// Commands as the pipe server hands them to the store, as UTF-16 text, so that
// names no ANSI code page holds reach it too: after every command no main port
// names a port its side lacks, whatever the letter case it was named in.
TEST(ConfigStoreNames, NoMainPortOutlivesItsPort) {
  ScopedTree vendor(kVendorKey, kView64);
  lumbrex::service::ConfigStore store;
  struct Step { const wchar_t* command; bool ok; };
  const struct { std::vector<Step> steps; const wchar_t* inMain; } rows[] = {
      {{{L"ADD_PORT N,In,Порт,Real", 1}, {L"ADD_PORT N,In,ПОРТ,Virtual", 0}, {L"SET_MAIN N,In,ПОРТ", 1},
        {L"DEL_PORT N,In,порт", 1}, {L"SET_MAIN N,In,Порт", 0}}, L""},
      // Names the registry tells apart, and the other side's port of the same name, leave the main port.
      {{{L"ADD_PORT N,In,straße,Real", 1}, {L"ADD_PORT N,In,STRASSE,Real", 1}, {L"SET_MAIN N,In,straße", 1},
        {L"DEL_PORT N,In,STRASSE", 1}}, L"straße"},
      {{{L"ADD_PORT N,In,Дом,Real", 1}, {L"ADD_PORT N,Out,дом,Real", 1}, {L"SET_MAIN N,In,Дом", 1},
        {L"SET_MAIN N,Out,ДОМ", 1}, {L"DEL_PORT N,Out,дОм", 1}}, L"Дом"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.steps.front().command);
    DeleteTree(kRoot + L"\\N");
    std::vector<Step> steps{{L"ADD_BUNDLE 4,N", true}};
    steps.insert(steps.end(), row.steps.begin(), row.steps.end());
    for (const Step& step : steps) {
      lumbrex::service::Request request;
      const bool ok = !lumbrex::service::ParseCommand(step.command, request) && store.Apply(request).ok;
      EXPECT_EQ(ok, step.ok) << step.command;
      EXPECT_TRUE(MainIsAPortOfItsSide(kRoot + L"\\N", true) && MainIsAPortOfItsSide(kRoot + L"\\N", false))
          << step.command;
    }
    EXPECT_EQ(Stored(kRoot + L"\\N", kInMain), row.inMain);
    EXPECT_EQ(Stored(kRoot + L"\\N", kOutMain), L"");
  }
}

// Wine ignores FILE_FLAG_FIRST_PIPE_INSTANCE: the service must look first.
TEST_F(Service, ASecondInstanceExits) {
  const ProgramRun second = RunProgram(L"lumbrex-service.exe", {L"--foreground"});
  EXPECT_EQ(second.exitCode, 1u) << second.output;
  EXPECT_EQ(client_.Transact("ADD_BUNDLE 4,B1!"), "OK!");
}

// A client's thread held up after the stop (by a log that nobody reads, while
// the client is halfway through a command) still ends before the server object
// is gone, however long that takes. The default run holds it up for 1 s; the
// long run (LUMBREX_STOP_HOLD_SECONDS=11) past the 10 s a foreground stop waits,
// which a give-up after a while would likely copy.
TEST(PipeServerObject, OutlivesNoneOfItsClientThreads) {
  const char* hold = std::getenv("LUMBREX_STOP_HOLD_SECONDS");
  const auto seconds = std::chrono::seconds(hold ? std::atol(hold) : 1);
  HANDLE unread = nullptr, logOut = nullptr, console = GetStdHandle(STD_OUTPUT_HANDLE);
  ASSERT_TRUE(CreatePipe(&unread, &logOut, nullptr, 1));
  const lumbrex::UniqueHandle logOwner(logOut);
  lumbrex::service::Logger log;
  SetStdHandle(STD_OUTPUT_HANDLE, logOut);
  log.UseStdout();
  SetStdHandle(STD_OUTPUT_HANDLE, console);
  lumbrex::service::ConfigStore store;
  auto server = std::make_unique<lumbrex::service::PipeServer>(lumbrex::service::ServerOptions{}, store, log);
  lumbrex::UniqueHandle unreadOwner(unread);  // gone before the server on every path: the log's writes fail then
  PipeClient client;
  char line[256];
  DWORD got = 0;  // the first log line read: the client's thread runs
  ASSERT_TRUE(server->Start() == 0 && client.Connect() && ReadFile(unread, line, sizeof line, &got, nullptr));
  ASSERT_TRUE(client.Send("ADD_BUNDLE 4,"));
  auto gone = std::async(std::launch::async, [&] { server.reset(); });
  EXPECT_EQ(gone.wait_for(seconds), std::future_status::timeout);  // no giving up after a while
  unreadOwner.reset();  // so the thread, and then the destructor, can end
}

// Client threads end in any order. Each end wakes the accept loops, which join
// the ended threads without waiting for one that runs on (that would hold up
// every client still to connect); the stop joins the rest.
TEST(ClientThreads, JoinsTheEndedOnesWithoutWaitingForOneThatRunsOn) {
  lumbrex::service::ClientThreads threads;
  ASSERT_EQ(threads.Error(), 0u);
  const lumbrex::UniqueHandle release(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  std::atomic<int> ended{0};
  ASSERT_TRUE(threads.Start(1, [&] {
    WaitForSingleObject(release.get(), INFINITE);
    ++ended;
  }));
  for (uint64_t client = 2; client <= 4; ++client) ASSERT_TRUE(threads.Start(client, [&] { ++ended; }));
  EXPECT_EQ(WaitForSingleObject(threads.EndedEvent(), 20000), WAIT_OBJECT_0);
  auto joined = std::async(std::launch::async, [&] { threads.JoinEnded(); });
  const bool returned = joined.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
  EXPECT_TRUE(returned) << "joining the ended threads waited for the running one";
  SetEvent(release.get());
  joined.wait();
  threads.JoinAll();
  EXPECT_EQ(ended, 4);
}

// A burst of 64 opening the pipe as the library does (plus one wait) all get in.
TEST(PipeServerObject, AdmitsABurstOf64) {
  lumbrex::service::Logger log;  // no output
  lumbrex::service::ConfigStore store;
  lumbrex::service::PipeServer server({}, store, log);
  ASSERT_EQ(server.Start(), 0u);
  const lumbrex::UniqueHandle go(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  auto open = [] { return CreateFileW(ServiceProcess::PipePath(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, 0, nullptr); };
  std::vector<std::future<HANDLE>> opening;
  for (int i = 0; i < 64; ++i)
    opening.push_back(std::async(std::launch::async, [&] {
      WaitForSingleObject(go.get(), INFINITE);
      HANDLE pipe = open();
      return pipe == INVALID_HANDLE_VALUE && WaitNamedPipeW(ServiceProcess::PipePath(), 5000) ? open() : pipe;
    }));
  SetEvent(go.get());
  std::vector<lumbrex::UniqueHandle> clients;
  for (auto& opened : opening) clients.emplace_back(opened.get());
  EXPECT_EQ(std::count_if(clients.begin(), clients.end(), [](auto& c) { return c.valid(); }), 64);
}

// At the cap no instance listens: the next open fails at once with
// ERROR_PIPE_BUSY and WaitNamedPipe waits, while the admitted clients are
// served. A client stuck halfway through a command is dropped after the idle
// time-out (a quiet one, connected as long, is not), and one leaving lets the
// waiting one in; the cap holds again.
TEST(PipeServerObject, RefusesClientsPastItsCapAndAdmitsOneWhenAnotherGoes) {
  ScopedTree vendor(kVendorKey, kView64);
  lumbrex::service::Logger log;  // no output
  lumbrex::service::ConfigStore store;
  lumbrex::service::ServerOptions options;
  options.maxClients = 3;
  options.idleTimeoutMs = 1000;
  lumbrex::service::PipeServer server(options, store, log);
  ASSERT_EQ(server.Start(), 0u);
  auto openRefused = [] {
    const lumbrex::UniqueHandle pipe(CreateFileW(ServiceProcess::PipePath(), GENERIC_READ | GENERIC_WRITE, 0,
                                                 nullptr, OPEN_EXISTING, 0, nullptr));
    return !pipe.valid() && GetLastError() == ERROR_PIPE_BUSY && !WaitNamedPipeW(ServiceProcess::PipePath(), 300);
  };
  std::vector<std::unique_ptr<PipeClient>> clients;
  for (int i = 0; i < 3; ++i) {
    clients.push_back(std::make_unique<PipeClient>());
    ASSERT_TRUE(clients.back()->Connect());
  }
  EXPECT_TRUE(openRefused());
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(clients[i]->Transact("ADD_BUNDLE 4,Cap" + std::to_string(i) + "!"), "OK!");
  // The stuck client's read ends when the service closes its pipe.
  std::string reply;
  ASSERT_TRUE(clients[2]->Send("ADD_BUNDLE 4,"));
  EXPECT_FALSE(clients[2]->ReadReply(reply));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_BROKEN_PIPE));
  PipeClient afterDrop, afterLeave;
  ASSERT_TRUE(afterDrop.Connect());  // waits on the pipe until the freed seat listens
  EXPECT_TRUE(openRefused());
  clients[1].reset();
  ASSERT_TRUE(afterLeave.Connect());
  EXPECT_EQ(afterLeave.Transact("DEL_BUNDLE Cap1!"), "OK!");
  EXPECT_TRUE(openRefused());
  EXPECT_EQ(clients[0]->Transact("GET_BUNDLE_STATE Cap2!"), "OK!");
}

// Run by hand: no wait for a Service Control Manager, a wrong argument named.
TEST(ServiceMode, ArgumentsByHand) {
  const struct { std::vector<std::wstring> arguments; DWORD exitCode; const char* says; } runs[] = {
      {{}, 2, "usage: lumbrex-service.exe MODE"}, {{L"--foreground", L"--x"}, 2, "unknown argument '--x'"},
      {{L"--idle-timeout", L"soon"}, 2, "'soon'"}, {{L"--max-clients", L"0"}, 2, "1 to 1000, not '0'"},
      {{L"--foreground", L"--max-clients"}, 2, "--max-clients needs a value"}, {{L"--version"}, 0, "lumbrex-service 1."}};
  for (const auto& run : runs) {
    const ProgramRun result = RunProgram(L"lumbrex-service.exe", run.arguments, 5000);
    EXPECT_TRUE(result.exitCode == run.exitCode && result.output.find(run.says) != std::string::npos) << result.output;
  }
}

TEST(ServiceMode, InstallStartServeStopUninstall) {
  ScopedTree root(kRoot);
  RunProgram(L"lumbrex-service.exe", {L"--uninstall"});  // whatever an earlier run left
  const struct { std::vector<std::wstring> arguments; DWORD exitCode; bool servingAfter; } steps[] = {
      {{L"--frobnicate"}, 2, false}, {{L"--install"}, 0, false},   {{L"--install"}, 1, false},
      {{L"--start"}, 0, true},       {{L"--stop"}, 0, false},      {{L"--uninstall"}, 0, false},
      {{L"--start"}, 1, false}};
  for (const auto& step : steps) {
    SCOPED_TRACE(&step - steps);
    const ProgramRun run = RunProgram(L"lumbrex-service.exe", step.arguments);
    EXPECT_EQ(run.exitCode, step.exitCode) << run.output;
    PipeClient client;
    EXPECT_EQ(client.Connect(step.servingAfter ? 10000 : 0), step.servingAfter);
    if (step.servingAfter) {
      EXPECT_EQ(client.Transact("ADD_BUNDLE 4,Scm!"), "OK!");
    }
  }
  EXPECT_EQ(EnumSubkeyNamesDirect(kRoot), std::vector<std::wstring>{L"Scm"});
}

}  // namespace
