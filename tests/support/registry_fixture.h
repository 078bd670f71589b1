// Test helpers: write registry fixtures straight into the private prefix
// (HKEY_LOCAL_MACHINE). Only tests write; the library never does.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

// View flags for the fixture writers: KEY_WOW64_64KEY (native) or KEY_WOW64_32KEY.
constexpr REGSAM kView64 = KEY_WOW64_64KEY;
constexpr REGSAM kView32 = KEY_WOW64_32KEY;

LONG CreateKey(const std::wstring& path, REGSAM view = kView64);
LONG DeleteTree(const std::wstring& path, REGSAM view = kView64);
LONG SetRaw(const std::wstring& path, const std::wstring& name, DWORD type, const void* data, DWORD size,
            REGSAM view = kView64);
// Stores the text with its final NUL.
LONG SetString(const std::wstring& path, const std::wstring& name, const std::wstring& text, DWORD type = REG_SZ,
               REGSAM view = kView64);
// Stores the text without a final NUL (Wine adds one when the byte after the
// data is 0, so the data is followed by a non-zero byte in memory).
LONG SetStringWithoutNul(const std::wstring& path, const std::wstring& name, const std::wstring& text,
                         REGSAM view = kView64);
LONG SetDword(const std::wstring& path, const std::wstring& name, uint32_t value, REGSAM view = kView64);
LONG DeleteValue(const std::wstring& path, const std::wstring& name, REGSAM view = kView64);

// Deletes the tree when made and again when gone, so each test starts and
// leaves the prefix clean.
class ScopedTree {
 public:
  explicit ScopedTree(std::wstring path, REGSAM view = kView64);
  ~ScopedTree();
  ScopedTree(const ScopedTree&) = delete;
  ScopedTree& operator=(const ScopedTree&) = delete;
 private:
  std::wstring path_;
  REGSAM view_;
};

// The registry's own enumeration order of a key's value or subkey names, read
// with plain Win32 calls: tests compare lists against it, never a sorted one.
std::vector<std::wstring> EnumValueNamesDirect(const std::wstring& path, REGSAM view = kView64);
std::vector<std::wstring> EnumSubkeyNamesDirect(const std::wstring& path, REGSAM view = kView64);

}  // namespace testsupport
