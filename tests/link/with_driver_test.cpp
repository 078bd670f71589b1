// With the stand-in port-sharing driver loaded: SharedGetPortApplications against the answers and failures each
// case gives the driver; then every export over and over, against the small configuration, the fake service
// and the driver answering app.exe on COM2: handles and memory stay flat, and threads mixing all exports meet
// no crash, no deadlock and no changing answer.
#include <atomic>
#include <cstdio>

#include "driver/control/answer_builder.h"
#include "link/link_util.h"
#include "driver/control/standin_driver.h"
#include "support/driver_owners.h"
#include "support/export_table.h"
#include "support/service_connection.h"
#include "support/small_config.h"

using namespace linktest;
using namespace export_table;
using testsupport::SmallConfig;
using namespace standin_driver;

namespace {

// Queries the driver has seen, loading it first if need be.
uint32_t DriverRequests() {
  const std::wstring why = EnsureStandinRunning();
  EXPECT_TRUE(why.empty()) << std::string(why.begin(), why.end());
  StandinLog log{};
  StandinGetLog(&log);
  return log.requests;
}

struct Case {
  const char* name;
  std::vector<uint8_t> answer;
  const wchar_t* rows;                       // the result, as Describe writes it
  uint32_t requests = 1, lastBuffer = 1024;  // the requests the driver saw, and the bytes the last one offered
  uint32_t failures = 0;                     // so many requests fail first, with status
  int32_t status = 0;
};

void RunCases(const std::vector<Case>& cases) {
  const testsupport::StandinDriverInUse driver;
  ASSERT_EQ(driver.problem(), L"");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(StandinReset(), 0u);
    ASSERT_EQ(StandinSetAnswer(c.answer), 0u);
    ASSERT_EQ(StandinFailNext(c.failures, c.status), 0u);
    PresetLastError();
    Var port, result;
    *port = testsupport::Bstr(L"Com3"), *result = testsupport::I4(5);
    EXPECT_EQ(SharedGetPortApplications(port.copy(), result.get()), 1);
    EXPECT_EQ(Describe(*result), c.rows);
    EXPECT_EQ(QKGetLastError(), 13u);
    StandinLog log{};
    ASSERT_EQ(StandinGetLog(&log), 0u);
    EXPECT_EQ(log.requests, c.requests);
    ASSERT_GT(log.logged, 0u);
    EXPECT_EQ(log.entries[0].inputValue, 1u);
    EXPECT_EQ(log.entries[0].outputLength, 1024u);
    EXPECT_EQ(log.entries[log.logged - 1].outputLength, c.lastBuffer);
  }
}

const std::vector<uint8_t> kOneRecord = BuildAnswer({{u"COM3", u"A"}});
const wchar_t* const kA = L"[[A,#0,#0,#0]]";

// What every export is called against: the small configuration, and the driver answering app.exe on COM2.
struct SmallConfigWithDriver {
  SmallConfig config;
  testsupport::StandinDriverInUse driver;
  SmallConfigWithDriver() {
    EXPECT_EQ(driver.problem(), L"");
    EXPECT_EQ(StandinSetAnswer(BuildAnswer({{u"COM2", u"app.exe"}})), 0u);
  }
};

bool NameStarts(const ExportInfo& e, const char* prefix) { return std::string(e.name).rfind(prefix, 0) == 0; }

}  // namespace

// The walk and the request loop are the plain code's (tests/plain); here the
// rows as VARIANTs, and the driver's statuses as the loop gets them through
// the system: a failure is retried, more data is a failure, too small doubles.
TEST(PortApplications, ListsTheApplicationsHoldingThePort) {
  std::vector<RecordSpec> many(12, {u"COM9", u"filler-application-xxxxxxxxxx"});
  many.push_back({u"COM3", u"Late"});
  RunCases({
      {"values as Data0, Data2, Data1",
       BuildAnswer({{u"COM3", u"term.exe", 0, 10, 11, 12}, {u"COM3", u"big.exe", 0, 0xFFFFFFFF}}),
       L"[[term.exe,#10,#12,#11],[big.exe,#-1,#0,#0]]"},
      {"no record for the port", BuildAnswer({{u"COM33", u"A"}}), L"<empty>"},
      {"more than 1024 bytes", BuildAnswer(many), L"[[Late,#0,#0,#0]]", 2, 2048},
      {"fails once", kOneRecord, kA, 2, 1024, 1, STANDIN_STATUS_UNSUCCESSFUL},
      {"more data is a plain failure", kOneRecord, kA, 2, 1024, 1, STANDIN_STATUS_BUFFER_OVERFLOW},
  });
}

