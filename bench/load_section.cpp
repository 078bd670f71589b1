// 4. Load: LoadLibrary + FreeLibrary of lumbrex.dll against an empty DLL built
// with the same flags (and, when given, the stripped DLL as packaged).
#include "sections.h"

namespace bench {
namespace {

LoadTimes TimeLoads(const wchar_t* dll, int loads) {
  LoadTimes times;
  std::vector<double> both, load, release;
  for (int i = 0; i <= loads; ++i) {
    const int64_t t0 = Now();
    HMODULE module = LoadLibraryW(dll);
    const int64_t t1 = Now();
    if (!module) {
      Fail("LoadLibrary of %ls failed: %lu", dll, GetLastError());
      return times;
    }
    FreeLibrary(module);
    const int64_t t2 = Now();
    if (i == 0) {
      times.cold = Seconds(t2 - t0);
      continue;
    }
    both.push_back(Seconds(t2 - t0));
    load.push_back(Seconds(t1 - t0));
    release.push_back(Seconds(t2 - t1));
  }
  times.both = Median(both);
  times.load = Median(load);
  times.release = Median(release);
  return times;
}

}  // namespace

LoadResults MeasureLoad(const Settings& settings) {
  LoadResults results;
  if (GetModuleHandleW(L"lumbrex.dll")) {
    Fail("lumbrex.dll is already loaded");
    return results;
  }
  // Its imports that this program does not link already stay loaded, so the
  // steady-state figure is the DLL's own (mapping, relocation, CRT and static
  // objects); the first load of the process brings them in.
  LoadLibraryW(L"mpr.dll");
  LoadLibraryW(L"shlwapi.dll");
  results.library = TimeLoads(L"lumbrex.dll", settings.loads);
  results.empty = TimeLoads(L"lumbrex-bench-empty.dll", settings.loads);
  if (!settings.strippedDll.empty()) {
    results.stripped = TimeLoads(settings.strippedDll.c_str(), settings.loads);
    results.hasStripped = true;
  }
  results.measured = true;
  return results;
}

}  // namespace bench
