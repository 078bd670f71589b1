// SharedPortGetAppPermissions (the three senders are in share_setters.cpp).
#include "lumbrex.h"

#include <string>

#include "api/arguments.h"
#include "api/export_guard.h"
#include "api/last_error.h"
#include "api/port_name.h"
#include "api/raii.h"
#include "api/result_array.h"
#include "sharing/share_permissions.h"

extern "C" int LUMBREX_CALL SharedPortGetAppPermissions(VARIANT bundle, int side, VARIANT port,
                                                        VARIANT* applications, VARIANT* permissions) {
  using namespace lumbrex;
  return RunExport([&]() -> bool {
    // Bundle, side, port, port name; neither out argument touched.
    Text bundleName, portName;
    if (!TakeBundleSidePort(&bundle, side, &port, &bundleName, &portName) || !IsValidPortName(portName)) {
      return RefuseArgument();
    }
    // Out arguments must be valid VARIANTs (docs/behaviour-details.md): refused
    // with 13, nothing written.
    if (applications == nullptr || permissions == nullptr) return RefuseArgument();
    // The applications argument is VT_EMPTY from here on.
    if (!ClearOutput(applications, Uncleared::kRefuse)) return RefuseArgument();
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
    // Both arrays are made before either output is set: out of memory gives
    // no half answer, applications stays VT_EMPTY and code 8 is stored, and
    // the owners free whatever copy was made.
    UniqueVariant appCopy, valueCopy;
    if (!appArray.CopyTo(appCopy.get())) return FailWithCode(kOutOfMemoryCode);  // permissions untouched
    const bool valuesMade = valueArray.CopyTo(valueCopy.get());
    if (valuesMade) *applications = appCopy.release();
    // Cleared only now, after applications is set: it stays untouched on every
    // path above, and one VARIANT passed for both ends up with the values.
    ClearOutput(permissions, Uncleared::kEmpty);
    if (!valuesMade) return FailWithCode(kOutOfMemoryCode);
    *permissions = valueCopy.release();
    return true;
  });
}
