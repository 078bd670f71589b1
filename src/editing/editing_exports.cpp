// The bundle and port editing exports: each checks its arguments and sends one
// command, with which the service creates, deletes or reports on a bundle or
// port (BundleUpdateSettings alone sends nothing).
#include "lumbrex.h"

#include "api/arguments.h"
#include "api/export_guard.h"
#include "api/port_name.h"
#include "link/commands.h"

using lumbrex::RefuseArgument;
using lumbrex::RunExport;
using lumbrex::TakeBundleSidePort;
using lumbrex::Text;

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
    // A by-reference integer is refused.
    if (!lumbrex::IsPortTypeValue(portType)) return RefuseArgument();
    if (!lumbrex::IsValidPortName(portText)) return RefuseArgument();
    int32_t typeValue = 0;
    lumbrex::ReadIntegerArgument(portType, &typeValue);
    return lumbrex::CmdAddPort(bundleText, side == LUMBREX_SIDE_IN, portText, typeValue);
  });
}

extern "C" int LUMBREX_CALL BundleDeletePort(VARIANT bundle, int side, VARIANT port) {
  return RunExport([&] {
    Text bundleText, portText;
    if (!TakeBundleSidePort(&bundle, side, &port, &bundleText, &portText)) return RefuseArgument();
    // Any port text is sent, valid or not: the service judges it.
    return lumbrex::CmdDeletePort(bundleText, side == LUMBREX_SIDE_IN, portText);
  });
}

extern "C" int LUMBREX_CALL BundleGetPortState(VARIANT bundle, int side, VARIANT port) {
  return RunExport([&] {
    Text bundleText, portText;
    if (!TakeBundleSidePort(&bundle, side, &port, &bundleText, &portText)) return RefuseArgument();
    return lumbrex::CmdGetPortState(bundleText, side == LUMBREX_SIDE_IN, portText);
  });
}

extern "C" int LUMBREX_CALL BundleSetMainPortForSide(VARIANT bundle, int side, VARIANT port) {
  return RunExport([&] {
    Text bundleText, portText;
    if (!TakeBundleSidePort(&bundle, side, &port, &bundleText, &portText)) return RefuseArgument();
    if (!lumbrex::IsValidPortName(portText)) return RefuseArgument();
    return lumbrex::CmdSetMain(bundleText, side == LUMBREX_SIDE_IN, portText);
  });
}

extern "C" int LUMBREX_CALL BundleUpdateSettings(void) {
  // Kept for callers that import it by name (a program bound to it would not load without it); the
  // options go to the service from the OptionSet exports, so there is nothing left for it to send.
  return 1;
}
