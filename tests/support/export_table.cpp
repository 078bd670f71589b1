// Issue 9: the export table of Part 1.1 and a generic caller.
#include "support/export_table.h"

#include <psapi.h>

#include <set>
#include <sstream>

namespace reliability {

namespace {
using E = ExportInfo;
}  // namespace

const std::vector<ExportInfo>& AllExports() {
  static const std::vector<ExportInfo> table = {
      {"ConnectToLocalService", "", E::kNoOut, E::kNone, false},
      {"ConnectToRemoteService", "VVV", E::kNoOut, E::kNetwork, false},
      {"DisconnectFromService", "", E::kNoOut, E::kNone, false},
      {"AddBundle", "V", E::kNoOut, E::kNone, true},
      {"DeleteBundle", "V", E::kNoOut, E::kNone, true},
      {"GetBundleState", "V", E::kNoOut, E::kNone, true},
      {"BundleAddPort", "VSVV", E::kNoOut, E::kNone, true},
      {"BundleDeletePort", "VSV", E::kNoOut, E::kNone, true},
      {"BundleGetPortState", "VSV", E::kNoOut, E::kNone, true},
      {"BundleSetMainPortForSide", "VSV", E::kNoOut, E::kNone, true},
      {"BundleUpdateSettings", "", E::kNoOut, E::kNone, false},
      {"GetBundlesNames", "O", E::kMustBeValid, E::kNone, false},
      {"GetPortsNamesByBundleAndSide", "VSO", E::kMustBeValid, E::kNone, false},
      {"BundleGetMainPortForSide", "VSO", E::kMustBeValid, E::kNone, false},
      {"GetRealPortsList", "O", E::kMustBeValid, E::kNone, false},
      {"BundleGetPortType", "VSVO", E::kMustBeValid, E::kNone, false},
      {"OptionSetOnlyMainPortCanSend", "I", E::kNoOut, E::kNone, true},
      {"OptionSetIgnoreErrors", "I", E::kNoOut, E::kNone, true},
      {"OptionSetAutoOpenPort", "I", E::kNoOut, E::kNone, true},
      {"OptionSetBaudrateEmulation", "I", E::kNoOut, E::kNone, true},
      {"OptionSetPortToPrint", "I", E::kNoOut, E::kNone, true},
      {"OptionGetIfSendToMainSet", "U", E::kMustBeValid, E::kNone, false},
      {"OptionGetIgnoreErrorsOnPortCreation", "U", E::kMustBeValid, E::kNone, false},
      {"OptionGetPortsAutoOpen", "U", E::kMustBeValid, E::kNone, false},
      {"OptionGetBaudrateEmulation", "U", E::kMustBeValid, E::kNone, false},
      {"OptionGetPortToPrint", "U", E::kMustBeValid, E::kNone, false},
      {"BundleRealPortAreParametersDynamic", "VSV", E::kNoOut, E::kNone, false},
      {"BundleGetRealPortParameters", "VSVUUUUU", E::kMustBeValid, E::kNone, false},
      {"BundleSetRealPortParameters", "VSVIIIII", E::kNoOut, E::kNone, true},
      {"BundleSetDynamicParametersForRealPort", "VSV", E::kNoOut, E::kNone, true},
      {"BundlePortSetPermissions", "VSVV", E::kNoOut, E::kNone, true},
      {"BundlePortGetPermissions", "VSVO", E::kMayBeNull, E::kNone, false},
      {"SharedPortSetPermissionsForApp", "VSVVV", E::kNoOut, E::kNone, true},
      {"SharedSetDefaultPermissions", "VSVV", E::kNoOut, E::kNone, true},
      {"SharedPortGetAppPermissions", "VSVOO", E::kMustBeValid, E::kNone, false},
      {"SharedDelAllPermissions", "VSV", E::kNoOut, E::kNone, true},
      {"SharedGetPortApplications", "VO", E::kMustBeValid, E::kDevice, false},
      {"QKGetLastError", "", E::kNoOut, E::kNone, false},
  };
  return table;
}

FARPROC Resolve(const char* name) {
  HMODULE dll = GetModuleHandleW(L"lumbrex.dll");
  if (!dll) dll = LoadLibraryW(L"lumbrex.dll");
  return dll ? GetProcAddress(dll, name) : nullptr;
}

int CountKind(const std::string& kinds, char kind) {
  int n = 0;
  for (char c : kinds) n += c == kind;
  return n;
}

namespace {
// FARPROC to the export's own type, through void* (no -Wcast-function-type).
template <class F>
F As(FARPROC fn) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(fn));
}
}  // namespace

