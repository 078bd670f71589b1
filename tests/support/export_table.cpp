#include "support/export_table.h"

#include <psapi.h>

#include <algorithm>
#include <cstdint>
#include <set>

#include <gtest/gtest.h>

namespace export_table {

const std::vector<ExportInfo>& AllExports() {
  using E = ExportInfo;
  const auto no = E::kNoOut, must = E::kMustBeValid;
  const Param var = Param::kVariant, side = Param::kSide, anySide = Param::kAnySide, integer = Param::kInteger,
              outVar = Param::kOutVariant, outInt = Param::kOutInteger;
  const Rule string = Rule::kString, text = Rule::kText, number = Rule::kInteger, stringByRef = Rule::kStringByRef,
             mask = Rule::kMask;
  static const std::vector<ExportInfo> table = {
      {"ConnectToLocalService", {}, {}, false},
      {"ConnectToRemoteService", {var, var, var}, {string, string, string}, false, no, false, E::kNetwork},
      {"DisconnectFromService", {}, {}, false},
      {"AddBundle", {var}, {text}, true},
      {"DeleteBundle", {var}, {text}, true},
      {"GetBundleState", {var}, {text}, true},
      {"BundleAddPort", {var, side, var, var}, {string, string, number}, true},
      {"BundleDeletePort", {var, side, var}, {string, string}, true},
      {"BundleGetPortState", {var, side, var}, {string, string}, true},
      {"BundleSetMainPortForSide", {var, side, var}, {string, string}, true},
      {"BundleUpdateSettings", {}, {}, false},
      {"GetBundlesNames", {outVar}, {}, false, must},
      {"GetPortsNamesByBundleAndSide", {var, side, outVar}, {string}, false, must, true},
      {"BundleGetMainPortForSide", {var, side, outVar}, {string}, false, must, true},
      {"GetRealPortsList", {outVar}, {}, false, must},
      {"BundleGetPortType", {var, side, var, outVar}, {string, string}, false, must},
      {"OptionSetOnlyMainPortCanSend", {integer}, {}, true},
      {"OptionSetIgnoreErrors", {integer}, {}, true},
      {"OptionSetAutoOpenPort", {integer}, {}, true},
      {"OptionSetBaudrateEmulation", {integer}, {}, true},
      {"OptionSetPortToPrint", {integer}, {}, true},
      {"OptionGetIfSendToMainSet", {outInt}, {}, false, must},
      {"OptionGetIgnoreErrorsOnPortCreation", {outInt}, {}, false, must},
      {"OptionGetPortsAutoOpen", {outInt}, {}, false, must},
      {"OptionGetBaudrateEmulation", {outInt}, {}, false, must},
      {"OptionGetPortToPrint", {outInt}, {}, false, must},
      {"BundleRealPortAreParametersDynamic", {var, side, var}, {string, string}, false},
      {"BundleGetRealPortParameters", {var, side, var, outInt, outInt, outInt, outInt, outInt}, {string, string},
       false, must},
      {"BundleSetRealPortParameters", {var, side, var, integer, integer, integer, integer, integer},
       {string, string}, true},
      {"BundleSetDynamicParametersForRealPort", {var, side, var}, {string, string}, true},
      {"BundlePortSetPermissions", {var, anySide, var, var}, {stringByRef, stringByRef, mask}, true},
      {"BundlePortGetPermissions", {var, anySide, var, outVar}, {stringByRef, stringByRef}, false, E::kMayBeNull},
      {"SharedPortSetPermissionsForApp", {var, side, var, var, var}, {string, string, string, number}, true},
      {"SharedSetDefaultPermissions", {var, side, var, var}, {string, string, string}, true},
      {"SharedPortGetAppPermissions", {var, side, var, outVar, outVar}, {string, string}, false, must},
      {"SharedDelAllPermissions", {var, side, var}, {string, string}, true},
      {"SharedGetPortApplications", {var, outVar}, {string}, false, must, true, E::kDevice},
      {"QKGetLastError", {}, {}, false},
  };
  return table;
}

const ExportInfo& FindExport(const std::string& name) {
  for (const ExportInfo& e : AllExports())
    if (name == e.name) return e;
  ADD_FAILURE() << "no export " << name << " in the table";
  return AllExports().back();
}

FARPROC Resolve(const char* name) {
  HMODULE dll = GetModuleHandleW(L"lumbrex.dll");
  return dll || (dll = LoadLibraryW(L"lumbrex.dll")) ? GetProcAddress(dll, name) : nullptr;
}

int CountOf(const ExportInfo& e, Param kind) {
  return static_cast<int>(std::count(e.params.begin(), e.params.end(), kind));
}

namespace {

// One argument: a VARIANT by value, or a word (an int or a pointer).
struct Slot {
  bool variant;
  VARIANT v;
  uintptr_t word;
};

// Calls `f` through the export's real signature, built one parameter at a
// time: a VARIANT travels by value (on the stack in 32-bit code, as the
// address of a copy in 64-bit code), an int or a pointer as one word.
template <typename... A>
int CallAs(FARPROC f, const Slot* slots, size_t count, A... args) {
  if constexpr (sizeof...(A) < 8) {
    if (sizeof...(A) < count) {
      const Slot& next = slots[sizeof...(A)];
      return next.variant ? CallAs<A..., VARIANT>(f, slots, count, args..., next.v)
                          : CallAs<A..., uintptr_t>(f, slots, count, args..., next.word);
    }
  }
  return reinterpret_cast<int(WINAPI*)(A...)>(reinterpret_cast<void*>(f))(args...);
}

}  // namespace

int CallExport(const ExportInfo& e, const CallArgs& a) {
  Slot slots[8] = {};
  int v = 0, i = 0, o = 0, n = 0;
  for (Param kind : e.params) {
    Slot& slot = slots[n++];
    switch (kind) {
      case Param::kVariant: slot.variant = true, slot.v = a.v[v++]; break;
      case Param::kSide:
      case Param::kAnySide: slot.word = static_cast<uintptr_t>(a.side); break;
      case Param::kInteger: slot.word = static_cast<uintptr_t>(a.ints[i++]); break;
      case Param::kOutVariant:
      case Param::kOutInteger: slot.word = reinterpret_cast<uintptr_t>(a.outs[o++]); break;
    }
  }
  return CallAs(Resolve(e.name), slots, static_cast<size_t>(n));
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

void StoreMissingBundleError() {
  testsupport::Var missing(testsupport::Bstr(L"no such bundle")), names;
  CallArgs a;
  a.v[0] = missing.copy();
  a.outs[0] = names.get();
  CallExport(FindExport("GetPortsNamesByBundleAndSide"), a);
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

GoodCall::GoodCall(const ExportInfo& e) : params_(e.params) {
  const std::string name = e.name;
  const wchar_t* texts[] = {L"B1", name.rfind("Shared", 0) == 0 ? L"COM2" : L"COM1", L"app.exe"};
  if (name == "ConnectToRemoteService") texts[0] = L".", texts[1] = texts[2] = L"";  // the local pipe, no logon
  if (name == "SharedGetPortApplications") texts[0] = L"COM2";
  for (size_t p = 0; p < e.rules.size(); ++p)
    if (e.rules[p] == Rule::kInteger || e.rules[p] == Rule::kMask)
      *good_[p] = testsupport::I4(name == "BundleAddPort" ? 1 : 3);
    else
      *good_[p] = testsupport::Bstr(texts[p]);
}

CallArgs GoodCall::Args() {
  CallArgs a;
  ClearOuts();
  // One integer is an option setter's value; five are port parameters.
  const bool optionValue = params_ == std::vector<Param>{Param::kInteger};
  for (int k = 0; k < 5; ++k) {
    if (k < 4) a.v[k] = good_[k].copy();
    a.ints[k] = optionValue ? 1 : k == 0 ? 9600 : k == 2 ? 8 : 0;
    outI_[k] = -7777;
  }
  int o = 0;
  for (Param kind : params_) {
    if (kind == Param::kOutVariant) a.outs[o] = outV_[o].get(), ++o;
    if (kind == Param::kOutInteger) a.outs[o] = &outI_[o], ++o;
  }
  return a;
}

void GoodCall::ClearOuts() {
  for (auto& v : outV_) VariantClear(v.get());
}

}  // namespace export_table
