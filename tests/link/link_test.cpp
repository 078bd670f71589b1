// The service link: connecting, disconnecting and unloading, seen from both ends of the pipe; a service that
// misbehaves on it; how long each command waits for the link; replies reaching their callers while the pipe
// comes and goes. And a machine without the port-sharing driver.
#include "link/link_util.h"  // windows.h before winnetwk.h

#include <winnetwk.h>

#include <atomic>
#include <set>

#include "api/module_path.h"
#include "link/library_waits.h"
#include "support/driver_owners.h"
#include "support/export_table.h"
#include "support/service_connection.h"
#include "support/small_config.h"

using namespace linktest;
using namespace export_table;
using testsupport::SmallConfig;
using testsupport::Bstr;

TEST(Connection, CountsConnectsAndDisconnects) {
  // Each letter a call, each sign whether a command gets through after it. C connect; R connect to "." with no
  // user (no logon; the password is not used); I the same with an integer server; L with a user, the logon
  // failing; D disconnect; B the service breaks the pipe: a read fails, then a write, which closes the pipe but
  // keeps the count.
  const char* const scripts[] = {"D-C+D-",   "C+C+D-",     "R+C+D-",      "C+L-C+D-",
                                 "C+L-C+I+D-", "C+B-C+D+D-", "C+B-D-C+D+D-"};
  std::wstring nowhere = L"\\\\lumbrex-no-such-host\\IPC$";
  NETRESOURCEW logon{0, RESOURCETYPE_ANY, 0, 0, nullptr, &nowhere[0], nullptr, nullptr};
  auto remote = [](VARIANT server, const wchar_t* user) {
    Var s, u, p;
    *s = server, *u = Bstr(user), *p = Bstr(L"pw");
    return ConnectToRemoteService(s.copy(), u.copy(), p.copy());
  };
  TestPipeServer server;
  for (const char* script : scripts) {
    for (const char* step = script; *step; step += 2) {
      SCOPED_TRACE(testing::Message() << script << " at " << step);
      unsigned code = QKGetLastError();
      if (*step == 'C') { EXPECT_EQ(ConnectToLocalService(), 1); }
      if (*step == 'R') { EXPECT_EQ(remote(Bstr(L"."), L""), 1); }
      if (*step == 'I') { EXPECT_EQ(remote(testsupport::I4(7), L""), 0); code = 13; }
      if (*step == 'L') {
        EXPECT_EQ(remote(Bstr(L"lumbrex-no-such-host"), L"someone"), 0);
        EXPECT_NE(code = WNetAddConnection2W(&logon, L"pw", L"someone", 0), 0u);  // stored as it is
      }
      if (*step == 'D') { EXPECT_EQ(DisconnectFromService(), 1); }
      if (*step == 'B') {
        server.QueueReply(TestPipeServer::Close());
        EXPECT_EQ(Add("READ"), 0);
        EXPECT_EQ(Add("WRITE"), 0);
      }
      EXPECT_EQ(QKGetLastError(), code);
      const size_t before = server.CommandCount();
      EXPECT_EQ(Add("PROBE"), step[1] == '+');
      EXPECT_EQ(server.CommandCount(), before + (step[1] == '+'));
      EXPECT_TRUE(server.WaitForOpenClients(step[1] == '+' ? 1 : 0));
    }
    DropConnection();
  }
}

// The library loaded again under another file name is a module of its own, so FreeLibrary really unloads it.
TEST(Connection, UnloadReleasesOneReference) {
  wchar_t temp[MAX_PATH];
  const std::wstring original = lumbrex::ModulePath(GetModuleHandleW(L"lumbrex.dll"));
  ASSERT_FALSE(original.empty());
  ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
  const std::wstring copy = std::wstring(temp) + L"lumbrex-unload-copy.dll";
  ASSERT_TRUE(CopyFileW(original.c_str(), copy.c_str(), FALSE));
  for (int references : {1, 2}) {
    SCOPED_TRACE(testing::Message() << references << " references at unload");
    TestPipeServer server;
    const int ends = ClientPipeEnds();
    const HMODULE dll = LoadLibraryW(copy.c_str());
    ASSERT_NE(dll, nullptr);
    auto find = [dll](const char* name) { return reinterpret_cast<void*>(GetProcAddress(dll, name)); };
    auto connect = reinterpret_cast<int(WINAPI*)()>(find("ConnectToLocalService"));
    auto add = reinterpret_cast<int(WINAPI*)(VARIANT)>(find("AddBundle"));
    ASSERT_EQ(connect(), 1);
    if (references == 2) {  // a break keeps the count, the reconnect adds one
      server.QueueReply(TestPipeServer::Close());
      Var name;
      *name = Bstr(L"X");
      EXPECT_EQ(add(name.copy()), 0);  // the read fails
      EXPECT_EQ(add(name.copy()), 0);  // the write fails and closes the pipe
      ASSERT_EQ(connect(), 1);
    }
    ASSERT_TRUE(server.WaitForOpenClients(1));
    ASSERT_EQ(ClientPipeEnds(), ends + 1);
    ASSERT_TRUE(FreeLibrary(dll));
    // Whether the unload closed the pipe shows in this process at once; the service sees a close later.
    EXPECT_EQ(ClientPipeEnds(), ends + (references == 2)) << "the pipe closes with its last reference only";
    if (references == 1) { EXPECT_TRUE(server.WaitForOpenClients(0)) << "the service sees the pipe close"; }
  }
  EXPECT_TRUE(DeleteFileW(copy.c_str()));
}

