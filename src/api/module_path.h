// The full path of a loaded module, for the programs and tests that find files
// beside themselves or hand their own path to Windows (the Service Control
// Manager, the type library loader, the version reader).
#pragma once
#include <windows.h>

#include <string>

namespace lumbrex {

// The path Windows loaded `module` from (null: the program itself), whatever
// its length: the buffer grows until the path fits, up to the longest path
// Windows has (32767 characters). Empty on failure, with GetLastError's code
// telling why (ERROR_INSUFFICIENT_BUFFER for a path that never fit).
inline std::wstring ModulePath(HMODULE module) {
  constexpr size_t kLongestPath = 32768;
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD size = static_cast<DWORD>(path.size());
    const DWORD length = GetModuleFileNameW(module, path.data(), size);
    if (length == 0) return std::wstring();
    if (length < size) {
      path.resize(length);
      return path;
    }
    // A path cut to fit the buffer fills it exactly.
    if (path.size() >= kLongestPath) {
      SetLastError(ERROR_INSUFFICIENT_BUFFER);
      return std::wstring();
    }
    path.resize(path.size() * 2 < kLongestPath ? path.size() * 2 : kLongestPath);
  }
}

// The module's folder with its final "\" (empty on failure, as ModulePath).
inline std::wstring ModuleFolder(HMODULE module) {
  const std::wstring path = ModulePath(module);
  return path.substr(0, path.find_last_of(L"\\/") + 1);
}

}  // namespace lumbrex
