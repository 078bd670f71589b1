#include "config_store.h"

#include <string>
#include <utility>
#include <vector>

#include "api/raii.h"
#include "common/name_rules.h"
#include "common/names.h"

namespace lumbrex::service {
namespace {

// Bundles, ports and share permissions live in the 64-bit view, the four
// root-key options in the 32-bit view, where the library reads them.
constexpr REGSAM kView64 = KEY_WOW64_64KEY;
constexpr REGSAM kView32 = KEY_WOW64_32KEY;

Outcome Ok() { return Outcome{true, nullptr, ERROR_SUCCESS}; }
Outcome Refused(const char* reason) { return Outcome{false, reason, ERROR_SUCCESS}; }
Outcome Failed(const char* reason, LONG code, const wchar_t* value = nullptr) {
  return Outcome{false, reason, code, value};
}

std::wstring BundlePath(const Text& bundle) { return std::wstring(kConfigRootKeyPath) + L"\\" + bundle; }
const wchar_t* SideKeyName(Side side) { return kSideKeyNames[static_cast<int>(side)]; }
const wchar_t* MainValueName(Side side) { return kMainPortValueNames[static_cast<int>(side)]; }

LONG OpenKey(const std::wstring& path, REGSAM access, UniqueHkey& key) {
  return RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, access, key.put());
}

LONG SetString(HKEY key, const wchar_t* name, const std::wstring& text) {
  return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                        static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

LONG SetDword(HKEY key, const wchar_t* name, DWORD value) {
  return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

// Reads a REG_SZ or REG_EXPAND_SZ value: its text up to the first NUL, with or
// without a final NUL, whatever its byte size. Not the library's RegistryKey
// read, which refuses such values with 13 or 234 because its callers report
// those codes: the service reads a main port or a port entry only to clear or
// rewrite it, and one that a hand edit left without its final NUL must not
// keep the service from doing so.
LONG QueryString(HKEY key, const wchar_t* name, std::wstring& text) {
  DWORD type = 0, size = 0;
  LONG status = RegQueryValueExW(key, name, nullptr, &type, nullptr, &size);
  if (status != ERROR_SUCCESS) return status;
  if (type != REG_SZ && type != REG_EXPAND_SZ) return ERROR_INVALID_DATA;
  std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1, L'\0');
  DWORD got = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
  status = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &got);
  if (status != ERROR_SUCCESS) return status;
  if (type != REG_SZ && type != REG_EXPAND_SZ) return ERROR_INVALID_DATA;
  text.assign(buffer.data(), got / sizeof(wchar_t));
  const size_t nul = text.find(L'\0');
  if (nul != std::wstring::npos) text.resize(nul);
  return ERROR_SUCCESS;
}

// The registry's rule for key and value names, shared with the tool that
// plans against this service (common/name_rules.h).
bool SameName(const std::wstring& a, const std::wstring& b) { return lumbrex::SameName(a, b); }

bool ValueExists(HKEY key, const wchar_t* name) {
  return RegQueryValueExW(key, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

// As the library reads it, the kind word follows any run of leading "|" and
// runs to the next "|".
std::wstring KindWordOf(const std::wstring& entry) {
  const size_t start = entry.find_first_not_of(L'|');
  if (start == std::wstring::npos) return {};
  const size_t end = entry.find(L'|', start);
  return entry.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
}

// Opens the side key of a port command; a missing bundle or side is refused.
Outcome OpenSide(const Request& r, REGSAM access, UniqueHkey& side) {
  UniqueHkey bundle;
  LONG status = OpenKey(BundlePath(r.bundle), KEY_READ | kView64, bundle);
  if (status == ERROR_FILE_NOT_FOUND) return Refused("no such bundle");
  if (status != ERROR_SUCCESS) return Failed("bundle key cannot be opened", status);
  status = RegOpenKeyExW(bundle.get(), SideKeyName(r.side), 0, access | kView64, side.put());
  if (status == ERROR_FILE_NOT_FOUND) return Refused("bundle has no such side key");
  if (status != ERROR_SUCCESS) return Failed("side key cannot be opened", status);
  return Ok();
}

// Opens the side key and checks that the port is one of its values.
Outcome OpenPort(const Request& r, REGSAM access, UniqueHkey& side) {
  Outcome outcome = OpenSide(r, access, side);
  if (!outcome.ok) return outcome;
  if (!ValueExists(side.get(), r.port.c_str())) return Refused("no such port on that side");
  return Ok();
}

// The configuration root, writable, and an existing bundle's key below it,
// readable: what deleting or renaming a bundle starts from.
Outcome OpenBundle(const Text& name, UniqueHkey& root, UniqueHkey& bundle) {
  LONG status = OpenKey(kConfigRootKeyPath, KEY_ALL_ACCESS | kView64, root);
  if (status == ERROR_FILE_NOT_FOUND) return Refused("no such bundle");
  if (status != ERROR_SUCCESS) return Failed("root key cannot be opened", status);
  status = RegOpenKeyExW(root.get(), name.c_str(), 0, KEY_READ | kView64, bundle.put());
  if (status == ERROR_FILE_NOT_FOUND) return Refused("no such bundle");
  if (status != ERROR_SUCCESS) return Failed("bundle key cannot be opened", status);
  return Ok();
}

}  // namespace

Outcome ConfigStore::Apply(const Request& request) {
  std::lock_guard<std::mutex> hold(lock_);
  switch (request.word) {
    case CommandWord::AddBundle: return AddBundle(request);
    case CommandWord::DelBundle: return DelBundle(request);
    case CommandWord::RenameBundle: return RenameBundle(request);
    case CommandWord::GetBundleState: return GetBundleState(request);
    case CommandWord::AddPort: return AddPort(request);
    case CommandWord::DelPort: return DelPort(request);
    case CommandWord::SetMain: return SetMain(request);
    case CommandWord::GetPortState: return GetPortState(request);
    case CommandWord::SetRportParams: return SetRportParams(request);
    case CommandWord::UpdateSettings: return UpdateSettings(request);
    case CommandWord::SetSharePermission: return SetSharePermission(request);
    default: return Refused("not a command");
  }
}

Outcome ConfigStore::AddBundle(const Request& r) {
  UniqueHkey root;
  LONG status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, kConfigRootKeyPath, 0, nullptr, 0, KEY_ALL_ACCESS | kView64,
                                nullptr, root.put(), nullptr);
  if (status != ERROR_SUCCESS) return Failed("root key cannot be created", status);
  UniqueHkey bundle;
  DWORD disposition = 0;
  status = RegCreateKeyExW(root.get(), r.bundle.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | kView64, nullptr,
                           bundle.put(), &disposition);
  if (status != ERROR_SUCCESS) return Failed("bundle key cannot be created", status);
  if (disposition != REG_CREATED_NEW_KEY) return Refused("bundle exists already");
  // The side keys and the two main-port values, empty.
  for (const wchar_t* side : kSideKeyNames) {
    UniqueHkey sideKey;
    status = RegCreateKeyExW(bundle.get(), side, 0, nullptr, 0, KEY_ALL_ACCESS | kView64, nullptr, sideKey.put(),
                             nullptr);
    if (status != ERROR_SUCCESS) break;
  }
  for (const wchar_t* main : kMainPortValueNames)
    if (status == ERROR_SUCCESS) status = SetString(bundle.get(), main, L"");
  if (status != ERROR_SUCCESS) {
    // Leave no half-made bundle behind.
    RegDeleteTreeW(root.get(), r.bundle.c_str());
    return Failed("bundle layout cannot be written", status);
  }
  return Ok();
}

Outcome ConfigStore::DelBundle(const Request& r) {
  UniqueHkey root, bundle;
  const Outcome found = OpenBundle(r.bundle, root, bundle);
  if (!found.ok) return found;
  bundle.reset();
  const LONG status = RegDeleteTreeW(root.get(), r.bundle.c_str());
  if (status != ERROR_SUCCESS) return Failed("bundle key cannot be deleted", status);
  return Ok();
}

Outcome ConfigStore::RenameBundle(const Request& r) {
  UniqueHkey root, from;
  const Outcome found = OpenBundle(r.bundle, root, from);
  if (!found.ok) return found;
  UniqueHkey to;
  DWORD disposition = 0;
  LONG status = RegCreateKeyExW(root.get(), r.newBundle.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | kView64, nullptr,
                           to.put(), &disposition);
  if (status != ERROR_SUCCESS) return Failed("new bundle key cannot be created", status);
  if (disposition != REG_CREATED_NEW_KEY) return Refused("new bundle name exists already");
  status = RegCopyTreeW(from.get(), nullptr, to.get());
  if (status != ERROR_SUCCESS) {
    RegDeleteTreeW(root.get(), r.newBundle.c_str());
    return Failed("bundle cannot be copied", status);
  }
  status = RegDeleteTreeW(root.get(), r.bundle.c_str());
  if (status != ERROR_SUCCESS) return Failed("old bundle key cannot be deleted", status);
  return Ok();
}

Outcome ConfigStore::GetBundleState(const Request& r) {
  UniqueHkey bundle;
  const LONG status = OpenKey(BundlePath(r.bundle), KEY_READ | kView64, bundle);
  if (status == ERROR_FILE_NOT_FOUND) return Refused("no such bundle");
  if (status != ERROR_SUCCESS) return Failed("bundle key cannot be opened", status);
  return Ok();
}

Outcome ConfigStore::AddPort(const Request& r) {
  UniqueHkey bundle;
  LONG status = OpenKey(BundlePath(r.bundle), KEY_ALL_ACCESS | kView64, bundle);
  if (status == ERROR_FILE_NOT_FOUND) return Refused("no such bundle");
  if (status != ERROR_SUCCESS) return Failed("bundle key cannot be opened", status);
  // A bundle whose side key went missing gets it back.
  UniqueHkey side;
  status = RegCreateKeyExW(bundle.get(), SideKeyName(r.side), 0, nullptr, 0, KEY_ALL_ACCESS | kView64, nullptr,
                           side.put(), nullptr);
  if (status != ERROR_SUCCESS) return Failed("side key cannot be created", status);
  if (ValueExists(side.get(), r.port.c_str())) return Refused("port exists already on that side");
  // Kind word, empty parameter text (dynamic), both permission bits.
  std::wstring entry;
  for (const char* p = PortKindWord(r.kind); *p; ++p) entry.push_back(wchar_t(*p));
  entry += L"||1|1";
  status = SetString(side.get(), r.port.c_str(), entry);
  if (status != ERROR_SUCCESS) return Failed("port entry cannot be written", status);
  return Ok();
}

Outcome ConfigStore::DelPort(const Request& r) {
  UniqueHkey side;
  Outcome outcome = OpenPort(r, KEY_ALL_ACCESS, side);
  if (!outcome.ok) return outcome;
  UniqueHkey bundle;
  LONG status = OpenKey(BundlePath(r.bundle), KEY_ALL_ACCESS | kView64, bundle);
  if (status != ERROR_SUCCESS) return Failed("bundle key cannot be opened", status);
  // A main port that is gone is no main port any more. It is cleared before
  // the port goes, so that no failure on the way leaves it naming a port the
  // side no longer has.
  std::wstring main;
  const bool wasMain =
      QueryString(bundle.get(), MainValueName(r.side), main) == ERROR_SUCCESS && SameName(main, r.port);
  if (wasMain) {
    status = SetString(bundle.get(), MainValueName(r.side), L"");
    if (status != ERROR_SUCCESS) return Failed("main port cannot be cleared", status);
  }
  status = RegDeleteValueW(side.get(), r.port.c_str());
  if (status != ERROR_SUCCESS) {
    if (wasMain) SetString(bundle.get(), MainValueName(r.side), main);  // the port stays, and stays main
    return Failed("port entry cannot be deleted", status);
  }
  return Ok();
}

Outcome ConfigStore::SetMain(const Request& r) {
  UniqueHkey side;
  Outcome outcome = r.port.empty() ? OpenSide(r, KEY_READ, side) : OpenPort(r, KEY_READ, side);
  if (!outcome.ok) return outcome;
  UniqueHkey bundle;
  LONG status = OpenKey(BundlePath(r.bundle), KEY_ALL_ACCESS | kView64, bundle);
  if (status != ERROR_SUCCESS) return Failed("bundle key cannot be opened", status);
  status = SetString(bundle.get(), MainValueName(r.side), r.port);
  if (status != ERROR_SUCCESS) return Failed("main port cannot be written", status);
  return Ok();
}

Outcome ConfigStore::GetPortState(const Request& r) {
  UniqueHkey side;
  return OpenPort(r, KEY_READ, side);
}

Outcome ConfigStore::SetRportParams(const Request& r) {
  UniqueHkey side;
  Outcome outcome = OpenPort(r, KEY_ALL_ACCESS, side);
  if (!outcome.ok) return outcome;
  std::wstring entry;
  LONG status = QueryString(side.get(), r.port.c_str(), entry);
  if (status != ERROR_SUCCESS) return Failed("port entry cannot be read", status);
  const std::wstring kind = KindWordOf(entry);
  if (kind.empty()) return Refused("port entry has no kind word");
  status = SetString(side.get(), r.port.c_str(), kind + L"|" + r.parameterText + r.bitFields);
  if (status != ERROR_SUCCESS) return Failed("port entry cannot be written", status);
  return Ok();
}

Outcome ConfigStore::UpdateSettings(const Request& r) {
  // The options before StrictBaudrate in the root key's 32-bit view, in wire order.
  UniqueHkey root;
  LONG status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, kConfigRootKeyPath, 0, nullptr, 0, KEY_SET_VALUE | kView32, nullptr,
                                root.put(), nullptr);
  if (status != ERROR_SUCCESS) return Failed("root key (32-bit view) cannot be created", status);
  for (int i = 0; i < LUMBREX_OPTION_STRICT_BAUDRATE; ++i) {
    status = SetDword(root.get(), kOptionValueNames[i], r.options[i]);
    if (status != ERROR_SUCCESS) return Failed("option cannot be written", status, kOptionValueNames[i]);
  }
  UniqueHkey driver;
  status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, kDriverServiceKeyPath, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                           driver.put(), nullptr);
  if (status != ERROR_SUCCESS) return Failed("driver service key cannot be created", status);
  status = SetDword(driver.get(), kOptionValueNames[LUMBREX_OPTION_STRICT_BAUDRATE],
                    r.options[LUMBREX_OPTION_STRICT_BAUDRATE]);
  if (status != ERROR_SUCCESS)
    return Failed("option cannot be written", status, kOptionValueNames[LUMBREX_OPTION_STRICT_BAUDRATE]);
  return Ok();
}

Outcome ConfigStore::SetSharePermission(const Request& r) {
  UniqueHkey side;
  Outcome outcome = OpenPort(r, KEY_READ, side);
  if (!outcome.ok) return outcome;
  // Permissions belong to the port alone, whatever the bundle and side.
  const std::wstring path = std::wstring(kSharedPortsKeyPath) + L"\\" + r.port + L"\\" + kPermissionsKeyName;
  UniqueHkey permissions;
  LONG status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE | kView64, nullptr,
                                permissions.put(), nullptr);
  if (status != ERROR_SUCCESS) return Failed("permissions key cannot be created", status);
  status = SetDword(permissions.get(), r.application.c_str(), r.permission);
  if (status != ERROR_SUCCESS) return Failed("permission cannot be written", status);
  return Ok();
}

}  // namespace lumbrex::service