int CallExport(FARPROC fn, const std::string& kinds, const CallArgs& a) {
  const VARIANT* v = a.v;
  const int s = a.side;
  const int* i = a.ints;
  void* const* o = a.outs;
  auto U = [&](int k) { return static_cast<unsigned*>(o[k]); };
  auto N = [&](int k) { return static_cast<int*>(o[k]); };
  auto P = [&](int k) { return static_cast<VARIANT*>(o[k]); };
  if (kinds.empty()) return As<int(WINAPI*)()>(fn)();
  if (kinds == "V") return As<int(WINAPI*)(VARIANT)>(fn)(v[0]);
  if (kinds == "VVV") return As<int(WINAPI*)(VARIANT, VARIANT, VARIANT)>(fn)(v[0], v[1], v[2]);
  if (kinds == "VSV") return As<int(WINAPI*)(VARIANT, int, VARIANT)>(fn)(v[0], s, v[1]);
  if (kinds == "VSVV")
    return As<int(WINAPI*)(VARIANT, int, VARIANT, VARIANT)>(fn)(v[0], s, v[1], v[2]);
  if (kinds == "VSVVV")
    return As<int(WINAPI*)(VARIANT, int, VARIANT, VARIANT, VARIANT)>(fn)(v[0], s, v[1], v[2], v[3]);
  if (kinds == "O") return As<int(WINAPI*)(VARIANT*)>(fn)(P(0));
  if (kinds == "VO") return As<int(WINAPI*)(VARIANT, VARIANT*)>(fn)(v[0], P(0));
  if (kinds == "VSO") return As<int(WINAPI*)(VARIANT, int, VARIANT*)>(fn)(v[0], s, P(0));
  if (kinds == "VSVO")
    return As<int(WINAPI*)(VARIANT, int, VARIANT, VARIANT*)>(fn)(v[0], s, v[1], P(0));
  if (kinds == "VSVOO")
    return As<int(WINAPI*)(VARIANT, int, VARIANT, VARIANT*, VARIANT*)>(fn)(v[0], s, v[1], P(0),
                                                                                         P(1));
  if (kinds == "I") return As<int(WINAPI*)(int)>(fn)(i[0]);
  if (kinds == "U") return As<int(WINAPI*)(unsigned*)>(fn)(U(0));
  if (kinds == "VSVUUUUU")
    return As<int(WINAPI*)(VARIANT, int, VARIANT, int*, int*, int*, int*, int*)>(fn)(
        v[0], s, v[1], N(0), N(1), N(2), N(3), N(4));
  if (kinds == "VSVIIIII")
    return As<int(WINAPI*)(VARIANT, int, VARIANT, int, int, int, int, int)>(fn)(
        v[0], s, v[1], i[0], i[1], i[2], i[3], i[4]);
  return -12345;  // a kinds string without a caller: the test fails on it
}

bool AllowedLastError(const ExportInfo& e, unsigned code) {
  // Part 1.1's table: 13 for refused arguments and malformed registry values,
  // registry status codes passed through unchanged (2 missing, 5 access, 234
  // more data, 87 from RegOpenKeyExW for a path too long for the registry,
  // e.g. a 64 KiB bundle name), and 8 from export_guard.h when memory runs out.
  static const std::set<unsigned> common = {0, 2, 5, 8, 13, 87, 234};
  // WNetAddConnection2W's documented results (Part 2.1 stores them unchanged).
  static const std::set<unsigned> network = {5,   50,   53,   66,   67,   85,   86,   87,   124,  170,  206,
                                             487, 1200, 1202, 1203, 1204, 1205, 1206, 1208, 1219, 1222, 1223,
                                             1326, 2202, 2250};
  // A failed open of \\.\FenwyckControl2 (Part 5.2): not found, path, access,
  // sharing, and 31 for a failure without a reason (docs/behaviour.md).
  static const std::set<unsigned> device = {2, 3, 5, 31, 32, 123, 161, 206};
  if (common.count(code)) return true;
  if (e.extra == ExportInfo::kNetwork) return network.count(code) != 0;
  if (e.extra == ExportInfo::kDevice) return device.count(code) != 0;
  return false;
}

