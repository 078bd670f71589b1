#include "report.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "report_format.h"

namespace bench {
namespace {

// ---- 1. Registry queries ----------------------------------------------------------

void ListTable(Section& s, const char* exportName, const std::vector<ListRow>& rows) {
  s.Out("\n### `%s`\n\n", exportName);
  s.Out("| Entries | Library (median) | Baseline (median) | Ratio | Library per entry | Baseline per entry | Runs |\n");
  s.Out("|---:|---:|---:|---:|---:|---:|---:|\n");
  for (const ListRow& r : rows) {
    s.Out("| %s | %s | %s | %s | %s | %s | %d |\n", Grouped(r.entries).c_str(), Duration(r.time.library).c_str(),
          Duration(r.time.baseline).c_str(), Number(r.time.Ratio()).c_str(),
          Duration(r.time.library / r.entries).c_str(), Duration(r.time.baseline / r.entries).c_str(), r.reps);
  }
  s.Out("\nProfile of one library call (imports of lumbrex.dll patched with counting wrappers; a separate, untimed run):\n\n");
  s.Out("| Entries | Registry calls library / baseline | Time in registry calls | SafeArrayRedim calls | Time in SafeArrayRedim "
        "| Per Redim | Bytes Redim copies | Share of the call | SafeArrayCopy | Library minus Redim, per entry |\n");
  s.Out("|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n");
  for (const ListRow& r : rows) {
    const double perRedim = r.profile.redimCalls ? r.profile.redimSeconds / r.profile.redimCalls : 0;
    // Wine's SafeArrayRedim moves the data into a fresh block on every growth
    // (dlls/oleaut32/safearray.c): 8 bytes per BSTR already held.
    const long long moved = 8LL * r.entries * (r.entries - 1) / 2;
    s.Out("| %s | %lld / %lld | %s | %lld | %s | %s | %s | %s %% | %s | %s |\n", Grouped(r.entries).c_str(),
          r.profile.registryCalls, r.baselineRegistryCalls, Duration(r.profile.registrySeconds).c_str(),
          r.profile.redimCalls, Duration(r.profile.redimSeconds).c_str(), Duration(perRedim).c_str(),
          Grouped(moved).c_str(),
          Number(100.0 * r.profile.redimSeconds / std::max(r.time.library, 1e-12), "%.1f").c_str(),
          Duration(r.profile.copySeconds).c_str(),
          Duration(std::max(0.0, r.time.library - r.profile.redimSeconds) / r.entries).c_str());
  }
}

// Goals for one list export: ratio at 1,000 entries; growth from 1,000 to the
// largest size no worse than linear plus SafeArrayRedim's copying.
void ListGoals(Section& s, const char* exportName, const std::vector<ListRow>& rows) {
  if (rows.empty()) return;
  const ListRow* at1000 = nullptr;
  for (const ListRow& r : rows)
    if (r.entries == 1000) at1000 = &r;
  if (!at1000) at1000 = &rows.back();
  const ListRow& last = rows.back();
  const double ratio = at1000->time.Ratio();
  std::string why;
  if (ratio > 1.10) {
    const double extra = at1000->time.library - at1000->time.baseline;
    why = "library " + Duration(extra) + " slower: " + Duration(at1000->profile.redimSeconds) + " in " +
          std::to_string(at1000->profile.redimCalls) + " SafeArrayRedim calls (the array grows by one), " +
          Duration(at1000->profile.copySeconds) + " in SafeArrayCopy (ResultArray::CopyTo), " +
          std::to_string(at1000->profile.registryCalls) + " registry calls against " +
          std::to_string(at1000->baselineRegistryCalls);
  }
  s.Goal(std::string("`") + exportName + "` ratio at " + Grouped(at1000->entries) + " entries", Number(ratio),
         "≤ 1.10", ratio <= 1.10, why);
  if (&last != at1000) {
    // Per-entry time without the array's own copying, largest size against 1,000.
    auto net = [](const ListRow& r) { return std::max(0.0, r.time.library - r.profile.redimSeconds) / r.entries; };
    const double growth = net(last) / std::max(net(*at1000), 1e-12);
    const double baseGrowth = (last.time.baseline / last.entries) / (at1000->time.baseline / at1000->entries);
    const bool met = growth <= std::max(1.5, baseGrowth * 1.25);
    std::string detail = "SafeArrayRedim " + Duration(last.profile.redimSeconds) + " of " +
                         Duration(last.time.library) + " at " + Grouped(last.entries) + "; baseline per entry grows " +
                         Number(baseGrowth) + "×";
    if (!met) detail = "per-entry time without Redim grows faster than the baseline's: " + detail;
    s.Goal(std::string("`") + exportName + "` growth " + Grouped(at1000->entries) + " → " + Grouped(last.entries) +
               " (per entry, without SafeArrayRedim)",
           Number(growth) + "×", "linear (≤ 1.5× or the baseline's own)", met, detail);
  }
}

void ParametersTable(Section& s, const RegistryResults& r) {
  const Pair& t = r.parameters;
  const Profile& p = r.parameterProfile;
  s.Out("\n### `BundleGetRealPortParameters`\n\n");
  s.Out("One entry `r|115200,e,7,2,p|1|1`; baseline: the same four registry calls (open, size query, data query, "
        "close) and a straight parse.\n\n");
  s.Out("| Library (median) | Baseline (median) | Ratio | Registry calls library / baseline | Time in registry calls | "
        "Runs |\n|---:|---:|---:|---:|---:|---:|\n");
  s.Out("| %s | %s | %s | %lld / 4 | %s | %d |\n", Duration(t.library).c_str(), Duration(t.baseline).c_str(),
        Number(t.Ratio()).c_str(), p.registryCalls, Duration(p.registrySeconds).c_str(), r.parameterReps);
  std::string why;
  if (t.Ratio() > 1.10)
    why = "library " + Duration(t.library - t.baseline) + " slower with " + std::to_string(p.registryCalls) +
          " registry calls against 4";
  s.Goal("`BundleGetRealPortParameters` ratio", Number(t.Ratio()), "≤ 1.10", t.Ratio() <= 1.10, why);
}

void ArrayTable(Section& s, const std::vector<ArrayRow>& rows) {
  s.Out("\n### The array alone: growing by one element against one SafeArrayCreate\n\n");
  s.Out("A VT_BSTR array (slots left null, no strings, no registry) grown from 0 to N elements as the library's result array grows it "
        "(SafeArrayUnlock, SafeArrayRedim to count + 1, SafeArrayLock), against one SafeArrayCreate of N elements; "
        "medians. Wine's SafeArrayRedim allocates a block of the new size, copies the old elements into it and frees the "
        "old block on every growth (dlls/oleaut32/safearray.c), so N growths copy 8·N·(N−1)/2 bytes.\n\n");
  s.Out("| N | Grown one by one | Per growth | SafeArrayCreate of N | Runs |\n|---:|---:|---:|---:|---:|\n");
  for (const ArrayRow& r : rows)
    s.Out("| %s | %s | %s | %s | %d |\n", Grouped(r.entries).c_str(), Duration(r.grown).c_str(),
          Duration(r.grown / r.entries).c_str(), Duration(r.created).c_str(), r.reps);
}

// ---- 4. Load ------------------------------------------------------------------------

void LoadRows(Section& s, const LoadTimes& dll, const LoadTimes& empty) {
  s.Out("| LoadLibrary + FreeLibrary (median) | %s | %s | %s |\n", Duration(dll.both).c_str(),
        Duration(empty.both).c_str(), Number(dll.both / empty.both).c_str());
  s.Out("| LoadLibrary alone | %s | %s | %s |\n", Duration(dll.load).c_str(), Duration(empty.load).c_str(),
        Number(dll.load / empty.load).c_str());
  s.Out("| FreeLibrary alone | %s | %s | %s |\n", Duration(dll.release).c_str(), Duration(empty.release).c_str(),
        Number(dll.release / empty.release).c_str());
}

}  // namespace

std::string RegistryReport(const RegistryResults& r) {
  Section s;
  s.Out("\n## 1. Registry queries\n\n");
  s.Out("Baseline: the same registry calls made directly (RegOpenKeyExW, RegEnumKeyExW with a 1024-character buffer "
        "and the last-write time / RegEnumValueW with a 128-character buffer and the type, RegCloseKey), the BSTRs "
        "collected and the SAFEARRAY made in one go (SafeArrayCreate with the final count). Each run is timed on its "
        "own (QueryPerformanceCounter, wall time), library and baseline alternately; medians, and the ratio is the "
        "median of the ratios of neighbouring library/baseline pairs. The caller's VariantClear of the result is not timed.\n");
  ListTable(s, "GetBundlesNames", r.bundleNames);
  ListTable(s, "GetPortsNamesByBundleAndSide", r.portNames);
  ParametersTable(s, r);
  ArrayTable(s, r.array);
  ListGoals(s, "GetBundlesNames", r.bundleNames);
  ListGoals(s, "GetPortsNamesByBundleAndSide", r.portNames);
  return s.Text();
}

std::string CommandReport(const CommandResults& r, const Settings& settings) {
  Section s;
  s.Out("\n## 2. Commands: `GetBundleState` round trips\n\n");
  s.Out("Against the stand-in service (`lumbrex-service.exe --foreground`, a child of the benchmark, log discarded), "
        "bundle `BenchState` present so that every reply is `OK!`. Baseline: a raw pipe handle (CreateFileW, "
        "SetNamedPipeHandleState byte mode) writing the same %d bytes `GET_BUNDLE_STATE BenchState!` and reading the "
        "reply one byte per ReadFile up to \"!\". Both connections stay open; batches of %d commands alternate, the "
        "median batch gives the time per command and the ratio is the median of neighbouring batches' ratios.\n\n",
        r.messageBytes, settings.commandsPerBatch);
  if (!r.measured) return s.Text();
  const Pair& t = r.time;
  s.Out("| | Library | Baseline | Ratio |\n|---|---:|---:|---:|\n");
  s.Out("| Time per command (median batch) | %s | %s | %s |\n", Duration(t.library).c_str(),
        Duration(t.baseline).c_str(), Number(t.Ratio()).c_str());
  s.Out("| Ratio of the medians (for comparison) | | | %s |\n", Number(t.library / t.baseline).c_str());
  const std::vector<double>& q = r.ratios;
  s.Out("| Batch-pair ratios, 25th to 75th percentile (the machine's noise) | | | %s to %s |\n",
        Number(q[q.size() / 4]).c_str(), Number(q[(3 * q.size()) / 4]).c_str());
  s.Out("| Commands per second | %s | %s | %s |\n", Grouped((long long)(1 / t.library)).c_str(),
        Grouped((long long)(1 / t.baseline)).c_str(), Number(t.baseline / t.library).c_str());
  s.Out("\nProfile of %d library commands (patched imports; %s per command in this run): calls per command and time "
        "inside them\n\n| Call | Per command | Time per command | Baseline per command |\n|---|---:|---:|---:|\n",
        r.profiled, Duration(r.profiledPer).c_str());
  for (const CallRow& call : r.calls)
    s.Out("| %s | %s | %s | %s |\n", call.name, Number(call.perCommand, "%.1f").c_str(), Duration(call.seconds).c_str(),
          call.baseline);
  std::string why;
  if (t.Ratio() > 1.10)
    why = "median batches " + Duration(t.library) + " against " + Duration(t.baseline) + " (ratio of the medians " +
          Number(t.library / t.baseline) + "). The library makes wineserver round trips per command that the "
          "baseline does not, " + Duration(r.extraSeconds) + " per command in the profile, " +
          Duration(r.mutexSeconds) +
          " of it the link mutex's WaitForSingleObject + ReleaseMutex (the mutex that serialises the process's commands). The rest of "
          "the gap is time in ReadFile waiting for the service's reply, which on a loaded machine swings widely "
          "from batch to batch (compare the two ratios)";
  s.Goal("`GetBundleState` ratio (time per command)", Number(t.Ratio()), "≤ 1.10", t.Ratio() <= 1.10, why);
  return s.Text();
}

std::string LoadReport(const LoadResults& r, const Settings& settings) {
  Section s;
  s.Out("\n## 4. Load: `LoadLibrary` + `FreeLibrary`\n\n");
  if (!r.measured) return s.Text();
  s.Out("Baseline: `lumbrex-bench-empty.dll`, a DLL with only a DllMain, built with the same flags (static runtime). "
        "%d loads each after a first one; mpr.dll and shlwapi.dll (imports of lumbrex.dll) are kept loaded.\n\n",
        settings.loads);
  s.Out("| | lumbrex.dll | Empty DLL | Ratio |\n|---|---:|---:|---:|\n");
  LoadRows(s, r.library, r.empty);
  s.Out("| First load of the process (one sample) | %s | %s | |\n", Duration(r.library.cold).c_str(),
        Duration(r.empty.cold).c_str());
  if (r.hasStripped) {
    s.Out("\nThe same DLL stripped, as cpack packages it (loaded by its full path):\n\n");
    s.Out("| | lumbrex.dll stripped | Empty DLL | Ratio |\n|---|---:|---:|---:|\n");
    LoadRows(s, r.stripped, r.empty);
  }
  return s.Text();
}

}  // namespace bench
