// Issue 9 point 5: 8 threads mixing every export for a bounded time against
// the stand-in service lumbrex-service.exe, two of them connecting and
// disconnecting (locally and through ConnectToRemoteService to ".") the
// whole time. Asserted: no crash, no deadlock (every thread ends within its
// time plus 30 s), every result 0 or 1 with an allowed last-error code, and
// consistent results: each reading export gives the same result and the same
// output every time (the commands work on bundles and ports of their own, and
// send the options' stored values back, so the configuration read stays
// SmallConfig).
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "export_table.h"
#include "lumbrex.h"
#include "small_config.h"
#include "support/service_process.h"

using namespace reliability;

namespace {

constexpr ULONGLONG kSoakMs = 10000;

// A printable form of an out-VARIANT, arrays included.
std::string Describe(const VARIANT& v) {
  std::ostringstream s;
  s << "vt" << v.vt << ":";
  if (v.vt == VT_BSTR) {
    for (UINT i = 0; v.bstrVal && i < SysStringLen(v.bstrVal); ++i) s << static_cast<char>(v.bstrVal[i]);
  } else if (v.vt == VT_I4 || v.vt == VT_INT) {
    s << v.lVal;
  } else if (v.vt & VT_ARRAY) {
    LONG lo = 0, hi = -1;
    SafeArrayGetLBound(v.parray, 1, &lo);
    SafeArrayGetUBound(v.parray, 1, &hi);
    s << "[";
    for (LONG i = lo; i <= hi; ++i) {
      VARIANT e;
      VariantInit(&e);
      if ((v.vt & VT_TYPEMASK) == VT_BSTR) {
        BSTR b = nullptr;
        SafeArrayGetElement(v.parray, &i, &b);
        e.vt = VT_BSTR;
        e.bstrVal = b;
      } else {
        SafeArrayGetElement(v.parray, &i, &e);
      }
      s << Describe(e) << ",";
      VariantClear(&e);
    }
    s << "]";
  }
  return s.str();
}

struct Shared {
  ULONGLONG end = 0;
  std::atomic<long> calls{0}, ones{0}, connects{0}, problems{0};
  CRITICAL_SECTION lock;
  std::vector<std::string> messages;
  void Problem(const std::string& m) {
    ++problems;
    EnterCriticalSection(&lock);
    if (messages.size() < 20) messages.push_back(m);
    LeaveCriticalSection(&lock);
  }
};

struct Worker {
  Shared* shared;
  int index;
};

// The option values SmallConfig stores, sent back by the option setters.
int OptionValue(const std::string& name) {
  if (name == "OptionSetIgnoreErrors") return 0;
  return 1;
}

DWORD WINAPI ConnectLoop(void* p) {
  Worker* w = static_cast<Worker*>(p);
  VARIANT server, empty;
  VariantInit(&server);
  VariantInit(&empty);
  server.vt = empty.vt = VT_BSTR;
  server.bstrVal = SysAllocString(L".");
  empty.bstrVal = SysAllocString(L"");
  while (GetTickCount64() < w->shared->end) {
    const int r = w->index == 0 ? ConnectToLocalService() : ConnectToRemoteService(server, empty, empty);
    if (r != 0 && r != 1) w->shared->Problem("connect result " + std::to_string(r));
    ++w->shared->connects;
    Sleep(5);
    if (DisconnectFromService() != 1) w->shared->Problem("disconnect did not return 1");
    Sleep(2);
  }
  VariantClear(&server);
  VariantClear(&empty);
  return 0;
}

DWORD WINAPI MixLoop(void* p) {
  Worker* w = static_cast<Worker*>(p);
  struct Entry {
    const ExportInfo* info;
    FARPROC fn;
    std::unique_ptr<GoodCall> call;
    std::string first;  // the first observation of a reader
    bool seen = false;
  };
  std::vector<Entry> entries;
  const std::wstring bundle = L"S" + std::to_wstring(w->index);
  for (const auto& e : AllExports()) {
    FARPROC fn = Resolve(e.name);
    if (!fn) continue;
    const std::string name = e.name;
    // The loops of their own do the connecting; no export clears the code.
    if (name == "ConnectToLocalService" || name == "ConnectToRemoteService" || name == "DisconnectFromService")
      continue;
    Entry entry{&e, fn, std::unique_ptr<GoodCall>(new GoodCall(e)), std::string(), false};
    if (e.command && std::string(e.kinds).size() >= 1 && e.kinds[0] == 'V') {
      entry.call->SetText(0, bundle.c_str());             // a bundle of this thread's own
      if (std::string(e.kinds).size() >= 3) entry.call->SetText(1, L"COM9");  // a port nobody reads
    }
    entries.push_back(std::move(entry));
  }
  size_t k = static_cast<size_t>(w->index);
  while (GetTickCount64() < w->shared->end) {
    Entry& e = entries[k++ % entries.size()];
    CallArgs args = e.call->Args();
    if (std::string(e.info->kinds) == "I") args.ints[0] = OptionValue(e.info->name);
    const int r = CallExport(e.fn, e.info->kinds, args);
    const unsigned code = QKGetLastError();
    ++w->shared->calls;
    const bool isQk = std::string(e.info->name) == "QKGetLastError";
    if (!isQk && r != 0 && r != 1) w->shared->Problem(std::string(e.info->name) + " result " + std::to_string(r));
    if (!AllowedLastError(*e.info, code))
      w->shared->Problem(std::string(e.info->name) + " last error " + std::to_string(code));
    if (r == 1) ++w->shared->ones;
    if (!e.info->command && !isQk) {
      std::string seen = std::to_string(r);
      for (int o = 0; o < CountKind(e.info->kinds, 'O'); ++o) seen += " " + Describe(e.call->OutVariant(o));
      // The other threads' bundles come and go: the bundle list must hold
      // B1 and B2 whatever else it holds at the time.
      if (std::string(e.info->name) == "GetBundlesNames") {
        const std::string all = Describe(e.call->OutVariant(0));
        seen = std::to_string(r) + (all.find("vt8:B1,") != std::string::npos ? " B1" : "") +
               (all.find("vt8:B2,") != std::string::npos ? " B2" : "");
      }
      for (int o = 0; o < CountKind(e.info->kinds, 'U'); ++o) seen += " " + std::to_string(e.call->OutInt(o));
      if (!e.seen) {
        e.first = seen;
        e.seen = true;
      } else if (seen != e.first) {
        w->shared->Problem(std::string(e.info->name) + " gave " + seen + " after " + e.first);
      }
    }
    e.call->ClearOuts();
  }
  return 0;
}

}  // namespace

