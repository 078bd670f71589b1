#include "support/export_table.h"

#include <psapi.h>

#include <algorithm>
#include <cstdint>
#include <set>

namespace reliability {

const std::vector<ExportInfo>& AllExports() {
  using E = ExportInfo;
  const auto no = E::kNoOut, must = E::kMustBeValid;
  static const std::vector<ExportInfo> table = {
      {"ConnectToLocalService", "", "", false}, {"ConnectToRemoteService", "VVV", "sss", false, no, false, E::kNetwork},
      {"DisconnectFromService", "", "", false}, {"AddBundle", "V", "t", true},
      {"DeleteBundle", "V", "t", true}, {"GetBundleState", "V", "t", true},
      {"BundleAddPort", "VSVV", "ssn", true}, {"BundleDeletePort", "VSV", "ss", true},
      {"BundleGetPortState", "VSV", "ss", true}, {"BundleSetMainPortForSide", "VSV", "ss", true},
      {"BundleUpdateSettings", "", "", false}, {"GetBundlesNames", "O", "", false, must},
      {"GetPortsNamesByBundleAndSide", "VSO", "s", false, must, true},
      {"BundleGetMainPortForSide", "VSO", "s", false, must, true}, {"GetRealPortsList", "O", "", false, must},
      {"BundleGetPortType", "VSVO", "ss", false, must}, {"OptionSetOnlyMainPortCanSend", "I", "", true},
      {"OptionSetIgnoreErrors", "I", "", true}, {"OptionSetAutoOpenPort", "I", "", true},
      {"OptionSetBaudrateEmulation", "I", "", true}, {"OptionSetPortToPrint", "I", "", true},
      {"OptionGetIfSendToMainSet", "U", "", false, must}, {"OptionGetIgnoreErrorsOnPortCreation", "U", "", false, must},
      {"OptionGetPortsAutoOpen", "U", "", false, must}, {"OptionGetBaudrateEmulation", "U", "", false, must},
      {"OptionGetPortToPrint", "U", "", false, must}, {"BundleRealPortAreParametersDynamic", "VSV", "ss", false},
      {"BundleGetRealPortParameters", "VSVUUUUU", "ss", false, must},
      {"BundleSetRealPortParameters", "VSVIIIII", "ss", true},
      {"BundleSetDynamicParametersForRealPort", "VSV", "ss", true}, {"BundlePortSetPermissions", "VSVV", "mmk", true},
      {"BundlePortGetPermissions", "VSVO", "mm", false, E::kMayBeNull},
      {"SharedPortSetPermissionsForApp", "VSVVV", "sssn", true}, {"SharedSetDefaultPermissions", "VSVV", "sss", true},
      {"SharedPortGetAppPermissions", "VSVOO", "ss", false, must}, {"SharedDelAllPermissions", "VSV", "ss", true},
      {"SharedGetPortApplications", "VO", "s", false, must, true, E::kDevice}, {"QKGetLastError", "", "", false},
  };
  return table;
}

FARPROC Resolve(const char* name) {
  HMODULE dll = GetModuleHandleW(L"lumbrex.dll");
  return dll || (dll = LoadLibraryW(L"lumbrex.dll")) ? GetProcAddress(dll, name) : nullptr;
}

int CountKind(const std::string& kinds, char kind) {
  return static_cast<int>(std::count(kinds.begin(), kinds.end(), kind));
}

int CallExport(FARPROC fn, const std::string& kinds, const CallArgs& a) {
  // Every parameter takes one 8-byte slot, a VARIANT the address of the
  // caller's copy; a callee ignores the slots beyond its own.
  VARIANT copies[4];
  uintptr_t slot[8] = {};
  int v = 0, i = 0, o = 0, n = 0;
  for (char c : kinds) {
    if (c == 'V') copies[v] = a.v[v], slot[n] = reinterpret_cast<uintptr_t>(&copies[v]), ++v;
    if (c == 'S' || c == 'I') slot[n] = static_cast<uintptr_t>(c == 'S' ? a.side : a.ints[i++]);
    if (c == 'O' || c == 'U') slot[n] = reinterpret_cast<uintptr_t>(a.outs[o++]);
    ++n;
  }
  using U = uintptr_t;
  auto call = reinterpret_cast<int(WINAPI*)(U, U, U, U, U, U, U, U)>(reinterpret_cast<void*>(fn));
  return call(slot[0], slot[1], slot[2], slot[3], slot[4], slot[5], slot[6], slot[7]);
}

bool AllowedLastError(const ExportInfo& e, unsigned code) {
  static const std::set<unsigned> common = {0, 2, 5, 8, 13, 87, 234};
  // WNetAddConnection2W's documented results.
  static const std::set<unsigned> logon = {50,   53,   66,   67,   85,   86,   124,  170,  206,  487,  1200, 1202,
                                           1203, 1204, 1205, 1206, 1208, 1219, 1222, 1223, 1326, 2202, 2250};
  // Opening the sharing driver's device: path, sharing, and 31 when the system gave no reason.
  static const std::set<unsigned> device = {3, 31, 32, 123, 161, 206};
  return common.count(code) || (e.extra == ExportInfo::kNetwork && logon.count(code)) ||
         (e.extra == ExportInfo::kDevice && device.count(code));
}

void StoreLastError2() {
  testsupport::Var missing(testsupport::Bstr(L"no such bundle")), names;
  CallArgs a;
  a.v[0] = missing.copy();
  a.outs[0] = names.get();
  CallExport(Resolve("GetPortsNamesByBundleAndSide"), "VSO", a);
}

SIZE_T PrivateBytes() {
  PROCESS_MEMORY_COUNTERS_EX c{};
  c.cb = sizeof(c);
  GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&c), sizeof(c));
  return c.PrivateUsage;
}

