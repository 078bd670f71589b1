// Registry fixtures of the configuration reader's tests (Parts 3.1 to 3.4):
// the configuration root in both views, the virtual-serial driver's service
// key and the system's serial-device map, each reset around every test.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "support/registry_fixture.h"

namespace configtest {

const std::wstring kVendor = L"Software\\OSTREL Software";
const std::wstring kRoot = L"Software\\OSTREL Software\\Lumbrex";
const std::wstring kDriverKey = L"SYSTEM\\CurrentControlSet\\Services\\korrin9";
const std::wstring kSerialMap = L"HARDWARE\\DEVICEMAP\\SERIALCOMM";

inline std::wstring BundleKey(const std::wstring& bundle) { return kRoot + L"\\" + bundle; }
inline std::wstring SideKey(const std::wstring& bundle, int side) {
  return BundleKey(bundle) + (side == 0 ? L"\\IN" : L"\\OUT");
}

// The vendor key in both views and the driver's service key, absent at the
// start and deleted again at the end of a test.
class ConfigTree {
 private:
  testsupport::ScopedTree vendor64_{kVendor, testsupport::kView64};
  testsupport::ScopedTree vendor32_{kVendor, testsupport::kView32};
  testsupport::ScopedTree driver_{kDriverKey, testsupport::kView64};
};

// HARDWARE\DEVICEMAP\SERIALCOMM (volatile under Wine, recreated when the
// wineserver starts): its values are saved and removed when made, and put
// back when gone; a key that did not exist is made (volatile) and removed.
class ScopedSerialMap {
 public:
  ScopedSerialMap();
  ~ScopedSerialMap();
  ScopedSerialMap(const ScopedSerialMap&) = delete;
  ScopedSerialMap& operator=(const ScopedSerialMap&) = delete;

  // Removes the key itself (for the missing-key case); it is made again
  // (volatile) before the saved values are put back.
  LONG RemoveKey();

  struct Value {
    std::wstring name;
    DWORD type;
    std::vector<BYTE> data;
  };

 private:
  bool existed_ = false;
  std::vector<Value> saved_;
};

// Every value of a key with its type and data, in the registry's order.
std::vector<ScopedSerialMap::Value> ReadValuesDirect(const std::wstring& path);
// Makes a volatile key (children of volatile keys must be volatile).
LONG CreateVolatileKey(const std::wstring& path);
// Removes every value of the key.
LONG ClearValues(const std::wstring& path);

}  // namespace configtest
