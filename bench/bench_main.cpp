// lumbrex-bench.exe: the library against the raw Win32 calls it is
// made of, side by side in one process under Wine. Prints the Markdown
// sections of docs/benchmarks.md on stdout (scripts/bench.sh assembles them)
// and one "GOAL|..." line per goal for the summary.
//
//   lumbrex-bench.exe           the full run (about two minutes)
//   lumbrex-bench.exe --smoke   a few iterations of everything (ctest)
//   --stripped-dll PATH         also time loading the stripped DLL at PATH
//
// It loads lumbrex.dll itself (LoadLibrary, GetProcAddress) so that the load
// measurement starts with the DLL not loaded. It owns the configuration keys of
// the private prefix while it runs: Software\OSTREL Software\Lumbrex is
// deleted before and after (tests build their own keys anyway).
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <oleauto.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <functional>
#include <string>
#include <vector>

#include "import_hooks.h"
#include "lumbrex.h"
#include "support/service_process.h"

namespace {

const wchar_t kRoot[] = L"Software\\OSTREL Software\\Lumbrex";

// ---- output -----------------------------------------------------------------

// The sections are gathered apart and printed in their numbered order at the
// end (the load section runs first, before the DLL is loaded for the rest).
std::string g_sections[3];
std::string* g_section = &g_sections[0];

void Out(const char* format, ...) {
  char buffer[4096];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  *g_section += buffer;
}

int g_failures = 0;
void Fail(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::fprintf(stderr, "lumbrex-bench: ");
  std::vfprintf(stderr, format, args);
  std::fprintf(stderr, "\n");
  va_end(args);
  ++g_failures;
}

// A duration in seconds as text with a fitting unit.
std::string Duration(double seconds) {
  char text[64];
  if (seconds < 1e-3)
    std::snprintf(text, sizeof text, "%.1f µs", seconds * 1e6);
  else if (seconds < 1.0)
    std::snprintf(text, sizeof text, "%.2f ms", seconds * 1e3);
  else
    std::snprintf(text, sizeof text, "%.2f s", seconds);
  return text;
}

std::string Number(double value, const char* format = "%.2f") {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

std::string Grouped(long long n) {
  std::string digits = std::to_string(n), text;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) text += ',';
    text += digits[i];
  }
  return text;
}

void Goal(const std::string& what, const std::string& measured, const std::string& target, bool met,
          const std::string& why) {
  Out("GOAL|%s|%s|%s|%s|%s\n", what.c_str(), measured.c_str(), target.c_str(), met ? "met" : "**missed**",
      why.c_str());
}

// ---- timing -----------------------------------------------------------------

double g_tick = 0;  // seconds per QueryPerformanceCounter tick

int64_t Now() {
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return t.QuadPart;
}

double Seconds(int64_t ticks) { return double(ticks) * g_tick; }

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const size_t m = v.size() / 2;
  return v.size() % 2 ? v[m] : (v[m - 1] + v[m]) / 2;
}

// Runs `library` and `baseline` alternately `reps` times (after one warm-up
// call each), each call timed on its own; `after` runs untimed after each call
// (freeing the result). Gives the two medians and the median of the ratios of
// the pairs (a pair runs close together in time, so a change in the machine's
// load, which is shared, touches both of its calls alike).
struct Pair {
  double library = 0, baseline = 0, ratio = 0;
  double Ratio() const { return ratio; }
};
Pair TimeAlternately(int reps, const std::function<void()>& library, const std::function<void()>& baseline,
                     const std::function<void()>& after) {
  std::vector<double> a, b, r;
  library(), after(), baseline(), after();
  for (int i = 0; i < reps; ++i) {
    int64_t t0 = Now();
    library();
    int64_t t1 = Now();
    after();
    int64_t t2 = Now();
    baseline();
    int64_t t3 = Now();
    after();
    a.push_back(Seconds(t1 - t0));
    b.push_back(Seconds(t3 - t2));
    r.push_back(a.back() / b.back());
  }
  return {Median(a), Median(b), Median(r)};
}

// ---- the library, loaded by hand ----------------------------------------------

struct Library {
  HMODULE module = nullptr;
  decltype(&::GetBundlesNames) getBundlesNames = nullptr;
  decltype(&::GetPortsNamesByBundleAndSide) getPortsNames = nullptr;
  decltype(&::BundleGetRealPortParameters) getRealPortParameters = nullptr;
  decltype(&::ConnectToLocalService) connect = nullptr;
  decltype(&::DisconnectFromService) disconnect = nullptr;
  decltype(&::GetBundleState) getBundleState = nullptr;

