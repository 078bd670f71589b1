// Small calls shared by the link tests.
#pragma once
#include <gtest/gtest.h>

#include <winternl.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "lumbrex.h"
#include "support/test_pipe_server.h"
#include "support/variants.h"

namespace linktest {

using testsupport::TestPipeServer;
using testsupport::Var;

inline int Add(const std::string& bundle) {
  Var name;
  *name = testsupport::Bstr(std::wstring(bundle.begin(), bundle.end()));
  return AddBundle(name.copy());
}

// Leaves 13 in the last-error code, so a test sees that a failure stores none.
inline void PresetLastError() {
  Var result;
  ASSERT_EQ(SharedGetPortApplications(testsupport::I4(1), result.get()), 0);
}

// Drops every connection reference while a server listens: one more connect opens the pipe whatever the
// count, then disconnects until nothing gets through.
inline void DropConnection() {
  ConnectToLocalService();
  for (int i = 0; i < 8 && Add("DROP") == 1; ++i) DisconnectFromService();
}

// Handles this process holds, from the system's handle list (Wine's GetProcessHandleCount always says 0).
inline std::vector<HANDLE> ProcessHandles() {
  struct Entry { ULONG process; UCHAR type, flags; USHORT value; PVOID object; ACCESS_MASK access; };
  using Query = NTSTATUS(NTAPI*)(ULONG, PVOID, ULONG, PULONG);
  const auto query = reinterpret_cast<Query>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
  std::vector<ULONG_PTR> list(1 << 14);  // a count, then the entries, aligned as pointers
  const ULONG kSystemHandleInformation = 16;
  for (ULONG size = 0; query(kSystemHandleInformation, list.data(), ULONG(list.size() * sizeof(ULONG_PTR)), &size);)
    list.resize(list.size() * 2);
  const auto* entry = reinterpret_cast<const Entry*>(&list[1]);
  std::vector<HANDLE> mine;
  for (ULONG_PTR i = 0; i < list[0]; ++i)
    if (entry[i].process == GetCurrentProcessId()) mine.push_back(reinterpret_cast<HANDLE>(ULONG_PTR(entry[i].value)));
  return mine;
}
inline long OpenHandles() { return long(ProcessHandles().size()); }

// Client ends of named pipes this process holds open: the library's connection is one, whether or not the
// service has noticed anything yet.
inline int ClientPipeEnds() {
  int ends = 0;
  for (HANDLE handle : ProcessHandles()) {
    DWORD flags = 0;
    ends += GetFileType(handle) == FILE_TYPE_PIPE && GetNamedPipeInfo(handle, &flags, nullptr, nullptr, nullptr) &&
            !(flags & PIPE_SERVER_END);
  }
  return ends;
}

inline long EnvNumber(const char* name, long fallback) {
  return std::getenv(name) ? std::atol(std::getenv(name)) : fallback;
}

// An out-VARIANT as text: VT_EMPTY as <empty>, a string as it is, VT_I4 as #n, an array of strings or
// VARIANTs as [a,b] (marked if not one-dimensional from 0), anything else as vtN.
inline std::wstring Describe(const VARIANT& v) {
  if (v.vt == VT_EMPTY) return L"<empty>";
  if (v.vt == VT_BSTR) return testsupport::TextOf(v);
  if (v.vt == VT_I4) return L"#" + std::to_wstring(v.lVal);
  const bool strings = v.vt == (VT_ARRAY | VT_BSTR);
  if (!strings && v.vt != (VT_ARRAY | VT_VARIANT)) return L"vt" + std::to_wstring(v.vt);
  LONG low = 0, high = -1;
  SafeArrayGetLBound(v.parray, 1, &low);
  SafeArrayGetUBound(v.parray, 1, &high);
  std::wstring out = low == 0 && SafeArrayGetDim(v.parray) == 1 ? L"[" : L"[bounds?";
  for (LONG i = low; i <= high; ++i) {
    Var e;
    e->vt = strings ? VT_BSTR : VT_EMPTY;
    SafeArrayGetElement(v.parray, &i, strings ? static_cast<void*>(&e->bstrVal) : static_cast<void*>(e.get()));
    out += (i > low ? L"," : L"") + Describe(*e);
  }
  return out + L"]";
}

}  // namespace linktest
