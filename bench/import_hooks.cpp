#include "import_hooks.h"

#include <oleauto.h>

#include <cstring>

#include "lumbrex.h"

namespace bench {
namespace {

// One counting wrapper per function: calls the original entry and adds the
// time spent in it.
#define BENCH_WRAP(dllName, ret, fn, params, args)                                        \
  ret WINAPI Wrap_##fn params;                                                            \
  CallStat g_##fn{dllName, #fn, reinterpret_cast<void*>(&Wrap_##fn)};                     \
  ret WINAPI Wrap_##fn params {                                                           \
    LARGE_INTEGER before, after;                                                          \
    QueryPerformanceCounter(&before);                                                     \
    ret result = reinterpret_cast<decltype(&::fn)>(g_##fn.original) args;                 \
    QueryPerformanceCounter(&after);                                                      \
    ++g_##fn.calls;                                                                       \
    g_##fn.ticks += after.QuadPart - before.QuadPart;                                     \
    return result;                                                                        \
  }

BENCH_WRAP("advapi32.dll", LSTATUS, RegOpenKeyExW, (HKEY k, LPCWSTR s, DWORD o, REGSAM a, PHKEY r), (k, s, o, a, r))
BENCH_WRAP("advapi32.dll", LSTATUS, RegCloseKey, (HKEY k), (k))
BENCH_WRAP("advapi32.dll", LSTATUS, RegEnumKeyExW,
           (HKEY k, DWORD i, LPWSTR n, LPDWORD l, LPDWORD r, LPWSTR c, LPDWORD cl, PFILETIME t),
           (k, i, n, l, r, c, cl, t))
BENCH_WRAP("advapi32.dll", LSTATUS, RegEnumValueW,
           (HKEY k, DWORD i, LPWSTR n, LPDWORD l, LPDWORD r, LPDWORD t, LPBYTE d, LPDWORD dl),
           (k, i, n, l, r, t, d, dl))
BENCH_WRAP("advapi32.dll", LSTATUS, RegQueryValueExW, (HKEY k, LPCWSTR n, LPDWORD r, LPDWORD t, LPBYTE d, LPDWORD dl),
           (k, n, r, t, d, dl))
BENCH_WRAP("oleaut32.dll", SAFEARRAY*, SafeArrayCreate, (VARTYPE vt, UINT dims, SAFEARRAYBOUND* b), (vt, dims, b))
BENCH_WRAP("oleaut32.dll", HRESULT, SafeArrayRedim, (SAFEARRAY * a, SAFEARRAYBOUND* b), (a, b))
BENCH_WRAP("oleaut32.dll", HRESULT, SafeArrayCopy, (SAFEARRAY * a, SAFEARRAY** out), (a, out))
BENCH_WRAP("oleaut32.dll", HRESULT, SafeArrayDestroy, (SAFEARRAY * a), (a))
BENCH_WRAP("oleaut32.dll", HRESULT, SafeArrayLock, (SAFEARRAY * a), (a))
BENCH_WRAP("oleaut32.dll", HRESULT, SafeArrayUnlock, (SAFEARRAY * a), (a))
BENCH_WRAP("oleaut32.dll", BSTR, SysAllocString, (const OLECHAR* s), (s))
BENCH_WRAP("oleaut32.dll", HRESULT, VariantClear, (VARIANTARG * v), (v))
BENCH_WRAP("kernel32.dll", DWORD, WaitForSingleObject, (HANDLE h, DWORD ms), (h, ms))
BENCH_WRAP("kernel32.dll", BOOL, ReleaseMutex, (HANDLE h), (h))
BENCH_WRAP("kernel32.dll", BOOL, DuplicateHandle,
           (HANDLE sp, HANDLE s, HANDLE tp, LPHANDLE t, DWORD a, BOOL i, DWORD o), (sp, s, tp, t, a, i, o))
BENCH_WRAP("kernel32.dll", BOOL, CloseHandle, (HANDLE h), (h))
BENCH_WRAP("kernel32.dll", BOOL, WriteFile, (HANDLE h, LPCVOID b, DWORD n, LPDWORD w, LPOVERLAPPED o),
           (h, b, n, w, o))
BENCH_WRAP("kernel32.dll", BOOL, ReadFile, (HANDLE h, LPVOID b, DWORD n, LPDWORD r, LPOVERLAPPED o), (h, b, n, r, o))
BENCH_WRAP("kernel32.dll", int, WideCharToMultiByte,
           (UINT cp, DWORD f, LPCWCH w, int wn, LPSTR m, int mn, LPCCH d, LPBOOL u), (cp, f, w, wn, m, mn, d, u))

// What Lumbrex.Control calls through the import table of
// lumbrex-automation.dll: the type information's dispatch, the OLE calls
// around a method, and the exports its methods wrap.
BENCH_WRAP("oleaut32.dll", HRESULT, DispInvoke,
           (void* t, ITypeInfo* i, DISPID m, WORD f, DISPPARAMS* p, VARIANT* r, EXCEPINFO* e, UINT* a),
           (t, i, m, f, p, r, e, a))
BENCH_WRAP("oleaut32.dll", SAFEARRAY*, SafeArrayCreateVector, (VARTYPE vt, LONG low, ULONG n), (vt, low, n))
BENCH_WRAP("oleaut32.dll", HRESULT, SafeArrayGetElement, (SAFEARRAY * a, LONG* i, void* v), (a, i, v))
BENCH_WRAP("oleaut32.dll", HRESULT, SafeArrayPtrOfIndex, (SAFEARRAY * a, LONG* i, void** v), (a, i, v))
BENCH_WRAP("oleaut32.dll", HRESULT, SetErrorInfo, (ULONG r, IErrorInfo* e), (r, e))
BENCH_WRAP("lumbrex.dll", int, GetBundlesNames, (VARIANT * names), (names))
BENCH_WRAP("lumbrex.dll", int, GetBundleState, (VARIANT bundle), (bundle))
BENCH_WRAP("lumbrex.dll", int, BundleGetRealPortParameters,
           (VARIANT b, int s, VARIANT p, int* baud, int* parity, int* data, int* stop, int* flow),
           (b, s, p, baud, parity, data, stop, flow))
BENCH_WRAP("lumbrex.dll", unsigned int, QKGetLastError, (), ())

#undef BENCH_WRAP

// The import thunks of `module` for `dll`, with the imported names beside them.
template <typename Visit>
void ForEachImport(HMODULE module, Visit visit) {
  auto* base = reinterpret_cast<BYTE*>(module);
  auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (dir.VirtualAddress == 0) return;
  for (auto* desc = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); desc->Name != 0; ++desc) {
    const char* dll = reinterpret_cast<const char*>(base + desc->Name);
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + (desc->OriginalFirstThunk ? desc->OriginalFirstThunk
                                                                                         : desc->FirstThunk));
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + desc->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      visit(dll, reinterpret_cast<const char*>(byName->Name), reinterpret_cast<void**>(&slots->u1.Function));
    }
  }
}