long long HeapBusyBytes() {
  HANDLE heaps[64];
  const DWORD n = GetProcessHeaps(64, heaps);
  long long total = 0;
  for (DWORD i = 0; i < n && i < 64; ++i) {
    if (!HeapLock(heaps[i])) continue;
    PROCESS_HEAP_ENTRY entry{};
    while (HeapWalk(heaps[i], &entry)) total += entry.wFlags & PROCESS_HEAP_ENTRY_BUSY ? entry.cbData : 0;
    HeapUnlock(heaps[i]);
  }
  return total;
}

GoodCall::GoodCall(const ExportInfo& e) : kinds_(e.kinds) {
  const std::string name = e.name;
  const wchar_t* texts[] = {L"B1", name.rfind("Shared", 0) == 0 ? L"COM2" : L"COM1", L"app.exe"};
  if (kinds_ == "VVV") texts[0] = L".", texts[1] = texts[2] = L"";  // the local pipe, no logon
  if (kinds_ == "VO") texts[0] = L"COM2";
  for (int p = 0; e.args[p]; ++p)
    if (e.args[p] == 'n' || e.args[p] == 'k')
      *good_[p] = testsupport::I4(name == "BundleAddPort" ? 1 : 3);
    else
      SetText(p, texts[p]);
}

void GoodCall::SetText(int position, const wchar_t* text) {
  VariantClear(good_[position].get());
  *good_[position] = testsupport::Bstr(text);
}

CallArgs GoodCall::Args() {
  CallArgs a;
  ClearOuts();
  for (int k = 0; k < 5; ++k) {
    if (k < 4) a.v[k] = good_[k].copy();
    a.ints[k] = kinds_ == "I" ? 1 : k == 0 ? 9600 : k == 2 ? 8 : 0;
    outI_[k] = -7777;
  }
  int o = 0;
  for (char c : kinds_)
    if (c == 'O' || c == 'U') a.outs[o] = c == 'O' ? static_cast<void*>(outV_[o].get()) : &outI_[o], ++o;
  return a;
}

void GoodCall::ClearOuts() {
  for (auto& v : outV_) VariantClear(v.get());
}

}  // namespace reliability
