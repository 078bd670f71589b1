// The three exports that send SET_SHARE_PERMISSION:
// SharedPortSetPermissionsForApp, SharedSetDefaultPermissions and
// SharedDelAllPermissions.
#include "lumbrex.h"

#include <cstdint>
#include <vector>

#include "api/arguments.h"
#include "api/export_guard.h"
#include "api/last_error.h"
#include "api/port_name.h"
#include "api/variant_values.h"
#include "link/commands.h"
#include "sharing/share_permissions.h"

extern "C" int LUMBREX_CALL SharedPortSetPermissionsForApp(VARIANT bundle, int side, VARIANT port,
                                                           VARIANT application, VARIANT permission) {
  using namespace lumbrex;
  return RunExport([&]() -> bool {
    // In this order: bundle, side, port, application, permission, port name.
    // The first refusal sets 13 and nothing is sent.
    Text bundleName, portName, applicationName;
    int32_t value = 0;
    if (!TakeBundleSidePort(&bundle, side, &port, &bundleName, &portName) ||
        !TakeStringArgument(&application, &applicationName) || !IsPermissionValue(permission) ||
        !ReadIntegerArgument(permission, &value) || !IsValidPortName(portName)) {
      return RefuseArgument();
    }
    // The value goes out as the signed 32-bit value read (the integer
    // VARIANT cut to 32 bits); the registry is not looked at. A failed command
    // stores no code, as for every command.
    return CmdSetSharePermission(bundleName, side == LUMBREX_SIDE_IN, portName, applicationName, value);
  });
}

extern "C" int LUMBREX_CALL SharedSetDefaultPermissions(VARIANT bundle, int side, VARIANT port, VARIANT application) {
  // The same call with a VT_I4 3 (bits 1 and 2), its result unchanged.
  return SharedPortSetPermissionsForApp(bundle, side, port, application, lumbrex::I4(LUMBREX_SHARE_DEFAULT));
}

extern "C" int LUMBREX_CALL SharedDelAllPermissions(VARIANT bundle, int side, VARIANT port) {
  using namespace lumbrex;
  return RunExport([&]() -> bool {
    // Bundle, side, port; IsValidPortName is not applied here, so a port such
    // as COM-1 has its key read.
    Text bundleName, portName;
    if (!TakeBundleSidePort(&bundle, side, &port, &bundleName, &portName)) return RefuseArgument();
    // The list is read once, before the first command, so values that the
    // service adds or removes meanwhile do not change the loop.
    std::vector<Text> applications;
    const LONG status = ListPermissionApplications(portName, &applications);
    if (status != ERROR_SUCCESS) {
      SetLastErrorCode(static_cast<uint32_t>(status));
      return true;
    }
    // Every application gets the default; a failed command does not stop the
    // loop and, like every failed command, stores no code, so the last-error
    // code is left as it was (docs/behaviour-details.md).
    for (const Text& name : applications) {
      CmdSetSharePermission(bundleName, side == LUMBREX_SIDE_IN, portName, name, LUMBREX_SHARE_DEFAULT);
    }
    return true;  // whatever the commands' outcomes
  });
}