void WriteSlot(void** slot, void* value) {
  DWORD old = 0;
  VirtualProtect(slot, sizeof(void*), PAGE_READWRITE, &old);
  *slot = value;
  VirtualProtect(slot, sizeof(void*), old, &old);
}

}  // namespace

std::vector<CallStat*>& AllCallStats() {
  static std::vector<CallStat*> all{&g_RegOpenKeyExW,   &g_RegEnumKeyExW,   &g_RegEnumValueW,      &g_RegQueryValueExW,
                                    &g_RegCloseKey,     &g_SafeArrayCreate, &g_SafeArrayRedim,     &g_SafeArrayCopy,
                                    &g_SafeArrayDestroy, &g_SafeArrayLock,  &g_SafeArrayUnlock,    &g_SysAllocString,
                                    &g_VariantClear,    &g_WaitForSingleObject, &g_ReleaseMutex,   &g_DuplicateHandle,
                                    &g_CloseHandle,     &g_WriteFile,       &g_ReadFile,           &g_WideCharToMultiByte,
                                    &g_DispInvoke,      &g_SafeArrayCreateVector, &g_SafeArrayGetElement,
                                    &g_SafeArrayPtrOfIndex, &g_SetErrorInfo, &g_GetBundlesNames, &g_GetBundleState,
                                    &g_BundleGetRealPortParameters, &g_QKGetLastError};
  return all;
}

CallStat* FindCallStat(const char* name) {
  for (CallStat* stat : AllCallStats())
    if (std::strcmp(stat->name, name) == 0) return stat;
  return nullptr;
}

int PatchImports(HMODULE module) {
  int patched = 0;
  ForEachImport(module, [&](const char* dll, const char* name, void** slot) {
    for (CallStat* stat : AllCallStats()) {
      if (_stricmp(dll, stat->dll) != 0 || std::strcmp(name, stat->name) != 0) continue;
      if (*slot == stat->replacement) return;
      stat->original = *slot;
      WriteSlot(slot, stat->replacement);
      ++patched;
    }
  });
  return patched;
}

void UnpatchImports(HMODULE module) {
  ForEachImport(module, [&](const char*, const char* name, void** slot) {
    for (CallStat* stat : AllCallStats())
      if (*slot == stat->replacement && std::strcmp(name, stat->name) == 0) WriteSlot(slot, stat->original);
  });
}

void ResetCallStats() {
  for (CallStat* stat : AllCallStats()) stat->calls = 0, stat->ticks = 0;
}

}  // namespace bench