TEST(Issue9_ThreadSafety, EightThreadsMixingEveryExportWithConnectsAndDisconnects) {
  SmallConfig config;
  ASSERT_TRUE(config.ok());
  testsupport::ServiceProcess service;
  ASSERT_TRUE(service.Ready()) << service.Problem();
  Shared shared;
  InitializeCriticalSection(&shared.lock);
  ASSERT_EQ(ConnectToLocalService(), 1);
  shared.end = GetTickCount64() + kSoakMs;
  Worker workers[8];
  HANDLE threads[8];
  for (int i = 0; i < 8; ++i) {
    workers[i] = Worker{&shared, i};
    threads[i] = CreateThread(nullptr, 0, i < 2 ? ConnectLoop : MixLoop, &workers[i], 0, nullptr);
    ASSERT_NE(threads[i], nullptr);
  }
  const DWORD wait = WaitForMultipleObjects(8, threads, TRUE, static_cast<DWORD>(kSoakMs + 30000));
  if (wait == WAIT_TIMEOUT) {
    ADD_FAILURE() << "deadlock: a thread did not end within 30 s after the soak";
    std::fflush(stdout);
    TerminateProcess(GetCurrentProcess(), 3);
  }
  for (HANDLE t : threads) CloseHandle(t);
  std::printf("SOAK calls=%ld ok=%ld connects=%ld problems=%ld in %llu ms\n", shared.calls.load(),
              shared.ones.load(), shared.connects.load(), shared.problems.load(), kSoakMs);
  for (const auto& m : shared.messages) ADD_FAILURE() << m;
  EXPECT_EQ(shared.problems.load(), 0);
  EXPECT_GT(shared.calls.load(), 1000);
  EXPECT_GT(shared.connects.load(), 100);
  for (int i = 0; i < 8; ++i) DisconnectFromService();
  // The service is still serving and the library connects again.
  EXPECT_EQ(ConnectToLocalService(), 1);
  EXPECT_EQ(DisconnectFromService(), 1);
  DeleteCriticalSection(&shared.lock);
}