TEST(Leaks, EveryExportKeepsHandlesAndMemoryFlat) {
  // 500 calls: a handle kept per call shows as +500 against a tolerance of 4, and a string or an array kept per
  // call (17 bytes or more) passes the 8 KiB heap tolerance, which covers the blocks Wine's pipe I/O may have
  // in flight at a reading. Smaller leaks are the long run's (LUMBREX_LEAK_CALLS).
  const long calls = EnvNumber("LUMBREX_LEAK_CALLS", 500);
  SmallConfigWithDriver setting;
  TestPipeServer server(64);
  for (const ExportInfo& e : AllExports()) {
    SCOPED_TRACE(e.name);
    if (e.command) {
      WaitNamedPipeW(TestPipeServer::kDefaultPipePath, 5000);  // the listener after the last export's disconnects
      ASSERT_EQ(ConnectToLocalService(), 1);
    }
    GoodCall good(e);
    long ones = 0;
    size_t commands = server.CommandCount();
    auto run = [&](long n) {
      for (long i = 0; i < n; ++i, good.ClearOuts()) {
        // A reconnect's listener.
        if (NameStarts(e, "ConnectTo")) WaitNamedPipeW(TestPipeServer::kDefaultPipePath, 5000);
        ones += CallExport(e, good.Args()) == 1;
      }
      // Replies are read ahead and a reconnect swaps pipes: let the service catch up, so each reading finds it idle.
      if (e.command) { EXPECT_TRUE(server.WaitForCommands(commands += n, 30000)); }
      if (NameStarts(e, "ConnectTo")) { EXPECT_TRUE(server.WaitForOpenClients(1)); }
    };
    run(100);
    const uint32_t requests = DriverRequests();
    const long long handles = OpenHandles(), heap = HeapBusyBytes(), bytes = PrivateBytes();
    const ULONGLONG start = GetTickCount64();
    ones = 0;
    run(calls);
    const long long handleDelta = OpenHandles() - handles, heapDelta = HeapBusyBytes() - heap;
    const long long bytesDelta = static_cast<long long>(PrivateBytes()) - bytes;
    std::printf("%-38s %ld calls %6llu ms: handles %+lld, private bytes %+lld, heap %+lld\n", e.name, calls,
                GetTickCount64() - start, handleDelta, bytesDelta, heapDelta);
    const std::string name = e.name;
    if (name != "QKGetLastError") { EXPECT_EQ(ones, name == "BundleRealPortAreParametersDynamic" ? 0 : calls); }
    if (name == "SharedGetPortApplications") { EXPECT_EQ(DriverRequests() - requests, uint32_t(calls)); }
    EXPECT_LE(handleDelta, 4);  // Wine's pipe I/O holds a handle or two while in flight
    EXPECT_LE(bytesDelta, 256 * 1024);
    EXPECT_LE(heapDelta, 8192);
  }
  DropConnection();
}

TEST(Soak, ThreadsMixingEveryExport) {
  // Thread 0 connects (locally and to ".") and disconnects all the time; four more call every other export in
  // turn, each from its own place in the table, until the time is up and each has called every export of its
  // share at least once, however late it started on a busy machine. The registry and the driver's answer do not
  // change, so a reading export answers under the threads what it answers alone; a command gives 0 or 1.
  const long seconds = EnvNumber("LUMBREX_SOAK_SECONDS", 2);
  SmallConfigWithDriver setting;
  TestPipeServer server;
  const auto& all = AllExports();
  auto isConnection = [](const ExportInfo& e) {
    return NameStarts(e, "ConnectTo") || NameStarts(e, "DisconnectFrom");
  };
  auto answer = [](const ExportInfo& e, GoodCall& good) {
    std::wstring seen = std::to_wstring(CallExport(e, good.Args()));
    for (int o = 0; o < OutVariantCount(e); ++o) seen += L" " + Describe(good.OutVariant(o));
    for (int o = 0; o < OutIntegerCount(e); ++o) seen += L" " + std::to_wstring(good.OutInt(o));
    good.ClearOuts();
    return seen;
  };
  std::vector<std::wstring> alone(all.size());
  for (size_t at = 0; at < all.size(); ++at) {
    GoodCall good(all[at]);
    if (!all[at].command && !isConnection(all[at]) && !NameStarts(all[at], "QKGetLastError"))
      alone[at] = answer(all[at], good);
  }
  const ULONGLONG end = GetTickCount64() + seconds * 1000;
  std::atomic<long> calls{0}, problems{0};
  auto mix = [&](size_t k) {
    std::vector<std::unique_ptr<GoodCall>> good;
    std::vector<bool> share(all.size()), called(all.size());
    for (size_t at = 0; at < all.size(); ++at) {
      good.emplace_back(new GoodCall(all[at]));
      share[at] = (k == 0) == isConnection(all[at]) && !NameStarts(all[at], "QKGetLastError");
    }
    auto left = std::count(share.begin(), share.end(), true);
    for (size_t i = k * 9, at = i % all.size(); left > 0 || GetTickCount64() < end; at = ++i % all.size()) {
      if (!share[at]) continue;
      const ExportInfo& e = all[at];
      const std::wstring seen = answer(e, *good[at]);
      const bool wrong = alone[at].empty() ? seen != L"0" && seen != L"1" : seen != alone[at];
      if (wrong && problems++ < 10)
        ADD_FAILURE() << e.name << " gave " << testing::PrintToString(seen) << ", alone "
                      << testing::PrintToString(alone[at]);
      if (!called[at]) called[at] = true, --left;
      ++calls;
    }
  };
  std::vector<std::future<void>> threads;
  for (size_t k = 0; k < 5; ++k) threads.push_back(std::async(std::launch::async, mix, k));
  for (auto& thread : threads) {
    EXPECT_EQ(thread.wait_for(std::chrono::seconds(seconds + 60)), std::future_status::ready) << "deadlock";
  }
  std::printf("soak: %ld calls in %ld s\n", calls.load(), seconds);
  EXPECT_EQ(problems.load(), 0);
  DropConnection();
  const testsupport::ServiceConnection connection;
  EXPECT_TRUE(connection.connected());
  EXPECT_EQ(Add("AFTER"), 1);
}
