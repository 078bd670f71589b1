// Test helpers: registry configurations written straight into the private
// prefix (HKEY_LOCAL_MACHINE) and removed again; the library itself never writes.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/names.h"

namespace testsupport {

constexpr REGSAM kView64 = KEY_WOW64_64KEY, kView32 = KEY_WOW64_32KEY;  // the registry views

// The keys the library reads, by the names of common/names.h.
inline const std::wstring kVendorKey = lumbrex::kVendorKeyPath;
inline const std::wstring kRootKey = lumbrex::kConfigRootKeyPath;           // bundles, the four root options
inline const std::wstring kSharedPortsKey = lumbrex::kSharedPortsKeyPath;  // <port>\<permissions key>
inline const std::wstring kDriverKey = lumbrex::kDriverServiceKeyPath;     // the driver's option
inline const std::wstring kSerialMapKey = lumbrex::kSerialMapKeyPath;
// A bundle's key, one of its side keys (side 0 input, any other output) and a
// port's share permissions key.
inline std::wstring BundleKey(const std::wstring& bundle) { return kRootKey + L"\\" + bundle; }
inline std::wstring SideKey(const std::wstring& bundle, int side) {
  return BundleKey(bundle) + L"\\" + lumbrex::SideKeyName(side);
}
inline std::wstring PermissionsKey(const std::wstring& port) {
  return kSharedPortsKey + L"\\" + port + L"\\" + lumbrex::kPermissionsKeyName;
}
// The value names the library reads: the main ports, the options.
inline const std::wstring kInMain = lumbrex::MainPortValueName(LUMBREX_SIDE_IN);
inline const std::wstring kOutMain = lumbrex::MainPortValueName(LUMBREX_SIDE_OUT);
inline const std::wstring kAutoOpen = lumbrex::kOptionValueNames[LUMBREX_OPTION_AUTO_OPEN];
inline const std::wstring kIgnoreError = lumbrex::kOptionValueNames[LUMBREX_OPTION_IGNORE_ERROR];
inline const std::wstring kPrints = lumbrex::kOptionValueNames[LUMBREX_OPTION_PRINTS];
inline const std::wstring kSendToMain = lumbrex::kOptionValueNames[LUMBREX_OPTION_SEND_DATA_ONLY_MAIN_PORT];
inline const std::wstring kStrictBaudrate = lumbrex::kOptionValueNames[LUMBREX_OPTION_STRICT_BAUDRATE];

// One line of a configuration: a value with its type and exact data bytes, a
// key alone (kKeyOnly) or a key removed with its subtree (kRemoved).
constexpr DWORD kKeyOnly = 0xFFFFFFF0, kRemoved = 0xFFFFFFF1;
struct RegItem { std::wstring key, name; DWORD type; std::string bytes; REGSAM view = kView64; };
inline std::string Bytes(const void* data, size_t size) { return std::string(static_cast<const char*>(data), size); }
inline RegItem Sz(const std::wstring& key, const std::wstring& name, const std::wstring& text, DWORD type = REG_SZ,
                  REGSAM view = kView64) {  // with its final NUL
  return {key, name, type, Bytes(text.c_str(), (text.size() + 1) * sizeof(wchar_t)), view};
}
inline RegItem NoNul(const std::wstring& key, const std::wstring& name, const std::wstring& text) {  // REG_SZ
  return {key, name, REG_SZ, Bytes(text.data(), text.size() * sizeof(wchar_t))};
}
inline RegItem Dw(const std::wstring& key, const std::wstring& name, uint32_t value, REGSAM view = kView64) {
  return {key, name, REG_DWORD, Bytes(&value, sizeof(value)), view};
}
inline RegItem KeyOnly(const std::wstring& key, REGSAM view = kView64) { return {key, L"", kKeyOnly, "", view}; }
inline RegItem Removed(const std::wstring& key) { return {key, L"", kRemoved, ""}; }

// Writes the items in order; 0, or the first failure. Each value is stored exactly as given
// (Wine adds a NUL to string data followed by a zero character: non-zero bytes follow).
LONG Write(const std::vector<RegItem>& items);
LONG DeleteTree(const std::wstring& path, REGSAM view = kView64);

// Deletes the tree when made and again when gone.
class ScopedTree {
 public:
  explicit ScopedTree(std::wstring path, REGSAM view = kView64) : path_(std::move(path)), view_(view) {
    DeleteTree(path_, view_);
  }
  ~ScopedTree() { DeleteTree(path_, view_); }
  ScopedTree(const ScopedTree&) = delete;
  ScopedTree& operator=(const ScopedTree&) = delete;
 private:
  std::wstring path_;
  REGSAM view_;
};

// A whole configuration for one test: the vendor key (both views) and the driver's service
// key are deleted before and after; the serial-device map, a volatile key as the system
// keeps it, is emptied before and gets its own values back after.
class RegistryFixture {
 public:
  explicit RegistryFixture(const std::vector<RegItem>& items = {});
  ~RegistryFixture();
  LONG status() const { return status_; }  // of writing the items
 private:
  ScopedTree vendor64_{kVendorKey, kView64}, vendor32_{kVendorKey, kView32}, driver_{kDriverKey, kView64};
  bool mapExisted_ = false;
  LONG status_ = ERROR_SUCCESS;
};

// The registry's own enumeration order of a key's value or subkey names, read
// with plain Win32 calls: tests compare lists against it, never a sorted one.
std::vector<std::wstring> EnumNamesDirect(const std::wstring& path, REGSAM view, bool values);
inline auto EnumValueNamesDirect(const std::wstring& p, REGSAM view = kView64) { return EnumNamesDirect(p, view, 1); }
inline auto EnumSubkeyNamesDirect(const std::wstring& p, REGSAM view = kView64) { return EnumNamesDirect(p, view, 0); }

}  // namespace testsupport
