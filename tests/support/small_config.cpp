#include "support/small_config.h"

namespace reliability {

using namespace testsupport;

const wchar_t* const kBundle = L"B1";
const wchar_t* const kRealPort = L"COM1";
const wchar_t* const kSharedPort = L"COM2";
const wchar_t* const kOutPort = L"COM3";
const wchar_t* const kApp = L"app.exe";

SmallConfig::SmallConfig() {
  const std::wstring root = L"Software\\OSTREL Software\\Lumbrex";
  const std::wstring bundle = root + L"\\B1";
  const std::wstring shared = L"Software\\OSTREL Software\\Quillane2\\COM2\\Permissions";
  LONG r = 0;
  r |= SetString(bundle, L"InMain", L"COM1");
  r |= SetString(bundle, L"OutMain", L"COM3");
  r |= SetString(bundle + L"\\IN", L"COM1", L"r|9600,n,8,0|1|0");
  r |= SetString(bundle + L"\\IN", L"COM2", L"sh|19200,E,7,1,X|0|1");
  r |= SetString(bundle + L"\\OUT", L"COM3", L"v");
  r |= CreateKey(root + L"\\B2\\IN");
  // Options in both views: the four root options are read in the 32-bit view
  // (Part 3.3), everything else in the 64-bit one.
  for (REGSAM view : {kView64, kView32}) {
    r |= SetDword(root, L"SendDataOnlyMainPort", 1, view);
    r |= SetDword(root, L"IgnoreError", 0, view);
    r |= SetDword(root, L"AutoOpen", 1, view);
    r |= SetDword(root, L"Prints", 1, view);
  }
  r |= SetDword(L"SYSTEM\\CurrentControlSet\\Services\\korrin9", L"StrictBaudrate", 1);
  r |= SetDword(shared, L"app.exe", 3);
  r |= SetDword(shared, L"other.exe", 0);
  ok_ = r == 0;
}

}  // namespace reliability
