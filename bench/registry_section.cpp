// 1. Registry queries: the list exports over growing configurations and the
// parameter getter on one entry, each against its baseline
// (registry_baseline.h), with a profile of one library call; and the result
// array's own growth without the registry.
#include <cstdio>
#include <cstring>

#include "import_hooks.h"
#include "registry_baseline.h"
#include "sections.h"

namespace bench {

using lumbrex::UniqueVariant;

namespace {

// One library call with lumbrex.dll's imports patched: which registry and
// SAFEARRAY calls it makes, and their time.
Profile ProfileOnce(HMODULE module, const std::function<void()>& call) {
  PatchImports(module);
  ResetCallStats();
  call();
  UnpatchImports(module);
  Profile p;
  for (const char* name : {"RegOpenKeyExW", "RegEnumKeyExW", "RegEnumValueW", "RegQueryValueExW", "RegCloseKey"}) {
    p.registryCalls += FindCallStat(name)->calls;
    p.registrySeconds += Seconds(FindCallStat(name)->ticks);
  }
  p.redimCalls = FindCallStat("SafeArrayRedim")->calls;
  p.redimSeconds = Seconds(FindCallStat("SafeArrayRedim")->ticks);
  p.copyCalls = FindCallStat("SafeArrayCopy")->calls;
  p.copySeconds = Seconds(FindCallStat("SafeArrayCopy")->ticks);
  p.allocCalls = FindCallStat("SysAllocString")->calls;
  return p;
}

// The array's own cost, without the registry: a VT_BSTR array grown from 0 to
// N one element at a time as ResultArray does it (unlock, SafeArrayRedim, lock)
// against one SafeArrayCreate of N (the slots stay null: no strings).
std::vector<ArrayRow> ArrayAlone(const Settings& settings) {
  std::vector<ArrayRow> rows;
  for (int n : settings.sizes) {
    const int reps = settings.smoke ? 3 : (n >= 10000 ? 5 : 15);
    std::vector<double> grown, created;
    for (int r = 0; r < reps; ++r) {
      int64_t t0 = Now();
      SAFEARRAYBOUND bound{0, 0};
      SAFEARRAY* array = SafeArrayCreate(VT_BSTR, 1, &bound);
      SafeArrayLock(array);
      for (int i = 0; i < n; ++i) {
        SAFEARRAYBOUND next{ULONG(i + 1), 0};
        SafeArrayUnlock(array);
        SafeArrayRedim(array, &next);
        SafeArrayLock(array);
      }
      int64_t t1 = Now();
      SafeArrayUnlock(array);
      SafeArrayDestroy(array);
      int64_t t2 = Now();
      SAFEARRAYBOUND all{ULONG(n), 0};
      SAFEARRAY* once = SafeArrayCreate(VT_BSTR, 1, &all);
      int64_t t3 = Now();
      SafeArrayDestroy(once);
      grown.push_back(Seconds(t1 - t0));
      created.push_back(Seconds(t3 - t2));
    }
    rows.push_back({n, reps, Median(grown), Median(created)});
  }
  return rows;
}

// The results of one list query, freed untimed between calls.
struct ListOuts {
  UniqueVariant a, b;
  void Clear() {
    a.reset();
    b.reset();
  }
};

// GetBundlesNames over N subkeys of the root, for each size.
void BundleNames(const Library& lib, const Settings& settings, RegistryResults* results) {
  ListOuts out;
  WipeRoot();
  int bundles = 0;
  for (int n : settings.sizes) {
    GrowBundles(&bundles, n);
    lib.getBundlesNames(out.a.get());
    BaselineBundlesNames(out.b.get());
    if (!SameStrings(*out.a.get(), *out.b.get(), n)) Fail("GetBundlesNames: not the same %d names as the baseline", n);
    out.Clear();
    const int reps = settings.RepsFor(n);
    const Pair t = TimeAlternately(
        reps, [&] { lib.getBundlesNames(out.a.get()); }, [&] { BaselineBundlesNames(out.b.get()); },
        [&] { out.Clear(); });
    const Profile p = ProfileOnce(lib.module, [&] { lib.getBundlesNames(out.a.get()); });
    out.Clear();
    g_baselineRegistryCalls = 0;
    BaselineBundlesNames(out.b.get());
    out.Clear();
    results->bundleNames.push_back({n, reps, t, p, g_baselineRegistryCalls});
    std::fprintf(stderr, "GetBundlesNames %d: %.3g / %.3g s\n", n, t.library, t.baseline);
  }
}

// GetPortsNamesByBundleAndSide over N values of root\P\IN, for each size.
void PortNames(const Library& lib, const Settings& settings, RegistryResults* results) {
  ListOuts out;
  WipeRoot();
  int ports = 0;
  UniqueVariant bundle;
  SetText(&bundle, L"P");
  for (int n : settings.sizes) {
    GrowPorts(&ports, n);
    lib.getPortsNames(*bundle.get(), 0, out.a.get());
    BaselinePortsNames(L"P", 0, out.b.get());
    if (!SameStrings(*out.a.get(), *out.b.get(), n))
      Fail("GetPortsNamesByBundleAndSide: not the same %d names as the baseline", n);
    out.Clear();
    const int reps = settings.RepsFor(n);
    const Pair t = TimeAlternately(
        reps, [&] { lib.getPortsNames(*bundle.get(), 0, out.a.get()); },
        [&] { BaselinePortsNames(L"P", 0, out.b.get()); }, [&] { out.Clear(); });
    const Profile p = ProfileOnce(lib.module, [&] { lib.getPortsNames(*bundle.get(), 0, out.a.get()); });
    out.Clear();
    g_baselineRegistryCalls = 0;
    BaselinePortsNames(L"P", 0, out.b.get());
    out.Clear();
    results->portNames.push_back({n, reps, t, p, g_baselineRegistryCalls});
    std::fprintf(stderr, "GetPortsNamesByBundleAndSide %d: %.3g / %.3g s\n", n, t.library, t.baseline);
  }
}

// BundleGetRealPortParameters on one entry.
void PortParameters(const Library& lib, const Settings& settings, RegistryResults* results) {
  WipeRoot();
  {
    Key side;
    CreatePath(SidePath(L"Q", LUMBREX_SIDE_IN), &side);
    SetEntry(side.get(), L"COM3", L"r|115200,e,7,2,p|1|1");
  }
  UniqueVariant qBundle, port;
  SetText(&qBundle, L"Q");
  SetText(&port, L"COM3");
  int v[5] = {}, w[5] = {};
  auto libraryRead = [&] {
    return lib.getRealPortParameters(*qBundle.get(), 0, *port.get(), &v[0], &v[1], &v[2], &v[3], &v[4]);
  };
  if (libraryRead() != 1 || BaselineRealPortParameters(L"Q", 0, L"COM3", w) != 1 || std::memcmp(v, w, sizeof v) != 0 ||
      v[0] != 115200 || v[1] != 2 || v[2] != 7 || v[3] != 2 || v[4] != 2)
    Fail("BundleGetRealPortParameters: not 115200, 2, 7, 2, 2 like the baseline");
  results->parameterReps = settings.smoke ? 3 : 501;
  results->parameters = TimeAlternately(
      results->parameterReps, [&] { libraryRead(); }, [&] { BaselineRealPortParameters(L"Q", 0, L"COM3", w); },
      [] {});
  results->parameterProfile = ProfileOnce(lib.module, [&] { libraryRead(); });
}

}  // namespace

RegistryResults MeasureRegistryQueries(const Library& lib, const Settings& settings) {
  RegistryResults results;
  BundleNames(lib, settings, &results);
  PortNames(lib, settings, &results);
  PortParameters(lib, settings, &results);
  results.array = ArrayAlone(settings);
  WipeRoot();
  return results;
}

}  // namespace bench