  bool Load() {
    module = LoadLibraryW(L"lumbrex.dll");
    if (!module) return false;
    auto get = [&](auto& fn, const char* name) {
      fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(reinterpret_cast<void*>(GetProcAddress(module, name)));
      return fn != nullptr;
    };
    return get(getBundlesNames, "GetBundlesNames") && get(getPortsNames, "GetPortsNamesByBundleAndSide") &&
           get(getRealPortParameters, "BundleGetRealPortParameters") && get(connect, "ConnectToLocalService") &&
           get(disconnect, "DisconnectFromService") && get(getBundleState, "GetBundleState");
  }
};

// ---- registry set-up (the benchmark's own writes) ------------------------------

struct Key {
  HKEY h = nullptr;
  Key() = default;
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  ~Key() {
    if (h) RegCloseKey(h);
  }
};

void WipeRoot() {
  Key root;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRoot, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, &root.h) != ERROR_SUCCESS) return;
  RegDeleteTreeW(root.h, nullptr);
}

LONG CreatePath(const std::wstring& path, Key* key) {
  return RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr,
                         &key->h, nullptr);
}

std::wstring Numbered(const wchar_t* prefix, int i) {
  wchar_t text[32];
  std::swprintf(text, 32, L"%ls%05d", prefix, i);
  return text;
}

// Subkeys B00000 ... of the root until there are `count`.
void GrowBundles(int* have, int count) {
  Key root;
  if (CreatePath(kRoot, &root) != ERROR_SUCCESS) return Fail("cannot create the root key");
  for (; *have < count; ++*have) {
    Key bundle;
    if (RegCreateKeyExW(root.h, Numbered(L"B", *have).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &bundle.h,
                        nullptr) != ERROR_SUCCESS)
      return Fail("cannot create bundle %d", *have);
  }
}

void SetEntry(HKEY key, const std::wstring& name, const std::wstring& text) {
  RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                 DWORD((text.size() + 1) * sizeof(wchar_t)));
}

// Port entries COM00000 ... on root\P\IN until there are `count`.
void GrowPorts(int* have, int count) {
  Key side;
  if (CreatePath(std::wstring(kRoot) + L"\\P\\IN", &side) != ERROR_SUCCESS) return Fail("cannot create P\\IN");
  for (; *have < count; ++*have) SetEntry(side.h, Numbered(L"COM", *have), L"r|9600,n,8,0|1|1");
}

// ---- the baselines: the same registry calls, the array made in one go ----------

struct BaselineCounts {
  long long registryCalls = 0;
} g_baseline;

// Builds VT_ARRAY|VT_BSTR of exactly the strings collected (SafeArrayCreate
// with the final count, one SafeArrayAccessData).
void PlaceStrings(std::vector<BSTR>& strings, VARIANT* out) {
  if (strings.empty()) return;
  SAFEARRAYBOUND bound{ULONG(strings.size()), 0};
  SAFEARRAY* array = SafeArrayCreate(VT_BSTR, 1, &bound);
  BSTR* data = nullptr;
  SafeArrayAccessData(array, reinterpret_cast<void**>(&data));
  std::memcpy(data, strings.data(), strings.size() * sizeof(BSTR));
  SafeArrayUnaccessData(array);
  out->vt = VT_ARRAY | VT_BSTR;
  out->parray = array;
}

int BaselineBundlesNames(VARIANT* out) {
  VariantClear(out);
  HKEY key = nullptr;
  ++g_baseline.registryCalls;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRoot, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
  std::vector<BSTR> names;
  for (DWORD index = 0;; ++index) {
    wchar_t name[1024];
    DWORD length = 1024;
    FILETIME written;
    ++g_baseline.registryCalls;
    const LONG status = RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, &written);
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status == ERROR_SUCCESS) names.push_back(SysAllocStringLen(name, length));
  }
  ++g_baseline.registryCalls;
  RegCloseKey(key);
  PlaceStrings(names, out);
  return 1;
}

int BaselinePortsNames(const wchar_t* bundle, int side, VARIANT* out) {
  VariantClear(out);
  std::wstring path = std::wstring(kRoot) + L"\\" + bundle + (side == 0 ? L"\\IN" : L"\\OUT");
  HKEY key = nullptr;
  ++g_baseline.registryCalls;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
  std::vector<BSTR> names;
  for (DWORD index = 0;; ++index) {
    wchar_t name[128];
    DWORD length = 128, type = 0;
    ++g_baseline.registryCalls;
    const LONG status = RegEnumValueW(key, index, name, &length, nullptr, &type, nullptr, nullptr);
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status == ERROR_SUCCESS) names.push_back(SysAllocStringLen(name, length));
  }
  ++g_baseline.registryCalls;
  RegCloseKey(key);
  PlaceStrings(names, out);
  return 1;
}

