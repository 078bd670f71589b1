#include "registry_baseline.h"

#include <cstring>
#include <cwchar>
#include <vector>

#include "measurements.h"

namespace {
// The service's keys are in the 64-bit view: a 32-bit process reads them as
// the 32-bit library does, with KEY_WOW64_64KEY.
constexpr REGSAM kRead = KEY_READ | (sizeof(void*) == 4 ? KEY_WOW64_64KEY : 0);
}  // namespace

namespace bench {

long long g_baselineRegistryCalls = 0;

// ---- set-up (the benchmark's own writes) ------------------------------------------

std::wstring SidePath(const std::wstring& bundle, int side) {
  return std::wstring(kRoot) + L"\\" + bundle + L"\\" + lumbrex::SideKeyName(side);
}

void WipeRoot() {
  Key root;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRoot, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, root.put()) != ERROR_SUCCESS)
    return;
  RegDeleteTreeW(root.get(), nullptr);
}

LONG CreatePath(const std::wstring& path, Key* key) {
  return RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr,
                         key->put(), nullptr);
}

namespace {
std::wstring Numbered(const wchar_t* prefix, int i) {
  wchar_t text[32];
  std::swprintf(text, 32, L"%ls%05d", prefix, i);
  return text;
}
}  // namespace

void GrowBundles(int* have, int count) {
  Key root;
  if (CreatePath(kRoot, &root) != ERROR_SUCCESS) return Fail("cannot create the root key");
  for (; *have < count; ++*have) {
    Key bundle;
    if (RegCreateKeyExW(root.get(), Numbered(L"B", *have).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, bundle.put(),
                        nullptr) != ERROR_SUCCESS)
      return Fail("cannot create bundle %d", *have);
  }
}

void SetEntry(HKEY key, const std::wstring& name, const std::wstring& text) {
  RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                 DWORD((text.size() + 1) * sizeof(wchar_t)));
}

void GrowPorts(int* have, int count) {
  Key side;
  if (CreatePath(SidePath(L"P", LUMBREX_SIDE_IN), &side) != ERROR_SUCCESS)
    return Fail("cannot create the input side key of P");
  for (; *have < count; ++*have) SetEntry(side.get(), Numbered(L"COM", *have), L"r|9600,n,8,0|1|1");
}

// ---- the baselines: the same registry calls, the array made in one go -------------
// Timed against the exports: the same calls, the key closed before the
// array is made, as the exports do.

namespace {

// Builds VT_ARRAY|VT_BSTR of exactly the strings collected (SafeArrayCreate
// with the final count, one SafeArrayAccessData).
void PlaceStrings(std::vector<BSTR>& strings, VARIANT* out) {
  if (strings.empty()) return;
  SAFEARRAYBOUND bound{ULONG(strings.size()), 0};
  SAFEARRAY* array = SafeArrayCreate(VT_BSTR, 1, &bound);
  BSTR* data = nullptr;
  SafeArrayAccessData(array, reinterpret_cast<void**>(&data));
  std::memcpy(data, strings.data(), strings.size() * sizeof(BSTR));
  SafeArrayUnaccessData(array);
  out->vt = VT_ARRAY | VT_BSTR;
  out->parray = array;
}

}  // namespace

namespace {

// Opens path, asks `next` for names until the registry has no more, closes the
// key and places the names; every registry call counted.
template <class Next>
int EnumeratedNames(const std::wstring& path, VARIANT* out, Next next) {
  VariantClear(out);  // timed: the exports clear their output the same way
  Key key;
  ++g_baselineRegistryCalls;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, kRead, key.put()) != ERROR_SUCCESS) return 0;
  std::vector<BSTR> names;
  for (DWORD index = 0;; ++index) {
    ++g_baselineRegistryCalls;
    BSTR name = nullptr;
    const LONG status = next(key.get(), index, &name);
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status == ERROR_SUCCESS) names.push_back(name);
  }
  ++g_baselineRegistryCalls;
  key.reset();
  PlaceStrings(names, out);
  return 1;
}

}  // namespace

int BaselineBundlesNames(VARIANT* out) {
  return EnumeratedNames(kRoot, out, [](HKEY key, DWORD index, BSTR* name) {
    wchar_t text[1024];
    DWORD length = 1024;
    FILETIME written;
    const LONG status = RegEnumKeyExW(key, index, text, &length, nullptr, nullptr, nullptr, &written);
    if (status == ERROR_SUCCESS) *name = SysAllocStringLen(text, length);
    return status;
  });
}

int BaselinePortsNames(const wchar_t* bundle, int side, VARIANT* out) {
  const std::wstring path = SidePath(bundle, side);
  return EnumeratedNames(path, out, [](HKEY key, DWORD index, BSTR* name) {
    wchar_t text[128];
    DWORD length = 128, type = 0;
    const LONG status = RegEnumValueW(key, index, text, &length, nullptr, &type, nullptr, nullptr);
    if (status == ERROR_SUCCESS) *name = SysAllocStringLen(text, length);
    return status;
  });
}

// The same four registry calls as ReadPortEntry (open, size query, data query,
// close) and a straight parse of "kind|baud,parity,data,stop[,flow]|h|l".
int BaselineRealPortParameters(const wchar_t* bundle, int side, const wchar_t* port, int* values) {
  const std::wstring path = SidePath(bundle, side);
  Key key;
  g_baselineRegistryCalls += 4;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, kRead, key.put()) != ERROR_SUCCESS) return 0;
  DWORD type = 0, size = 0;
  LONG status = RegQueryValueExW(key.get(), port, nullptr, &type, nullptr, &size);
  wchar_t text[256] = {};
  if (status == ERROR_SUCCESS && size < sizeof text) {
    status = RegQueryValueExW(key.get(), port, nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
  }
  key.reset();
  if (status != ERROR_SUCCESS) return 0;
  const wchar_t* p = std::wcschr(text, L'|');
  if (!p) return 0;
  wchar_t* end = nullptr;
  values[0] = int(std::wcstol(p + 1, &end, 10));
  if (*end != L',') return 0;
  const wchar_t parity = wchar_t(towlower(end[1]));
  const wchar_t* letters = L"noems";
  values[1] = int(std::wcschr(letters, parity) - letters);
  values[2] = int(std::wcstol(end + 3, &end, 10));
  values[3] = int(std::wcstol(end + 1, &end, 10));
  values[4] = *end == L',' ? (towlower(end[1]) == L'x' ? 1 : towlower(end[1]) == L'p' ? 2 : 0) : values[4];
  return 1;
}

bool SameStrings(const VARIANT& a, const VARIANT& b, int expected) {
  if (a.vt != (VT_ARRAY | VT_BSTR) || b.vt != (VT_ARRAY | VT_BSTR)) return false;
  LONG ua = -1, ub = -1;
  SafeArrayGetUBound(a.parray, 1, &ua);
  SafeArrayGetUBound(b.parray, 1, &ub);
  if (ua != ub || ua + 1 != expected) return false;
  BSTR *da = nullptr, *db = nullptr;
  SafeArrayAccessData(a.parray, reinterpret_cast<void**>(&da));
  SafeArrayAccessData(b.parray, reinterpret_cast<void**>(&db));
  bool same = true;
  for (LONG i = 0; i <= ua && same; ++i) same = std::wcscmp(da[i], db[i]) == 0;
  SafeArrayUnaccessData(a.parray);
  SafeArrayUnaccessData(b.parray);
  return same;
}

}  // namespace bench
