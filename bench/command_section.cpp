// 2. Commands: GetBundleState round trips against the stand-in service,
// against a raw pipe client sending the same bytes, with a profile of the
// calls one library command makes.
#include <algorithm>
#include <cstring>

#include "import_hooks.h"
#include "launcher.h"
#include "registry_baseline.h"
#include "sections.h"

namespace bench {
namespace {

using lumbrex::service::ServiceProcess;

// The baseline client: the same bytes on a raw pipe handle, the reply read one
// byte at a time up to "!".
struct RawClient {
  lumbrex::UniqueHandle pipe;
  RawClient() {
    // The instance the library took is replaced by the service a moment later:
    // wait for a free one (bounded).
    for (int attempt = 0; attempt < 50 && !pipe.valid(); ++attempt) {
      pipe.reset(CreateFileW(ServiceProcess::PipePath(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                             nullptr));
      if (!pipe.valid() && !WaitNamedPipeW(ServiceProcess::PipePath(), 100)) Sleep(20);
    }
    DWORD mode = PIPE_READMODE_BYTE | PIPE_WAIT;
    if (pipe.valid()) SetNamedPipeHandleState(pipe.get(), &mode, nullptr, nullptr);
  }
  bool Command(const char* message, DWORD length) {
    DWORD done = 0;
    if (!WriteFile(pipe.get(), message, length, &done, nullptr)) return false;
    char reply[256];
    DWORD held = 0;
    for (;;) {
      if (held >= 255 || !ReadFile(pipe.get(), reply + held, 1, &done, nullptr)) return false;
      held += done;
      if (held > 0 && reply[held - 1] == '!') break;
    }
    return held >= 2 && (reply[0] == 'O' || reply[0] == 'o') && (reply[1] == 'K' || reply[1] == 'k');
  }
};

}  // namespace

namespace {

// Neighbouring batches of the library's command and the raw client's, and
// the medians of their times and of their ratios.
void TimeBatches(const Library& lib, const Settings& settings, const VARIANT& name, RawClient& raw,
                 const char* message, DWORD length, CommandResults* results) {
  int libraryOk = 0, rawOk = 0, total = 0;
  auto libraryBatch = [&] {
    for (int i = 0; i < settings.commandsPerBatch; ++i) libraryOk += lib.getBundleState(name);
  };
  auto rawBatch = [&] {
    for (int i = 0; i < settings.commandsPerBatch; ++i) rawOk += raw.Command(message, length);
  };
  std::vector<double> a, b, r;
  libraryBatch(), rawBatch();  // warm-up
  total += settings.commandsPerBatch;
  for (int i = 0; i < settings.commandBatches; ++i) {
    int64_t t0 = Now();
    libraryBatch();
    int64_t t1 = Now();
    rawBatch();
    int64_t t2 = Now();
    a.push_back(Seconds(t1 - t0) / settings.commandsPerBatch);
    b.push_back(Seconds(t2 - t1) / settings.commandsPerBatch);
    r.push_back(a.back() / b.back());
    total += settings.commandsPerBatch;
  }
  if (libraryOk != total || rawOk != total)
    Fail("GetBundleState: %d and %d of %d answered OK", libraryOk, rawOk, total);
  results->time = {Median(a), Median(b), Median(r)};
  std::sort(r.begin(), r.end());
  results->ratios = r;
}

// Which calls one library command makes, and their time.
void ProfileCommand(const Library& lib, const Settings& settings, const VARIANT& name, CommandResults* results) {
  results->profiled = settings.smoke ? 5 : 500;
  PatchImports(lib.module);
  ResetCallStats();
  const int64_t p0 = Now();
  for (int i = 0; i < results->profiled; ++i) lib.getBundleState(name);
  results->profiledPer = Seconds(Now() - p0) / results->profiled;
  UnpatchImports(lib.module);
  for (const char* fn : {"WaitForSingleObject", "ReleaseMutex", "DuplicateHandle", "CloseHandle", "WideCharToMultiByte",
                         "WriteFile", "ReadFile"}) {
    const CallStat* s = FindCallStat(fn);
    const double per = Seconds(s->ticks) / results->profiled;
    const char* baseline = std::strcmp(fn, "WriteFile") == 0 ? "1" : std::strcmp(fn, "ReadFile") == 0 ? "3" : "0";
    if (std::strcmp(baseline, "0") == 0) results->extraSeconds += per;
    if (std::strcmp(fn, "WaitForSingleObject") == 0 || std::strcmp(fn, "ReleaseMutex") == 0)
      results->mutexSeconds += per;
    results->calls.push_back({fn, double(s->calls) / results->profiled, per, baseline});
  }
}

}  // namespace

CommandResults MeasureCommands(const Library& lib, const Settings& settings) {
  CommandResults results;
  const char message[] = "GET_BUNDLE_STATE BenchState!";
  const DWORD length = DWORD(std::strlen(message));
  results.messageBytes = int(length);
  WipeRoot();
  {
    Key state;
    CreatePath(std::wstring(kRoot) + L"\\BenchState", &state);
  }
  ServiceProcess service;
  if (!service.Ready()) {
    Fail("the service did not start: %s", service.Problem().c_str());
    return results;
  }
  if (lib.connect() != 1) {
    Fail("ConnectToLocalService failed");
    return results;
  }
  RawClient raw;
  if (!raw.pipe.valid()) {
    Fail("the baseline client cannot open the pipe: %lu", GetLastError());
    return results;
  }
  lumbrex::UniqueVariant name;
  SetText(&name, L"BenchState");
  TimeBatches(lib, settings, *name.get(), raw, message, length, &results);
  ProfileCommand(lib, settings, *name.get(), &results);
  lib.disconnect();
  results.measured = true;
  WipeRoot();
  return results;
}

}  // namespace bench
