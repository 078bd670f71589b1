#include "e2e/e2e_fixture.h"

#include "lumbrex.h"
#include "support/variants.h"

using testsupport::Bstr;
using testsupport::Var;

namespace e2e {
namespace {

// One registry key handle, closed at scope end.
class Key {
 public:
  Key(const std::wstring& path, REGSAM view) {
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | view, &key_) != ERROR_SUCCESS) key_ = nullptr;
  }
  ~Key() { if (key_) RegCloseKey(key_); }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  HKEY get() const { return key_; }
 private:
  HKEY key_ = nullptr;
};

}  // namespace

bool KeyExists(const std::wstring& path, REGSAM view) { return Key(path, view).get() != nullptr; }

bool ValueExists(const std::wstring& path, const std::wstring& name, REGSAM view) {
  Key key(path, view);
  return key.get() && RegQueryValueExW(key.get(), name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

std::optional<std::wstring> ReadString(const std::wstring& path, const std::wstring& name, REGSAM view) {
  Key key(path, view);
  if (!key.get()) return std::nullopt;
  DWORD type = 0, size = 0;
  if (RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ ||
      size % 2 != 0 || size < 2)
    return std::nullopt;
  std::wstring text(size / 2, L'\0');
  if (RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &size) !=
          ERROR_SUCCESS ||
      text.back() != L'\0')
    return std::nullopt;
  text.pop_back();
  return text;
}

std::optional<DWORD> ReadDword(const std::wstring& path, const std::wstring& name, REGSAM view) {
  Key key(path, view);
  if (!key.get()) return std::nullopt;
  DWORD type = 0, value = 0, size = sizeof value;
  if (RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
          ERROR_SUCCESS ||
      type != REG_DWORD || size != sizeof value)
    return std::nullopt;
  return value;
}

int AreDynamic(const std::wstring& bundle, int side, const std::wstring& port) {
  Var b, p;
  *b = Bstr(bundle);
  *p = Bstr(port);
  return BundleRealPortAreParametersDynamic(b.copy(), side, p.copy());
}

std::vector<std::wstring> TextsOf(const VARIANT& v) {
  std::vector<std::wstring> texts;
  if (v.vt == VT_EMPTY) return texts;
  EXPECT_EQ(v.vt, VT_ARRAY | VT_BSTR);
  if (v.vt != (VT_ARRAY | VT_BSTR) || v.parray == nullptr) return texts;
  LONG lower = -1, upper = -2;
  SafeArrayGetLBound(v.parray, 1, &lower);
  SafeArrayGetUBound(v.parray, 1, &upper);
  EXPECT_EQ(lower, 0);
  for (LONG i = lower; i <= upper; ++i) {
    BSTR text = nullptr;
    EXPECT_EQ(SafeArrayGetElement(v.parray, &i, &text), S_OK);
    texts.push_back(text ? std::wstring(text, SysStringLen(text)) : L"<null>");
    SysFreeString(text);
  }
  return texts;
}

std::optional<std::vector<std::wstring>> BundleNames() {
  Var names;
  if (GetBundlesNames(&names) != 1) return std::nullopt;
  return TextsOf(*names);
}

std::optional<std::vector<std::wstring>> PortNames(const std::wstring& bundle, int side) {
  Var b, names;
  *b = Bstr(bundle);
  if (GetPortsNamesByBundleAndSide(b.copy(), side, &names) != 1) return std::nullopt;
  return TextsOf(*names);
}

std::optional<std::wstring> MainPort(const std::wstring& bundle, int side) {
  Var b, port;
  *b = Bstr(bundle);
  if (BundleGetMainPortForSide(b.copy(), side, &port) != 1) return std::nullopt;
  EXPECT_EQ(port->vt, VT_BSTR);
  if (port->vt != VT_BSTR) return std::nullopt;
  return testsupport::TextOf(*port);
}

std::optional<int> PortType(const std::wstring& bundle, int side, const std::wstring& port) {
  Var b, p, type;
  *b = Bstr(bundle);
  *p = Bstr(port);
  if (BundleGetPortType(b.copy(), side, p.copy(), &type) != 1) return std::nullopt;
  EXPECT_EQ(type->vt, VT_INT);
  return type->intVal;
}

Parameters GetParameters(const std::wstring& bundle, int side, const std::wstring& port) {
  Var b, p;
  *b = Bstr(bundle);
  *p = Bstr(port);
  Parameters out;
  out.result = BundleGetRealPortParameters(b.copy(), side, p.copy(), &out.baudrate, &out.parity, &out.dataBits,
                                           &out.stopBits, &out.flowControl);
  return out;
}

std::optional<int> PortPermissions(const std::wstring& bundle, int side, const std::wstring& port) {
  Var b, p, mask;
  *b = Bstr(bundle);
  *p = Bstr(port);
  if (BundlePortGetPermissions(b.copy(), side, p.copy(), &mask) != 1) return std::nullopt;
  EXPECT_EQ(mask->vt, VT_I4);
  return mask->lVal;
}

AppPermissions GetAppPermissions(const std::wstring& bundle, int side, const std::wstring& port) {
  Var b, p, applications, permissions;
  *b = Bstr(bundle);
  *p = Bstr(port);
  AppPermissions out;
  out.result = SharedPortGetAppPermissions(b.copy(), side, p.copy(), &applications, &permissions);
  out.applicationsType = applications->vt;
  const auto names = TextsOf(*applications);
  const auto values = TextsOf(*permissions);
  EXPECT_EQ(names.size(), values.size());
  for (size_t i = 0; i < names.size() && i < values.size(); ++i) out.rows.emplace_back(names[i], values[i]);
  return out;
}

ScopedValue::ScopedValue(std::wstring path, std::wstring name, REGSAM view)
    : path_(std::move(path)), name_(std::move(name)), view_(view), keyExisted_(KeyExists(path_, view)) {
  testsupport::DeleteValue(path_, name_, view_);
}

ScopedValue::~ScopedValue() {
  if (keyExisted_)
    testsupport::DeleteValue(path_, name_, view_);
  else
    testsupport::DeleteTree(path_, view_);
}

void EndToEndTest::SetUp() {
  testsupport::ServiceProcess::Options options;
  wchar_t temp[MAX_PATH];
  const DWORD length = GetTempPathW(MAX_PATH, temp);
  // The service's log of this test, for reading after a failure.
  if (length > 0 && length < MAX_PATH) options.logPath = std::wstring(temp, length) + L"lumbrex-e2e-service.log";
  service_ = std::make_unique<testsupport::ServiceProcess>(options);
  ASSERT_TRUE(service_->Ready()) << service_->Problem();
  ASSERT_EQ(ConnectToLocalService(), 1);
}

void EndToEndTest::TearDown() {
  DisconnectFromService();
  service_.reset();
}

}  // namespace e2e