std::string DescribeAllowed(const ExportInfo& e) {
  std::ostringstream s;
  s << "{0,2,5,8,13,87,234}";
  if (e.extra == ExportInfo::kNetwork) s << " + WNetAddConnection2W codes";
  if (e.extra == ExportInfo::kDevice) s << " + {3,31,32,123,161,206}";
  return s.str();
}

DWORD HandleCount() {
  DWORD count = 0;
  GetProcessHandleCount(GetCurrentProcess(), &count);
  return count;
}

SIZE_T PrivateBytes() {
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof(counters);
  GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                       sizeof(counters));
  return counters.PrivateUsage;
}

long long HeapBusyBytes() {
  HANDLE heaps[64];
  const DWORD n = GetProcessHeaps(64, heaps);
  long long total = 0;
  for (DWORD i = 0; i < n && i < 64; ++i) {
    if (!HeapLock(heaps[i])) continue;
    PROCESS_HEAP_ENTRY entry{};
    while (HeapWalk(heaps[i], &entry))
      if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) total += entry.cbData;
    HeapUnlock(heaps[i]);
  }
  return total;
}

}  // namespace reliability

namespace reliability {

GoodCall::GoodCall(const ExportInfo& e) : e_(e), kinds_(e.kinds) {
  for (auto& v : good_) VariantInit(&v);
  for (auto& v : outV_) VariantInit(&v);
  const std::string name = e.name;
  auto text = [](int k, const wchar_t* t, VARIANT* v) {
    (void)k;
    v->vt = VT_BSTR;
    v->bstrVal = SysAllocString(t);
  };
  if (kinds_ == "VVV") {
    text(0, L".", &good_[0]);
    text(1, L"", &good_[1]);
    text(2, L"", &good_[2]);
  } else if (kinds_ == "VO") {
    text(0, L"COM2", &good_[0]);
  } else if (kinds_.size() >= 1 && kinds_[0] == 'V') {
    text(0, L"B1", &good_[0]);
    if (kinds_.size() >= 3) text(1, name.rfind("Shared", 0) == 0 ? L"COM2" : L"COM1", &good_[1]);
  }
  if (name == "BundleAddPort" || name == "BundlePortSetPermissions") {
    good_[2].vt = VT_I4;
    good_[2].lVal = name == "BundleAddPort" ? 1 : 3;
  }
  if (name == "SharedSetDefaultPermissions" || name == "SharedPortSetPermissionsForApp") {
    text(2, L"app.exe", &good_[2]);
    good_[3].vt = VT_I4;
    good_[3].lVal = 3;
  }
}

GoodCall::~GoodCall() {
  ClearOuts();
  for (auto& v : good_) VariantClear(&v);
}

void GoodCall::SetText(int position, const wchar_t* text) {
  VariantClear(&good_[position]);
  good_[position].vt = VT_BSTR;
  good_[position].bstrVal = SysAllocString(text);
}

CallArgs GoodCall::Args() {
  CallArgs a;
  for (int k = 0; k < 4; ++k) a.v[k] = good_[k];
  a.side = 0;
  const int ints[5] = {9600, 0, 8, 0, 0};
  for (int k = 0; k < 5; ++k) a.ints[k] = kinds_ == "I" ? 1 : ints[k];
  for (int k = 0; k < 5; ++k) {
    VariantClear(&outV_[k]);
    outI_[k] = -7777;
  }
  int o = 0;
  for (char c : kinds_) {
    if (c == 'O') a.outs[o] = &outV_[o], ++o;
    if (c == 'U') a.outs[o] = &outI_[o], ++o;
  }
  return a;
}

void GoodCall::ClearOuts() {
  for (auto& v : outV_) VariantClear(&v);
}

}  // namespace reliability
