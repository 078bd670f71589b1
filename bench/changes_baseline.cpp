// lumbrex-bench-changes.exe PORTS: the export calls `lumbrexctl apply` makes
// for the benchmark's document of PORTS ports (bench/config_section.cpp), made
// directly on one connection: AddBundle, then for each port BundleAddPort and
// BundleSetRealPortParameters. Exit code 0 when every call succeeded.
#include <windows.h>

#include <cwchar>
#include <string>

#include "api/raii.h"
#include "api/variant_values.h"
#include "lumbrex.h"

namespace {

// A VT_BSTR argument, passed as lumbrexctl passes its own.
struct Text {
  lumbrex::UniqueVariant value;
  explicit Text(const std::wstring& text) {
    value->vt = VT_BSTR;
    value->bstrVal = SysAllocString(text.c_str());
  }
  VARIANT get() const { return *value.get(); }
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 2;
  const int ports = std::wcstol(argv[1], nullptr, 10);
  if (ConnectToLocalService() != 1) return 1;
  const Text bundle(L"Applied");
  int failed = AddBundle(bundle.get()) != 1;
  for (int p = 0; p < ports; ++p) {
    const Text port(L"COM" + std::to_wstring(5000 + p));
    failed += BundleAddPort(bundle.get(), LUMBREX_SIDE_IN, port.get(), lumbrex::I4(LUMBREX_PORT_REAL)) != 1;
    failed += BundleSetRealPortParameters(bundle.get(), LUMBREX_SIDE_IN, port.get(), 19200, LUMBREX_PARITY_EVEN, 7, 1,
                                          LUMBREX_FLOW_XONXOFF) != 1;
  }
  return failed == 0 ? 0 : 1;
}
