// Load through the library, end to end (issue 4, point 5): several threads
// of one process share its one service connection (Part 2.2 serialises them
// with the link mutex), and several client processes run at once, each with
// its own connection. Every command must succeed within bounded time, and the
// registry must hold exactly what the commands made, read directly and
// through the library's readers.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "e2e/e2e_fixture.h"
#include "lumbrex.h"
#include "support/variants.h"

using namespace e2e;
using testsupport::EnumSubkeyNamesDirect;
using testsupport::EnumValueNamesDirect;
using testsupport::Var;
using Names = std::vector<std::wstring>;

namespace {

class Part2_4_EndToEndLoad : public EndToEndTest {};

const wchar_t* TypeWord(int type) {
  switch (type) {
    case 1: return L"Real";
    case 2: return L"Virtual";
    case 4: return L"Shared";
    default: return L"Switcher";
  }
}

Names Sorted(Names names) {
  std::sort(names.begin(), names.end());
  return names;
}

// The bundle holds exactly what the load scheme leaves, read both ways.
void ExpectLoadResult(const std::wstring& bundle, int rounds) {
  SCOPED_TRACE(bundle);
  for (int side = 0; side <= 1; ++side) {
    const std::vector<LoadPort> expected = LoadExpectedPorts(rounds, side);
    Names expectedNames;
    for (const LoadPort& port : expected) expectedNames.push_back(port.name);
    const Names direct = EnumValueNamesDirect(SideKey(bundle, side));
    EXPECT_EQ(Sorted(direct), Sorted(expectedNames)) << "side " << side;
    EXPECT_EQ(PortNames(bundle, side), direct) << "side " << side;
    for (const LoadPort& port : expected) {
      EXPECT_EQ(ReadString(SideKey(bundle, side), port.name), std::wstring(TypeWord(port.type)) + L"||1|1");
      EXPECT_EQ(PortType(bundle, side, port.name), port.type);
      EXPECT_EQ(PortPermissions(bundle, side, port.name), 3);
    }
    EXPECT_EQ(ReadString(BundleKey(bundle), MainValueName(side)), LoadExpectedMain(rounds, side)) << "side " << side;
    EXPECT_EQ(MainPort(bundle, side), LoadExpectedMain(rounds, side)) << "side " << side;
  }
}

std::wstring ThisFolder() {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring self(path, length);
  return self.substr(0, self.find_last_of(L"\\/") + 1);
}

// One Win32 handle, closed at scope end.
class Handle {
 public:
  explicit Handle(HANDLE h = nullptr) : h_(h) {}
  Handle(Handle&& other) noexcept : h_(other.h_) { other.h_ = nullptr; }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() { if (h_ && h_ != INVALID_HANDLE_VALUE) CloseHandle(h_); }
  HANDLE get() const { return h_; }
 private:
  HANDLE h_;
};

std::string ReadFileText(const std::wstring& path) {
  Handle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          OPEN_EXISTING, 0, nullptr));
  std::string text;
  char buffer[4096];
  DWORD read = 0;
  while (file.get() != INVALID_HANDLE_VALUE && ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr) && read > 0)
    text.append(buffer, read);
  return text;
}

}  // namespace

