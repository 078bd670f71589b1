// Issue 9: the small configuration the sweep, the leak loops and the soak
// read: one bundle with ports on both sides, the five options, and share
// permissions for one port (Parts 3.1, 3.3, 4.1, 5.1). Made in the private
// prefix's registry when constructed, removed (with the vendor key in both
// views and the driver's service key) before and after.
#pragma once
#include <string>

#include "support/registry_fixture.h"

namespace reliability {

extern const wchar_t* const kBundle;      // "B1"
extern const wchar_t* const kRealPort;    // "COM1": IN, real, with parameters
extern const wchar_t* const kSharedPort;  // "COM2": IN, shared, with share permissions
extern const wchar_t* const kOutPort;     // "COM3": OUT, virtual
extern const wchar_t* const kApp;         // "app.exe": a share permission of COM2

class SmallConfig {
 public:
  SmallConfig();
  ~SmallConfig() = default;
  SmallConfig(const SmallConfig&) = delete;
  SmallConfig& operator=(const SmallConfig&) = delete;
  bool ok() const { return ok_; }

 private:
  testsupport::ScopedTree vendor64_{L"Software\\OSTREL Software", testsupport::kView64};
  testsupport::ScopedTree vendor32_{L"Software\\OSTREL Software", testsupport::kView32};
  testsupport::ScopedTree driver_{L"SYSTEM\\CurrentControlSet\\Services\\korrin9", testsupport::kView64};
  bool ok_ = false;
};

}  // namespace reliability
