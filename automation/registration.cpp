#include "registration.h"

#include <string>
#include <vector>

#include "api/raii.h"
#include "server.h"

namespace lumbrex_automation {
namespace {

// Kept in step with lumbrex_automation.idl.
constexpr wchar_t kClsid[] = L"{3c1e7a26-5248-4ab8-98af-8aace66fbbc4}";
constexpr wchar_t kIid[] = L"{cdd34c89-a352-428c-8c4c-6170d2b3f99f}";
constexpr wchar_t kLibid[] = L"{e11d87af-c4d1-4f09-9cf8-1a387a146009}";
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
  return {std::wstring(L"CLSID\\") + kClsid, kProgId, kProgIdVersioned, std::wstring(L"TypeLib\\") + kLibid,
          std::wstring(L"Interface\\") + kIid};
}

std::vector<Entry> Entries(const std::wstring& path) {
  const std::wstring clsid = std::wstring(L"CLSID\\") + kClsid;
  const std::wstring library = std::wstring(L"TypeLib\\") + kLibid + L"\\1.0";
  const std::wstring iface = std::wstring(L"Interface\\") + kIid;
  const std::wstring folder = path.substr(0, path.find_last_of(L'\\'));
  return {
      {clsid, L"", kDescription},
      {clsid + L"\\InprocServer32", L"", path},
      {clsid + L"\\InprocServer32", L"ThreadingModel", L"Both"},
      {clsid + L"\\ProgID", L"", kProgIdVersioned},
      {clsid + L"\\VersionIndependentProgID", L"", kProgId},
      {clsid + L"\\TypeLib", L"", kLibid},
      {clsid + L"\\Version", L"", L"1.0"},
      {kProgId, L"", kDescription},
      {std::wstring(kProgId) + L"\\CLSID", L"", kClsid},
      {std::wstring(kProgId) + L"\\CurVer", L"", kProgIdVersioned},
      {kProgIdVersioned, L"", kDescription},
      {std::wstring(kProgIdVersioned) + L"\\CLSID", L"", kClsid},
      {library, L"", kDescription},
      {library + L"\\0\\win64", L"", path},
      {library + L"\\FLAGS", L"", L"0"},
      {library + L"\\HELPDIR", L"", folder},
      {iface, L"", L"ILumbrexControl"},
      {iface + L"\\ProxyStubClsid32", L"", kTypeLibraryMarshaler},
      {iface + L"\\TypeLib", L"", kLibid},
      {iface + L"\\TypeLib", L"Version", L"1.0"},
  };
}

HKEY RootOf(Scope scope) { return scope == Scope::kUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE; }

LSTATUS OpenClasses(Scope scope, lumbrex::UniqueHkey& classes) {
  return RegCreateKeyExW(RootOf(scope), L"Software\\Classes", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, classes.put(),
                         nullptr);
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

}  // namespace

HRESULT Register(Scope scope) {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(ThisModule(), path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return HRESULT_FROM_WIN32(GetLastError());
  lumbrex::UniqueHkey classes;
  LSTATUS status = OpenClasses(scope, classes);
  for (const Entry& entry : Entries(path)) {
    if (status != ERROR_SUCCESS) break;
    status = Write(classes.get(), entry);
  }
  if (status == ERROR_SUCCESS) return S_OK;
  Unregister(scope);
  return HRESULT_FROM_WIN32(status);
}

HRESULT Unregister(Scope scope) {
  lumbrex::UniqueHkey classes;
  LSTATUS status = RegOpenKeyExW(RootOf(scope), L"Software\\Classes", 0, KEY_ALL_ACCESS, classes.put());
  if (status == ERROR_FILE_NOT_FOUND) return S_OK;
  if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
  LSTATUS first = ERROR_SUCCESS;
  for (const std::wstring& key : TopKeys()) {
    status = RegDeleteTreeW(classes.get(), key.c_str());  // the key and all below it
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND && first == ERROR_SUCCESS) first = status;
  }
  // TypeLib\{libid} and Interface\{iid} leave no parent of ours behind:
  // "TypeLib" and "Interface" belong to the system.
  return HRESULT_FROM_WIN32(first);
}

}  // namespace lumbrex_automation
