// Profiling by import-table patching: the benchmark replaces entries of
// lumbrex.dll's import address table with counting wrappers, so that it can
// say how many registry, SAFEARRAY and pipe calls one export makes and how
// long they take, without touching the library's code; likewise for
// lumbrex-automation.dll, where a method's time splits into the export it
// wraps and the OLE calls around it. Only the profiling runs are patched;
// the timed runs go through the original entries.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace bench {

struct CallStat {
  const char* dll;   // import module, compared without regard to case
  const char* name;  // imported function
  void* replacement;
  void* original = nullptr;
  uint64_t calls = 0;
  int64_t ticks = 0;  // QueryPerformanceCounter ticks spent inside the call
};

// All wrapped functions (their statistics); see import_hooks.cpp.
std::vector<CallStat*>& AllCallStats();
CallStat* FindCallStat(const char* name);

// Patches every wrapped function that `module` imports (returns how many were
// found), or puts the original entries back.
int PatchImports(HMODULE module);
void UnpatchImports(HMODULE module);
void ResetCallStats();

}  // namespace bench