// The same four registry calls as ReadPortEntry (open, size query, data query,
// close) and a straight parse of "kind|baud,parity,data,stop[,flow]|h|l".
int BaselineRealPortParameters(const wchar_t* bundle, int side, const wchar_t* port, int* values) {
  std::wstring path = std::wstring(kRoot) + L"\\" + bundle + (side == 0 ? L"\\IN" : L"\\OUT");
  HKEY key = nullptr;
  g_baseline.registryCalls += 4;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
  DWORD type = 0, size = 0;
  LONG status = RegQueryValueExW(key, port, nullptr, &type, nullptr, &size);
  wchar_t text[256] = {};
  if (status == ERROR_SUCCESS && size < sizeof text) {
    status = RegQueryValueExW(key, port, nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
  }
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) return 0;
  const wchar_t* p = std::wcschr(text, L'|');
  if (!p) return 0;
  wchar_t* end = nullptr;
  values[0] = int(std::wcstol(p + 1, &end, 10));
  if (*end != L',') return 0;
  const wchar_t parity = wchar_t(towlower(end[1]));
  const wchar_t* letters = L"noems";
  values[1] = int(std::wcschr(letters, parity) - letters);
  values[2] = int(std::wcstol(end + 3, &end, 10));
  values[3] = int(std::wcstol(end + 1, &end, 10));
  values[4] = *end == L',' ? (towlower(end[1]) == L'x' ? 1 : towlower(end[1]) == L'p' ? 2 : 0) : values[4];
  return 1;
}

// ---- checks -------------------------------------------------------------------

// Same element count and same strings in the same order.
bool SameStrings(const VARIANT& a, const VARIANT& b, int expected) {
  if (a.vt != (VT_ARRAY | VT_BSTR) || b.vt != (VT_ARRAY | VT_BSTR)) return false;
  LONG ua = -1, ub = -1;
  SafeArrayGetUBound(a.parray, 1, &ua);
  SafeArrayGetUBound(b.parray, 1, &ub);
  if (ua != ub || ua + 1 != expected) return false;
  BSTR *da = nullptr, *db = nullptr;
  SafeArrayAccessData(a.parray, reinterpret_cast<void**>(&da));
  SafeArrayAccessData(b.parray, reinterpret_cast<void**>(&db));
  bool same = true;
  for (LONG i = 0; i <= ua && same; ++i) same = std::wcscmp(da[i], db[i]) == 0;
  SafeArrayUnaccessData(a.parray);
  SafeArrayUnaccessData(b.parray);
  return same;
}

// ---- profiles (patched imports) ---------------------------------------------------

struct Profile {
  long long registryCalls = 0;
  long long redimCalls = 0;
  double redimSeconds = 0;
  long long copyCalls = 0;
  double copySeconds = 0;
  double registrySeconds = 0;
  long long allocCalls = 0;
};

Profile ProfileOnce(HMODULE module, const std::function<void()>& call) {
  bench::PatchImports(module);
  bench::ResetCallStats();
  call();
  bench::UnpatchImports(module);
  Profile p;
  for (const char* name : {"RegOpenKeyExW", "RegEnumKeyExW", "RegEnumValueW", "RegQueryValueExW", "RegCloseKey"}) {
    p.registryCalls += bench::FindCallStat(name)->calls;
    p.registrySeconds += Seconds(bench::FindCallStat(name)->ticks);
  }
  p.redimCalls = bench::FindCallStat("SafeArrayRedim")->calls;
  p.redimSeconds = Seconds(bench::FindCallStat("SafeArrayRedim")->ticks);
  p.copyCalls = bench::FindCallStat("SafeArrayCopy")->calls;
  p.copySeconds = Seconds(bench::FindCallStat("SafeArrayCopy")->ticks);
  p.allocCalls = bench::FindCallStat("SysAllocString")->calls;
  return p;
}

// ---- 1. Registry queries -------------------------------------------------------

struct Settings {
  bool smoke = false;
  std::vector<int> sizes{10, 100, 1000, 10000};
  int RepsFor(int entries) const {
    if (smoke) return 3;
    return std::max(5, std::min(101, 15000 / entries));
  }
  int commandBatches = 41, commandsPerBatch = 75;
  int loads = 200;
  std::wstring strippedDll;  // --stripped-dll PATH: the packaged (stripped) lumbrex.dll, loaded by path
};

