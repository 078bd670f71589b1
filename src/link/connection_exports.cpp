// The connection exports: connect to the service's pipe on this machine or on
// another, and drop a connection reference.
#include "lumbrex.h"

#include "api/arguments.h"
#include "api/export_guard.h"
#include "api/last_error.h"
#include "common/names.h"
#include "link/remote_control.h"

using lumbrex::g_remoteControl;
using lumbrex::RefuseArgument;
using lumbrex::RunExport;
using lumbrex::SetLastErrorCode;
using lumbrex::Text;

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
