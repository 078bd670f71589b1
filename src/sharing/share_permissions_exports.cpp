// SharedPortGetAppPermissions (the three senders are in share_setters.cpp).
#include "lumbrex.h"

#include <string>

#include "api/arguments.h"
#include "api/export_guard.h"
#include "api/last_error.h"
#include "api/port_name.h"
#include "api/result_array.h"
#include "sharing/share_permissions.h"

extern "C" int LUMBREX_CALL SharedPortGetAppPermissions(VARIANT bundle, int side, VARIANT port,
                                                        VARIANT* applications, VARIANT* permissions) {
  using namespace lumbrex;
  return RunExport([&]() -> bool {
    // Bundle, side, port, port name; neither out argument touched.
    Text bundleName, portName;
    if (!TakeStringArgument(&bundle, &bundleName) || !IsSideValue(side) || !TakeStringArgument(&port, &portName) ||
        !IsValidPortName(portName)) {
      SetLastErrorCode(kInvalidData);
      return false;
    }
    // Out arguments must be valid VARIANTs (docs/behaviour-details.md): refused
    // with 13, nothing written.
    if (applications == nullptr || permissions == nullptr) {
      SetLastErrorCode(kInvalidData);
      return false;
    }
    // The applications argument is VT_EMPTY from here on.
    if (VariantClear(applications) != S_OK) {
      SetLastErrorCode(kInvalidData);
      return false;
    }
    std::vector<Text> names;
    LONG status = ListPermissionApplications(portName, &names);
    if (status != ERROR_SUCCESS) {
      SetLastErrorCode(static_cast<uint32_t>(status));
      return true;  // key not opened: true, no arrays, its code stored
    }
    std::vector<uint32_t> values(names.size());
    for (size_t i = 0; i < names.size(); ++i) {
      status = ReadSharePermission(portName, names[i], &values[i]);
      if (status != ERROR_SUCCESS) {
        SetLastErrorCode(static_cast<uint32_t>(status));
        return true;  // the first failed value: true, no arrays
      }
    }
    if (names.empty()) return true;  // no values: nothing set, code unchanged

    ResultArray appArray(VT_BSTR);
    ResultArray valueArray(VT_BSTR);
    for (size_t i = 0; i < names.size(); ++i) {
      appArray.Add(names[i].c_str());
      // "%d": signed decimal, so 4294967295 reads -1.
      valueArray.Add(std::to_wstring(static_cast<int32_t>(values[i])).c_str());
    }
    appArray.CopyTo(applications);
    // Out-VARIANTs are cleared before they are filled, as in every export; one
    // that cannot be cleared is overwritten.
    VariantClear(permissions);
    valueArray.CopyTo(permissions);
    return true;
  });
}