TEST_F(Part2_4_EndToEndLoad, EightThreadsShareTheOneConnectionEveryCommandSucceeds) {
  constexpr int kThreads = 8;
  constexpr int kRounds = 60;  // 301 commands a thread
  std::vector<std::wstring> failures(kThreads);
  std::vector<int> done(kThreads, 0);
  std::atomic<bool> writing{true};
  std::atomic<int> reads{0}, failedReads{0};
  const auto start = std::chrono::steady_clock::now();
  std::vector<std::thread> threads;
  for (int k = 0; k < kThreads; ++k)
    threads.emplace_back([k, &failures, &done] {
      failures[k] = RunLoadClient(L"T" + std::to_wstring(k), kRounds, &done[k]);
    });
  // The readers run meanwhile on their own thread: they take no lock and
  // must neither fail on a configuration that changes under them nor crash.
  std::thread reader([&] {
    while (writing) {
      Var names;
      if (GetBundlesNames(&names) == 1)
        ++reads;
      else
        ++failedReads;  // only before the first bundle exists
      Var b, ports;
      *b = testsupport::Bstr(L"T0");
      GetPortsNamesByBundleAndSide(b.copy(), 0, &ports);
      Sleep(1);
    }
  });
  for (auto& thread : threads) thread.join();
  writing = false;
  reader.join();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  int total = 0;
  for (int k = 0; k < kThreads; ++k) total += done[k];
  std::printf("load: %d commands from %d threads in %.1f s; %d bundle listings meanwhile\n", total, kThreads, seconds,
              reads.load());

  for (int k = 0; k < kThreads; ++k) EXPECT_EQ(failures[k], L"") << "thread " << k;
  EXPECT_EQ(total, kThreads * (1 + 5 * kRounds));
  EXPECT_LT(seconds, 150.0);
  EXPECT_GT(reads.load(), 0);

  // Consistent at the end: exactly the eight bundles, each as the scheme left it.
  Names expectedBundles;
  for (int k = 0; k < kThreads; ++k) expectedBundles.push_back(L"T" + std::to_wstring(k));
  const Names direct = EnumSubkeyNamesDirect(kRoot);
  EXPECT_EQ(Sorted(direct), Sorted(expectedBundles));
  EXPECT_EQ(BundleNames(), direct);
  for (int k = 0; k < kThreads; ++k) ExpectLoadResult(L"T" + std::to_wstring(k), kRounds);
  // The connection still works for the test itself.
  EXPECT_EQ(State(L"T3"), 1);
}

TEST_F(Part2_4_EndToEndLoad, FourClientProcessesAtOnceEveryCommandSucceeds) {
  constexpr int kProcesses = 4;
  constexpr int kRounds = 60;
  // The children die with this process if it is killed (job object).
  Handle job(CreateJobObjectW(nullptr, nullptr));
  ASSERT_NE(job.get(), nullptr);
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits);

  wchar_t temp[MAX_PATH];
  const DWORD tempLength = GetTempPathW(MAX_PATH, temp);
  ASSERT_GT(tempLength, 0u);
  std::vector<Handle> processes;
  std::vector<std::wstring> outputs;
  const auto start = std::chrono::steady_clock::now();
  for (int k = 0; k < kProcesses; ++k) {
    const std::wstring bundle = L"Proc" + std::to_wstring(k);
    outputs.push_back(std::wstring(temp, tempLength) + L"lumbrex-e2e-client" + std::to_wstring(k) + L".txt");
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    Handle output(CreateFileW(outputs.back().c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_NE(output.get(), INVALID_HANDLE_VALUE);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = output.get();
    startup.hStdError = output.get();
    std::wstring command =
        L"\"" + ThisFolder() + L"e2e_client.exe\" " + bundle + L" " + std::to_wstring(kRounds);
    PROCESS_INFORMATION info{};
    ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info))
        << "error " << GetLastError();
    AssignProcessToJobObject(job.get(), info.hProcess);
    CloseHandle(info.hThread);
    processes.emplace_back(info.hProcess);
  }
  std::vector<HANDLE> waits;
  for (const Handle& process : processes) waits.push_back(process.get());
  ASSERT_EQ(WaitForMultipleObjects(kProcesses, waits.data(), TRUE, 180000), WAIT_OBJECT_0) << "clients still running";
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("load: %d client processes x %d commands in %.1f s\n", kProcesses, 1 + 5 * kRounds, seconds);
  for (int k = 0; k < kProcesses; ++k) {
    DWORD code = ~0u;
    GetExitCodeProcess(processes[k].get(), &code);
    EXPECT_EQ(code, 0u) << "client " << k << ": " << ReadFileText(outputs[k]);
    DeleteFileW(outputs[k].c_str());
  }

  Names expectedBundles;
  for (int k = 0; k < kProcesses; ++k) expectedBundles.push_back(L"Proc" + std::to_wstring(k));
  const Names direct = EnumSubkeyNamesDirect(kRoot);
  EXPECT_EQ(Sorted(direct), Sorted(expectedBundles));
  EXPECT_EQ(BundleNames(), direct);
  for (int k = 0; k < kProcesses; ++k) ExpectLoadResult(L"Proc" + std::to_wstring(k), kRounds);
}