struct ListRow {
  int entries;
  int reps;
  Pair time;
  Profile profile;
  long long baselineRegistryCalls;
};

void PrintListTable(const char* exportName, const std::vector<ListRow>& rows) {
  Out("\n### `%s`\n\n", exportName);
  Out("| Entries | Library (median) | Baseline (median) | Ratio | Library per entry | Baseline per entry | Runs |\n");
  Out("|---:|---:|---:|---:|---:|---:|---:|\n");
  for (const ListRow& r : rows) {
    Out("| %s | %s | %s | %s | %s | %s | %d |\n", Grouped(r.entries).c_str(), Duration(r.time.library).c_str(),
        Duration(r.time.baseline).c_str(), Number(r.time.Ratio()).c_str(),
        Duration(r.time.library / r.entries).c_str(), Duration(r.time.baseline / r.entries).c_str(), r.reps);
  }
  Out("\nProfile of one library call (imports of lumbrex.dll patched with counting wrappers; a separate, untimed run):\n\n");
  Out("| Entries | Registry calls library / baseline | Time in registry calls | SafeArrayRedim calls | Time in SafeArrayRedim "
      "| Per Redim | Bytes Redim copies | Share of the call | SafeArrayCopy | Library minus Redim, per entry |\n");
  Out("|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n");
  for (const ListRow& r : rows) {
    const double perRedim = r.profile.redimCalls ? r.profile.redimSeconds / r.profile.redimCalls : 0;
    // Wine's SafeArrayRedim moves the data into a fresh block on every growth
    // (dlls/oleaut32/safearray.c): 8 bytes per BSTR already held.
    const long long moved = 8LL * r.entries * (r.entries - 1) / 2;
    Out("| %s | %lld / %lld | %s | %lld | %s | %s | %s | %s %% | %s | %s |\n", Grouped(r.entries).c_str(),
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
void ListGoals(const char* exportName, const std::vector<ListRow>& rows) {
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
  Goal(std::string("`") + exportName + "` ratio at " + Grouped(at1000->entries) + " entries", Number(ratio),
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
    Goal(std::string("`") + exportName + "` growth " + Grouped(at1000->entries) + " → " + Grouped(last.entries) +
             " (per entry, without SafeArrayRedim)",
         Number(growth) + "×", "linear (≤ 1.5× or the baseline's own)", met, detail);
  }
}

// The array's own cost, without the registry: a VT_BSTR array grown from 0 to
// N one element at a time as ResultArray does it (unlock, SafeArrayRedim, lock)
// against one SafeArrayCreate of N (the slots stay null: no strings).
void ArrayAlone(const Settings& settings) {
  Out("\n### The array alone: growing by one element against one SafeArrayCreate\n\n");
  Out("A VT_BSTR array (slots left null, no strings, no registry) grown from 0 to N elements as the library's result array grows it "
      "(SafeArrayUnlock, SafeArrayRedim to count + 1, SafeArrayLock), against one SafeArrayCreate of N elements; "
      "medians. Wine's SafeArrayRedim allocates a block of the new size, copies the old elements into it and frees the "
      "old block on every growth (dlls/oleaut32/safearray.c), so N growths copy 8·N·(N−1)/2 bytes.\n\n");
  Out("| N | Grown one by one | Per growth | SafeArrayCreate of N | Runs |\n|---:|---:|---:|---:|---:|\n");
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
    Out("| %s | %s | %s | %s | %d |\n", Grouped(n).c_str(), Duration(Median(grown)).c_str(),
        Duration(Median(grown) / n).c_str(), Duration(Median(created)).c_str(), reps);
  }
}

void RegistryQueries(const Library& lib, const Settings& settings) {
  Out("\n## 1. Registry queries\n\n");
  Out("Baseline: the same registry calls made directly (RegOpenKeyExW, RegEnumKeyExW with a 1024-character buffer "
      "and the last-write time / RegEnumValueW with a 128-character buffer and the type, RegCloseKey), the BSTRs "
      "collected and the SAFEARRAY made in one go (SafeArrayCreate with the final count). Each run is timed on its "
      "own (QueryPerformanceCounter, wall time), library and baseline alternately; medians, and the ratio is the "
      "median of the ratios of neighbouring library/baseline pairs. The caller's VariantClear of the result is not timed.\n");

  VARIANT a, b;
  VariantInit(&a);
  VariantInit(&b);
  auto clear = [&] {
    VariantClear(&a);
    VariantClear(&b);
  };

  // GetBundlesNames over N subkeys of the root.
  WipeRoot();
  std::vector<ListRow> rows;
  int bundles = 0;
  for (int n : settings.sizes) {
    GrowBundles(&bundles, n);
    lib.getBundlesNames(&a);
    BaselineBundlesNames(&b);
    if (!SameStrings(a, b, n)) Fail("GetBundlesNames: not the same %d names as the baseline", n);
    clear();
    const int reps = settings.RepsFor(n);
    const Pair t = TimeAlternately(
        reps, [&] { lib.getBundlesNames(&a); }, [&] { BaselineBundlesNames(&b); }, clear);
    const Profile p = ProfileOnce(lib.module, [&] { lib.getBundlesNames(&a); });
    clear();
    g_baseline.registryCalls = 0;
    BaselineBundlesNames(&b);
    clear();
    rows.push_back({n, reps, t, p, g_baseline.registryCalls});
    std::fprintf(stderr, "GetBundlesNames %d: %.3g / %.3g s\n", n, t.library, t.baseline);
  }
  PrintListTable("GetBundlesNames", rows);
  std::vector<ListRow> bundleRows = rows;

  // GetPortsNamesByBundleAndSide over N values of root\P\IN.
  WipeRoot();
  rows.clear();
  int ports = 0;
  VARIANT bundle;
  bundle.vt = VT_BSTR;
  bundle.bstrVal = SysAllocString(L"P");
  for (int n : settings.sizes) {
    GrowPorts(&ports, n);
    lib.getPortsNames(bundle, 0, &a);
    BaselinePortsNames(L"P", 0, &b);
    if (!SameStrings(a, b, n)) Fail("GetPortsNamesByBundleAndSide: not the same %d names as the baseline", n);
    clear();
    const int reps = settings.RepsFor(n);
    const Pair t = TimeAlternately(
        reps, [&] { lib.getPortsNames(bundle, 0, &a); }, [&] { BaselinePortsNames(L"P", 0, &b); }, clear);
    const Profile p = ProfileOnce(lib.module, [&] { lib.getPortsNames(bundle, 0, &a); });
    clear();
    g_baseline.registryCalls = 0;
    BaselinePortsNames(L"P", 0, &b);
    clear();
    rows.push_back({n, reps, t, p, g_baseline.registryCalls});
    std::fprintf(stderr, "GetPortsNamesByBundleAndSide %d: %.3g / %.3g s\n", n, t.library, t.baseline);
  }
  PrintListTable("GetPortsNamesByBundleAndSide", rows);

  // BundleGetRealPortParameters on one entry.
  WipeRoot();
  {
    Key side;
    CreatePath(std::wstring(kRoot) + L"\\Q\\IN", &side);
    SetEntry(side.h, L"COM3", L"r|115200,e,7,2,p|1|1");
  }
  VARIANT qBundle, port;
  qBundle.vt = VT_BSTR;
  qBundle.bstrVal = SysAllocString(L"Q");
  port.vt = VT_BSTR;
  port.bstrVal = SysAllocString(L"COM3");
  int v[5] = {}, w[5] = {};
  if (lib.getRealPortParameters(qBundle, 0, port, &v[0], &v[1], &v[2], &v[3], &v[4]) != 1 ||
      BaselineRealPortParameters(L"Q", 0, L"COM3", w) != 1 || std::memcmp(v, w, sizeof v) != 0 || v[0] != 115200 ||
      v[1] != 2 || v[2] != 7 || v[3] != 2 || v[4] != 2)
    Fail("BundleGetRealPortParameters: not 115200, 2, 7, 2, 2 like the baseline");
  const int reps = settings.smoke ? 3 : 501;
  const Pair t = TimeAlternately(
      reps, [&] { lib.getRealPortParameters(qBundle, 0, port, &v[0], &v[1], &v[2], &v[3], &v[4]); },
      [&] { BaselineRealPortParameters(L"Q", 0, L"COM3", w); }, [] {});
  const Profile p =
      ProfileOnce(lib.module, [&] { lib.getRealPortParameters(qBundle, 0, port, &v[0], &v[1], &v[2], &v[3], &v[4]); });
  Out("\n### `BundleGetRealPortParameters`\n\n");
  Out("One entry `r|115200,e,7,2,p|1|1`; baseline: the same four registry calls (open, size query, data query, "
      "close) and a straight parse.\n\n");
  Out("| Library (median) | Baseline (median) | Ratio | Registry calls library / baseline | Time in registry calls | "
      "Runs |\n|---:|---:|---:|---:|---:|---:|\n");
  Out("| %s | %s | %s | %lld / 4 | %s | %d |\n", Duration(t.library).c_str(), Duration(t.baseline).c_str(),
      Number(t.Ratio()).c_str(), p.registryCalls, Duration(p.registrySeconds).c_str(), reps);
  std::string why;
  if (t.Ratio() > 1.10)
    why = "library " + Duration(t.library - t.baseline) + " slower with " + std::to_string(p.registryCalls) +
          " registry calls against 4";
  Goal("`BundleGetRealPortParameters` ratio", Number(t.Ratio()), "≤ 1.10", t.Ratio() <= 1.10, why);
  VariantClear(&qBundle);
  VariantClear(&port);
  VariantClear(&bundle);

  ArrayAlone(settings);
  ListGoals("GetBundlesNames", bundleRows);
  ListGoals("GetPortsNamesByBundleAndSide", rows);
  WipeRoot();
}

// ---- 2. Commands ------------------------------------------------------------------

// The baseline client: the same bytes on a raw pipe handle, the reply read one
// byte at a time up to "!".
struct RawClient {
  HANDLE pipe = INVALID_HANDLE_VALUE;
  RawClient() {
    // The instance the library took is replaced by the service a moment later:
    // wait for a free one (bounded).
    for (int attempt = 0; attempt < 50 && pipe == INVALID_HANDLE_VALUE; ++attempt) {
      pipe = CreateFileW(testsupport::ServiceProcess::PipePath(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                         OPEN_EXISTING, 0, nullptr);
      if (pipe == INVALID_HANDLE_VALUE && !WaitNamedPipeW(testsupport::ServiceProcess::PipePath(), 100)) Sleep(20);
    }
    DWORD mode = PIPE_READMODE_BYTE | PIPE_WAIT;
    if (pipe != INVALID_HANDLE_VALUE) SetNamedPipeHandleState(pipe, &mode, nullptr, nullptr);
  }
  RawClient(const RawClient&) = delete;
  RawClient& operator=(const RawClient&) = delete;
  ~RawClient() {
    if (pipe != INVALID_HANDLE_VALUE) CloseHandle(pipe);
  }
  bool Command(const char* message, DWORD length) {
    DWORD done = 0;
    if (!WriteFile(pipe, message, length, &done, nullptr)) return false;
    char reply[256];
    DWORD held = 0;
    for (;;) {
      if (held >= 255 || !ReadFile(pipe, reply + held, 1, &done, nullptr)) return false;
      held += done;
      if (held > 0 && reply[held - 1] == '!') break;
    }
    return held >= 2 && (reply[0] == 'O' || reply[0] == 'o') && (reply[1] == 'K' || reply[1] == 'k');
  }
};

void Commands(const Library& lib, const Settings& settings) {
  Out("\n## 2. Commands: `GetBundleState` round trips\n\n");
  Out("Against the stand-in service (`lumbrex-service.exe --foreground`, a child of the benchmark, log discarded), "
      "bundle `BenchState` present so that every reply is `OK!`. Baseline: a raw pipe handle (CreateFileW, "
      "SetNamedPipeHandleState byte mode) writing the same %d bytes `GET_BUNDLE_STATE BenchState!` and reading the "
      "reply one byte per ReadFile up to \"!\". Both connections stay open; batches of %d commands alternate, the "
      "median batch gives the time per command and the ratio is the median of neighbouring batches' ratios.\n\n",
      int(std::strlen("GET_BUNDLE_STATE BenchState!")), settings.commandsPerBatch);
  WipeRoot();
  {
    Key state;
    CreatePath(std::wstring(kRoot) + L"\\BenchState", &state);
  }
  testsupport::ServiceProcess service;
  if (!service.Ready()) return Fail("the service did not start: %s", service.Problem().c_str());
  if (lib.connect() != 1) return Fail("ConnectToLocalService failed");
  RawClient raw;
  if (raw.pipe == INVALID_HANDLE_VALUE) return Fail("the baseline client cannot open the pipe: %lu", GetLastError());
  VARIANT name;
  name.vt = VT_BSTR;
  name.bstrVal = SysAllocString(L"BenchState");
  const char message[] = "GET_BUNDLE_STATE BenchState!";
  const DWORD length = DWORD(std::strlen(message));
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
  if (libraryOk != total || rawOk != total) Fail("GetBundleState: %d and %d of %d answered OK", libraryOk, rawOk, total);
  const Pair t{Median(a), Median(b), Median(r)};

  // Profile: which calls one library command makes, and their time.
  const int profiled = settings.smoke ? 5 : 500;
  bench::PatchImports(lib.module);
  bench::ResetCallStats();
  const int64_t p0 = Now();
  for (int i = 0; i < profiled; ++i) lib.getBundleState(name);
  const double profiledPer = Seconds(Now() - p0) / profiled;
  bench::UnpatchImports(lib.module);
  lib.disconnect();
  VariantClear(&name);

  Out("| | Library | Baseline | Ratio |\n|---|---:|---:|---:|\n");
  Out("| Time per command (median batch) | %s | %s | %s |\n", Duration(t.library).c_str(), Duration(t.baseline).c_str(),
      Number(t.Ratio()).c_str());
  Out("| Ratio of the medians (for comparison) | | | %s |\n", Number(t.library / t.baseline).c_str());
  std::sort(r.begin(), r.end());
  Out("| Batch-pair ratios, 25th to 75th percentile (the machine's noise) | | | %s to %s |\n",
      Number(r[r.size() / 4]).c_str(), Number(r[(3 * r.size()) / 4]).c_str());
  Out("| Commands per second | %s | %s | %s |\n", Grouped((long long)(1 / t.library)).c_str(),
      Grouped((long long)(1 / t.baseline)).c_str(), Number(t.baseline / t.library).c_str());
  Out("\nProfile of %d library commands (patched imports; %s per command in this run): calls per command and time "
      "inside them\n\n| Call | Per command | Time per command | Baseline per command |\n|---|---:|---:|---:|\n",
      profiled, Duration(profiledPer).c_str());
  double extraSeconds = 0, mutexSeconds = 0;
  for (const char* fn : {"WaitForSingleObject", "ReleaseMutex", "DuplicateHandle", "CloseHandle", "WideCharToMultiByte",
                         "WriteFile", "ReadFile"}) {
    const bench::CallStat* s = bench::FindCallStat(fn);
    const double per = Seconds(s->ticks) / profiled;
    const char* baseline = std::strcmp(fn, "WriteFile") == 0 ? "1" : std::strcmp(fn, "ReadFile") == 0 ? "3" : "0";
    if (std::strcmp(baseline, "0") == 0) extraSeconds += per;
    if (std::strcmp(fn, "WaitForSingleObject") == 0 || std::strcmp(fn, "ReleaseMutex") == 0) mutexSeconds += per;
    Out("| %s | %s | %s | %s |\n", fn, Number(double(s->calls) / profiled, "%.1f").c_str(), Duration(per).c_str(),
        baseline);
  }
  std::string why;
  if (t.Ratio() > 1.10)
    why = "median batches " + Duration(t.library) + " against " + Duration(t.baseline) + " (ratio of the medians " +
          Number(t.library / t.baseline) + "). The library makes wineserver round trips per command that the "
          "baseline does not, " + Duration(extraSeconds) + " per command in the profile, " + Duration(mutexSeconds) +
          " of it the link mutex's WaitForSingleObject + ReleaseMutex (the mutex that serialises the process's commands). The rest of "
          "the gap is time in ReadFile waiting for the service's reply, which on a loaded machine swings widely "
          "from batch to batch (compare the two ratios)";
  Goal("`GetBundleState` ratio (time per command)", Number(t.Ratio()), "≤ 1.10", t.Ratio() <= 1.10, why);
  WipeRoot();
}

// ---- 4. Load ---------------------------------------------------------------------------

Pair LoadTimes(const wchar_t* dll, int loads, double* cold, double* loadOnly, double* freeOnly) {
  std::vector<double> both, load, release;
  for (int i = 0; i <= loads; ++i) {
    const int64_t t0 = Now();
    HMODULE module = LoadLibraryW(dll);
    const int64_t t1 = Now();
    if (!module) {
      Fail("LoadLibrary of %ls failed: %lu", dll, GetLastError());
      return {};
    }
    FreeLibrary(module);
    const int64_t t2 = Now();
    if (i == 0) {
      *cold = Seconds(t2 - t0);
      continue;
    }
    both.push_back(Seconds(t2 - t0));
    load.push_back(Seconds(t1 - t0));
    release.push_back(Seconds(t2 - t1));
  }
  *loadOnly = Median(load);
  *freeOnly = Median(release);
  return {Median(both), 0, 0};
}

void Load(const Settings& settings) {
  Out("\n## 4. Load: `LoadLibrary` + `FreeLibrary`\n\n");
  if (GetModuleHandleW(L"lumbrex.dll")) return Fail("lumbrex.dll is already loaded");
  // Its imports that this program does not link already stay loaded, so the
  // steady-state figure is the DLL's own (mapping, relocation, CRT and static
  // objects); the first load of the process brings them in.
  LoadLibraryW(L"mpr.dll");
  LoadLibraryW(L"shlwapi.dll");
  double cold = 0, load = 0, release = 0, emptyCold = 0, emptyLoad = 0, emptyRelease = 0;
  const double both = LoadTimes(L"lumbrex.dll", settings.loads, &cold, &load, &release).library;
  const double empty = LoadTimes(L"lumbrex-bench-empty.dll", settings.loads, &emptyCold, &emptyLoad, &emptyRelease).library;
  double strippedBoth = 0, strippedCold = 0, strippedLoad = 0, strippedRelease = 0;
  if (!settings.strippedDll.empty())
    strippedBoth = LoadTimes(settings.strippedDll.c_str(), settings.loads, &strippedCold, &strippedLoad, &strippedRelease)
                       .library;
  Out("Baseline: `lumbrex-bench-empty.dll`, a DLL with only a DllMain, built with the same flags (static runtime). "
      "%d loads each after a first one; mpr.dll and shlwapi.dll (imports of lumbrex.dll) are kept loaded.\n\n",
      settings.loads);
  Out("| | lumbrex.dll | Empty DLL | Ratio |\n|---|---:|---:|---:|\n");
  Out("| LoadLibrary + FreeLibrary (median) | %s | %s | %s |\n", Duration(both).c_str(), Duration(empty).c_str(),
      Number(both / empty).c_str());
  Out("| LoadLibrary alone | %s | %s | %s |\n", Duration(load).c_str(), Duration(emptyLoad).c_str(),
      Number(load / emptyLoad).c_str());
  Out("| FreeLibrary alone | %s | %s | %s |\n", Duration(release).c_str(), Duration(emptyRelease).c_str(),
      Number(release / emptyRelease).c_str());
  Out("| First load of the process (one sample) | %s | %s | |\n", Duration(cold).c_str(), Duration(emptyCold).c_str());
  if (!settings.strippedDll.empty()) {
    Out("\nThe same DLL stripped, as cpack packages it (loaded by its full path):\n\n");
    Out("| | lumbrex.dll stripped | Empty DLL | Ratio |\n|---|---:|---:|---:|\n");
    Out("| LoadLibrary + FreeLibrary (median) | %s | %s | %s |\n", Duration(strippedBoth).c_str(),
        Duration(empty).c_str(), Number(strippedBoth / empty).c_str());
    Out("| LoadLibrary alone | %s | %s | %s |\n", Duration(strippedLoad).c_str(), Duration(emptyLoad).c_str(),
        Number(strippedLoad / emptyLoad).c_str());
    Out("| FreeLibrary alone | %s | %s | %s |\n", Duration(strippedRelease).c_str(), Duration(emptyRelease).c_str(),
        Number(strippedRelease / emptyRelease).c_str());
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  _setmode(_fileno(stdout), _O_BINARY);  // "\n", not "\r\n"
  Settings settings;
  for (int i = 1; i < argc; ++i) {
    if (std::wcscmp(argv[i], L"--smoke") == 0) {
      settings.smoke = true;
      settings.sizes = {10, 100};
      settings.commandBatches = 3;
      settings.commandsPerBatch = 10;
      settings.loads = 5;
    } else if (std::wcscmp(argv[i], L"--stripped-dll") == 0 && i + 1 < argc) {
      settings.strippedDll = argv[++i];
    } else {
      std::fprintf(stderr, "usage: lumbrex-bench.exe [--smoke] [--stripped-dll PATH]\n");
      return 2;
    }
  }
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  g_tick = 1.0 / double(frequency.QuadPart);

  g_section = &g_sections[2];
  Load(settings);
  Library lib;
  if (!lib.Load()) {
    std::fprintf(stderr, "lumbrex-bench: lumbrex.dll cannot be loaded\n");
    return 1;
  }
  if (bench::PatchImports(lib.module) == 0) Fail("no import of lumbrex.dll could be patched for the profiles");
  bench::UnpatchImports(lib.module);
  g_section = &g_sections[0];
  RegistryQueries(lib, settings);
  g_section = &g_sections[1];
  Commands(lib, settings);
  for (const std::string& section : g_sections) std::fputs(section.c_str(), stdout);
  std::fflush(stdout);
  return g_failures == 0 ? 0 : 1;
}
