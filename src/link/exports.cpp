// The connection and editing exports.
#include "lumbrex.h"

#include "api/arguments.h"
#include "api/export_guard.h"
#include "api/last_error.h"
#include "api/port_name.h"
#include "common/names.h"
#include "link/commands.h"
#include "link/remote_control.h"

using lumbrex::g_remoteControl;
using lumbrex::RefuseArgument;
using lumbrex::RunExport;
using lumbrex::SetLastErrorCode;
using lumbrex::TakeBundleSidePort;
using lumbrex::Text;

namespace {

// Port type value (1, 2, 4, 8) to the index of CmdAddPort's word table.
int PortTypeIndex(int32_t value) {
  switch (value) {
    case 1: return 0;
    case 2: return 1;
    case 4: return 2;
    default: return 3;  // 8: IsPortTypeValue let nothing else through
  }
}

}  // namespace

// ---- Service connection ----------------------------------------------------

extern "C" int LUMBREX_CALL ConnectToLocalService(void) {
  return RunExport([] {
    g_remoteControl.ReleaseConnection();
    return g_remoteControl.OpenPipe(lumbrex::kLocalPipePath);
  });
}

extern "C" int LUMBREX_CALL ConnectToRemoteService(VARIANT server, VARIANT user, VARIANT password) {
  return RunExport([&] {
    Text serverText, userText, passwordText;
    if (!lumbrex::TakeStringArgument(&server, &serverText) || !lumbrex::TakeStringArgument(&user, &userText) ||
        !lumbrex::TakeStringArgument(&password, &passwordText)) {
      return RefuseArgument();  // connection untouched
    }
    g_remoteControl.ReleaseConnection();  // DisconnectFromService
    if (!userText.empty()) {
      // An empty user skips the logon whatever the password holds.
      const uint32_t logon = g_remoteControl.LogonRemote(serverText, userText, passwordText);
      if (logon != 0) {
        SetLastErrorCode(logon);
        return false;
      }
    }
    return g_remoteControl.OpenPipe(lumbrex::RemotePipePath(serverText));
  });
}

extern "C" int LUMBREX_CALL DisconnectFromService(void) {
  RunExport([] {
    g_remoteControl.ReleaseConnection();
    return true;
  });
  return 1;
}

// ---- Bundle and port editing ----------------------------------------------

extern "C" int LUMBREX_CALL AddBundle(VARIANT bundle) {
  return RunExport([&] {
    Text text;
    if (!lumbrex::ConvertToText(&bundle, &text)) return RefuseArgument();
    return lumbrex::CmdAddBundle(text);
  });
}

extern "C" int LUMBREX_CALL DeleteBundle(VARIANT bundle) {
  return RunExport([&] {
    Text text;
    if (!lumbrex::ConvertToText(&bundle, &text)) return RefuseArgument();
    return lumbrex::CmdDeleteBundle(text);
  });
}

extern "C" int LUMBREX_CALL GetBundleState(VARIANT bundle) {
  return RunExport([&] {
    Text text;
    if (!lumbrex::ConvertToText(&bundle, &text)) return RefuseArgument();
    return lumbrex::CmdGetBundleState(text);
  });
}

extern "C" int LUMBREX_CALL BundleAddPort(VARIANT bundle, int side, VARIANT port, VARIANT portType) {
  return RunExport([&] {
    Text bundleText, portText;
    if (!TakeBundleSidePort(&bundle, side, &port, &bundleText, &portText)) return RefuseArgument();
    // The check reads its own copy; a by-reference integer is refused.
    const VARIANT typeCopy = portType;
    if (!lumbrex::IsPortTypeValue(typeCopy)) return RefuseArgument();
    if (!lumbrex::IsValidPortName(portText)) return RefuseArgument();
    int32_t typeValue = 0;
    lumbrex::ReadIntegerArgument(typeCopy, &typeValue);
    return lumbrex::CmdAddPort(bundleText, side == 0, portText, PortTypeIndex(typeValue));
  });
}

extern "C" int LUMBREX_CALL BundleDeletePort(VARIANT bundle, int side, VARIANT port) {
  return RunExport([&] {
    Text bundleText, portText;
    if (!TakeBundleSidePort(&bundle, side, &port, &bundleText, &portText)) return RefuseArgument();
    // Any port text is sent, valid or not: the service judges it.
    return lumbrex::CmdDeletePort(bundleText, side == 0, portText);
  });
}

extern "C" int LUMBREX_CALL BundleGetPortState(VARIANT bundle, int side, VARIANT port) {
  return RunExport([&] {
    Text bundleText, portText;
    if (!TakeBundleSidePort(&bundle, side, &port, &bundleText, &portText)) return RefuseArgument();
    return lumbrex::CmdGetPortState(bundleText, side == 0, portText);
  });
}

extern "C" int LUMBREX_CALL BundleSetMainPortForSide(VARIANT bundle, int side, VARIANT port) {
  return RunExport([&] {
    Text bundleText, portText;
    if (!TakeBundleSidePort(&bundle, side, &port, &bundleText, &portText)) return RefuseArgument();
    if (!lumbrex::IsValidPortName(portText)) return RefuseArgument();
    return lumbrex::CmdSetMain(bundleText, side == 0, portText);
  });
}

extern "C" int LUMBREX_CALL BundleUpdateSettings(void) {
  // Takes nothing, sends nothing, always succeeds: returns 1.
  return 1;
}