TEST(PipeFaults, EachFaultFailsOnlyTheCommandsItReaches) {
  struct Case {
    const char* name;
    TestPipeServer::Reply reply;  // to the first of three commands; the others get "OK!"
    std::vector<int> results;     // of the three
    size_t arrived;               // commands at the service
  } const cases[] = {
      {"closes instead of answering", TestPipeServer::Close(), {0, 0, 0}, 1},
      {"closes after OK, before the !", {"OK", true}, {0, 0, 0}, 1},
      {"closes right after its reply", {"OK!", true}, {1, 0, 0}, 1},
      // The reader stops at 255 bytes: the 45 left and the next OK! make one more failed reply.
      {"300 bytes without !", TestPipeServer::Send(std::string(300, 'x')), {0, 0, 1}, 3},
      {"255 bytes with the !", TestPipeServer::Send("OK" + std::string(252, 'x') + "!"), {1, 1, 1}, 3},
      {"bytes after the !", TestPipeServer::Send("OK!junk"), {1, 0, 1}, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestPipeServer server;
    ASSERT_EQ(ConnectToLocalService(), 1);
    server.QueueReply(c.reply);
    PresetLastError();
    EXPECT_EQ((std::vector<int>{Add("B1"), Add("B2"), Add("B3")}), c.results);
    EXPECT_EQ(server.CommandCount(), c.arrived);
    EXPECT_EQ(QKGetLastError(), 13u);
    DropConnection();
  }
}

// Runs before any test loads the stand-in driver; if it is loaded already (a rerun in the same wineserver),
// its query device is hidden meanwhile.
TEST(PortApplications, WithoutDriverFailsWithOpenError) {
  const testsupport::HiddenQueryLink hidden;
  const lumbrex::UniqueHandle probe(CreateFileW(lumbrex::kSharingControlDevice, GENERIC_READ | GENERIC_WRITE, 0,
                                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  const DWORD openError = GetLastError();
  EXPECT_FALSE(probe.valid()) << "the sharing control device must be absent here";
  Var port, result;
  *port = Bstr(L"COM3"), *result = testsupport::I4(5);
  EXPECT_EQ(SharedGetPortApplications(port.copy(), result.get()), 0);
  EXPECT_EQ(QKGetLastError(), openError);
  EXPECT_NE(openError, 0u);
  EXPECT_EQ(result->vt, VT_EMPTY);
}

TEST(Timeouts, EachCommandGivesUpAfterItsLinkWait) {
  const std::pair<const char*, DWORD> cases[] = {  // every export that sends a command, and its wait in ms
      {"GetBundleState", 0}, {"SharedPortSetPermissionsForApp", 0}, {"SharedSetDefaultPermissions", 0},
      {"OptionSetOnlyMainPortCanSend", 500}, {"OptionSetIgnoreErrors", 500}, {"OptionSetAutoOpenPort", 500},
      {"OptionSetBaudrateEmulation", 500}, {"OptionSetPortToPrint", 500}, {"AddBundle", 1000},
      {"DeleteBundle", 1000}, {"BundleAddPort", 1000}, {"BundleDeletePort", 1000}, {"BundleSetMainPortForSide", 1000},
      {"BundleSetRealPortParameters", 1000}, {"BundleSetDynamicParametersForRealPort", 1000},
      {"BundlePortSetPermissions", 1000}, {"BundleGetPortState", 1024}};
  SmallConfig config;
  ASSERT_TRUE(config.ok());
  TestPipeServer server;
  const testsupport::ServiceConnection connection;
  ASSERT_TRUE(connection.connected());
  const LibraryWaits waits;
  ASSERT_TRUE(waits.installed()) << "lumbrex.dll imports no WaitForSingleObject";
  auto call = [](const char* name) { return CallExport(FindExport(name), GoodCall(FindExport(name)).Args()); };
  struct GaveUp { int result; double ms; std::vector<LibraryWaits::Wait> waits; };
  std::vector<std::future<GaveUp>> calls;  // made before the holder, which lets them go first
  testsupport::LinkHolder holder(server, [] { return Add("HOLD"); });
  ASSERT_TRUE(holder.holding());
  // All at once while the link is held: each gives up, no sooner than its wait. What each asked of the link
  // mutex is read from its own thread's waits, so no order among the threads is assumed: a command without a
  // wait only tests the mutex, however late its thread ran.
  for (const auto& c : cases)
    calls.push_back(std::async(std::launch::async, [&] {
      GaveUp gaveUp{};
      const auto start = std::chrono::steady_clock::now();
      gaveUp.waits = LibraryWaits::During([&] { gaveUp.result = call(c.first); });
      gaveUp.ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
      return gaveUp;
    }));
  HANDLE link = nullptr;
  for (size_t i = 0; i < calls.size(); ++i) {
    SCOPED_TRACE(cases[i].first);
    ASSERT_EQ(calls[i].wait_for(std::chrono::seconds(30)), std::future_status::ready) << "waits for ever";
    const GaveUp gaveUp = calls[i].get();
    EXPECT_EQ(gaveUp.result, 0);
    EXPECT_GE(gaveUp.ms, cases[i].second - 10.0);  // the clock may round a wait down by a tick
    ASSERT_FALSE(gaveUp.waits.empty()) << "gave up without waiting for the link";
    EXPECT_EQ(gaveUp.waits.front().timeoutMs, cases[i].second) << "its wait for the link";
    for (const LibraryWaits::Wait& w : gaveUp.waits) EXPECT_LE(w.timeoutMs, cases[i].second) << "a longer wait";
    if (!link) link = gaveUp.waits.front().object;
    EXPECT_EQ(gaveUp.waits.front().object, link) << "every command waits for the same link";
  }
  EXPECT_EQ(server.CommandCount(), 1u) << "a command went out while the link was held";
  holder.Release();  // now each gets through
  EXPECT_EQ(holder.Join(), 1);
  for (const auto& c : cases) EXPECT_EQ(call(c.first), 1) << c.first;
  EXPECT_EQ(server.CommandCount(), 1 + std::size(cases));
}

TEST(Concurrency, EveryReplyReachesItsOwnCaller) {
  // The service refuses the bundles whose name ends in an odd digit: a caller handed another caller's reply sees
  // the wrong result. Once commands flow, the pipe comes and goes under them, the churn ending with a disconnect.
  TestPipeServer server;
  server.SetRule([](const std::string& c) { return TestPipeServer::Send(c[c.size() - 2] % 2 ? "ERROR!" : "OK!"); });
  ASSERT_EQ(ConnectToLocalService(), 1);
  constexpr int kThreads = 6, kCalls = 200;
  std::atomic<bool> done{false};
  auto churn = std::async(std::launch::async, [&] {
    // Until the churn starts the connection stands, so this many get through whatever the scheduling.
    const bool flowing = server.WaitForCommands(kThreads * 10, 30000);
    for (int rounds = 0; !done || rounds == 0; ++rounds) ConnectToLocalService(), DisconnectFromService();
    return flowing;
  });
  std::vector<int> results(kThreads * kCalls);
  std::vector<std::future<void>> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.push_back(std::async(std::launch::async, [&, t] {
      for (int n = t * kCalls; n < (t + 1) * kCalls; ++n) results[n] = Add("T" + std::to_string(n));
    }));
  for (auto& thread : threads) thread.get();
  done = true;
  EXPECT_TRUE(churn.get()) << "commands did not get through on a standing connection";
  // Each command went out whole or not at all, and its caller got its own answer.
  const std::vector<std::string> seen = server.Commands();
  const std::set<std::string> unique(seen.begin(), seen.end());
  size_t arrived = 0;
  for (int n = 0; n < kThreads * kCalls; ++n) {
    const bool sent = unique.count("ADD_BUNDLE 4,T" + std::to_string(n) + "!") != 0;
    arrived += sent;
    EXPECT_EQ(results[n], int(sent && n % 2 == 0)) << n;
  }
  EXPECT_EQ(arrived, seen.size()) << "a command arrived twice, or one nobody sent";
  EXPECT_TRUE(server.WaitForOpenClients(0)) << "a reference or a pipe was left behind";
  EXPECT_EQ(Add("AFTER0"), 0);
}
