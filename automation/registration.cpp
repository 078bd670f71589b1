#include "registration.h"

#include <string>
#include <vector>

#include "api/module_path.h"
#include "api/raii.h"
#include "lumbrex_automation.h"
#include "server.h"

namespace lumbrex_automation {
namespace {

// A GUID of the type library's definitions as the registry holds it: in
// braces, in lower case as the Windows Installer package writes it from the IDL.
std::wstring GuidText(REFGUID guid) {
  wchar_t text[39] = {};
  const int size = StringFromGUID2(guid, text, 39);  // with its NUL; 0 cannot happen with 39
  std::wstring out(text, size > 0 ? size - 1 : 0);
  for (wchar_t& c : out)
    if (c >= L'A' && c <= L'F') c = static_cast<wchar_t>(c - L'A' + L'a');
  return out;
}
std::wstring Clsid() { return GuidText(CLSID_Control); }
std::wstring Iid() { return GuidText(IID_ILumbrexControl); }
std::wstring Libid() { return GuidText(LIBID_LumbrexAutomation); }
constexpr wchar_t kProgId[] = L"Lumbrex.Control";
constexpr wchar_t kProgIdVersioned[] = L"Lumbrex.Control.1";
constexpr wchar_t kDescription[] = L"Lumbrex serial-port bundling control";
// The interface is marshalled from its type library description.
constexpr wchar_t kTypeLibraryMarshaler[] = L"{00020424-0000-0000-C000-000000000046}";

struct Entry {
  std::wstring key;   // below the root
  std::wstring name;  // "" for the key's default value
  std::wstring data;
};

// The keys Register creates at the top: removing them removes everything.
std::vector<std::wstring> TopKeys() {
  return {std::wstring(L"CLSID\\") + Clsid(), kProgId, kProgIdVersioned, std::wstring(L"TypeLib\\") + Libid(),
          std::wstring(L"Interface\\") + Iid()};
}

std::vector<Entry> Entries(const std::wstring& path) {
  const std::wstring clsid = std::wstring(L"CLSID\\") + Clsid();
  const std::wstring library = std::wstring(L"TypeLib\\") + Libid() + L"\\1.0";
  const std::wstring iface = std::wstring(L"Interface\\") + Iid();
  const std::wstring folder = path.substr(0, path.find_last_of(L'\\'));
  return {
      {clsid, L"", kDescription},
      {clsid + L"\\InprocServer32", L"", path},
      {clsid + L"\\InprocServer32", L"ThreadingModel", L"Both"},
      {clsid + L"\\ProgID", L"", kProgIdVersioned},
      {clsid + L"\\VersionIndependentProgID", L"", kProgId},
      {clsid + L"\\TypeLib", L"", Libid()},
      {clsid + L"\\Version", L"", L"1.0"},
      {kProgId, L"", kDescription},
      {std::wstring(kProgId) + L"\\CLSID", L"", Clsid()},
      {std::wstring(kProgId) + L"\\CurVer", L"", kProgIdVersioned},
      {kProgIdVersioned, L"", kDescription},
      {std::wstring(kProgIdVersioned) + L"\\CLSID", L"", Clsid()},
      {library, L"", kDescription},
      {library + L"\\0\\win64", L"", path},
      {library + L"\\FLAGS", L"", L"0"},
      {library + L"\\HELPDIR", L"", folder},
      {iface, L"", L"ILumbrexControl"},
      {iface + L"\\ProxyStubClsid32", L"", kTypeLibraryMarshaler},
      {iface + L"\\TypeLib", L"", Libid()},
      {iface + L"\\TypeLib", L"Version", L"1.0"},
  };
}

// Wine's COM finds classes in HKLM\Software\Classes only; HKCU's classes are
// not merged into its class root. A Wine prefix belongs to one user, so its
// machine hive is that user's too: a per-user registration is also written
// there, marked, so that the per-user removal takes back only its own copy.
constexpr wchar_t kUserCopyMark[] = L"CopyOfUserRegistration";

bool UnderWine() {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

LSTATUS OpenClasses(HKEY root, lumbrex::UniqueHkey& classes) {
  return RegCreateKeyExW(root, L"Software\\Classes", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, classes.put(), nullptr);
}

LSTATUS Write(HKEY classes, const Entry& entry) {
  lumbrex::UniqueHkey key;
  LSTATUS status =
      RegCreateKeyExW(classes, entry.key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(), nullptr);
  if (status != ERROR_SUCCESS) return status;
  const DWORD bytes = static_cast<DWORD>((entry.data.size() + 1) * sizeof(wchar_t));
  return RegSetValueExW(key.get(), entry.name.empty() ? nullptr : entry.name.c_str(), 0, REG_SZ,
                        reinterpret_cast<const BYTE*>(entry.data.c_str()), bytes);
}

LSTATUS RemoveAll(HKEY root) {
  lumbrex::UniqueHkey classes;
  LSTATUS status = RegOpenKeyExW(root, L"Software\\Classes", 0, KEY_ALL_ACCESS, classes.put());
  if (status == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
  if (status != ERROR_SUCCESS) return status;
  LSTATUS first = ERROR_SUCCESS;
  for (const std::wstring& key : TopKeys()) {
    status = RegDeleteTreeW(classes.get(), key.c_str());  // the key and all below it
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND && first == ERROR_SUCCESS) first = status;
  }
  // TypeLib\{libid} and Interface\{iid} leave no parent of ours behind:
  // "TypeLib" and "Interface" belong to the system.
  return first;
}

// Writes every entry under root's classes, the last one the extra value
// (none when extra.key is empty); on a failure removes what was written.
LSTATUS WriteAll(HKEY root, const Entry& extra) {
  const std::wstring path = lumbrex::ModulePath(ThisModule());
  if (path.empty()) return GetLastError();
  lumbrex::UniqueHkey classes;
  LSTATUS status = OpenClasses(root, classes);
  std::vector<Entry> entries = Entries(path);
  if (!extra.key.empty()) entries.push_back(extra);
  for (const Entry& entry : entries) {
    if (status != ERROR_SUCCESS) break;
    status = Write(classes.get(), entry);
  }
  if (status != ERROR_SUCCESS) RemoveAll(root);
  return status;
}

enum class MachineClass { kAbsent, kUserCopy, kRegistered };

MachineClass MachineClassState() {
  lumbrex::UniqueHkey key;
  const std::wstring path = std::wstring(L"Software\\Classes\\CLSID\\") + Clsid();
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS)
    return MachineClass::kAbsent;
  const bool marked = RegQueryValueExW(key.get(), kUserCopyMark, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
  return marked ? MachineClass::kUserCopy : MachineClass::kRegistered;
}

}  // namespace

HRESULT Register(Scope scope) {
  if (scope == Scope::kMachine) {
    // Over a per-user copy, the machine registration takes the keys over.
    if (MachineClassState() == MachineClass::kUserCopy) RemoveAll(HKEY_LOCAL_MACHINE);
    return HRESULT_FROM_WIN32(WriteAll(HKEY_LOCAL_MACHINE, {}));
  }
  LSTATUS status = WriteAll(HKEY_CURRENT_USER, {});
  // A machine registration already present serves Wine's COM as it is.
  if (status == ERROR_SUCCESS && UnderWine() && MachineClassState() == MachineClass::kAbsent) {
    const Entry mark{std::wstring(L"CLSID\\") + Clsid(), kUserCopyMark, L"HKEY_CURRENT_USER"};
    status = WriteAll(HKEY_LOCAL_MACHINE, mark);
    if (status != ERROR_SUCCESS) RemoveAll(HKEY_CURRENT_USER);
  }
  return HRESULT_FROM_WIN32(status);
}

HRESULT Unregister(Scope scope) {
  if (scope == Scope::kMachine) return HRESULT_FROM_WIN32(RemoveAll(HKEY_LOCAL_MACHINE));
  LSTATUS status = RemoveAll(HKEY_CURRENT_USER);
  if (MachineClassState() == MachineClass::kUserCopy) {
    const LSTATUS copy = RemoveAll(HKEY_LOCAL_MACHINE);
    if (status == ERROR_SUCCESS) status = copy;
  }
  return HRESULT_FROM_WIN32(status);
}

}  // namespace lumbrex_automation
