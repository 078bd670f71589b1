#include "link/commands.h"

#include <windows.h>

#include "link/protocol.h"
#include "link/remote_control.h"

namespace lumbrex {

std::string ToAnsi(const Text& text) {
  if (text.empty()) return std::string();
  const int length = static_cast<int>(text.size());
  const int needed = WideCharToMultiByte(CP_THREAD_ACP, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return std::string();
  std::string out(static_cast<size_t>(needed), '\0');
  WideCharToMultiByte(CP_THREAD_ACP, 0, text.data(), length, &out[0], needed, nullptr, nullptr);
  return out;
}

bool CmdAddBundle(const Text& bundle) {
  return g_remoteControl.Transact(AddBundleMessage(ToAnsi(bundle)), kTimeoutAddBundle);
}

bool CmdDeleteBundle(const Text& bundle) {
  return g_remoteControl.Transact(DeleteBundleMessage(ToAnsi(bundle)), kTimeoutDelBundle);
}

bool CmdGetBundleState(const Text& bundle) {
  return g_remoteControl.Transact(GetBundleStateMessage(ToAnsi(bundle)), kTimeoutGetBundleState);
}

bool CmdAddPort(const Text& bundle, bool inputSide, const Text& port, int32_t portType) {
  return g_remoteControl.Transact(AddPortMessage(ToAnsi(bundle), inputSide, ToAnsi(port), portType),
                                  kTimeoutAddPort);
}

bool CmdDeletePort(const Text& bundle, bool inputSide, const Text& port) {
  return g_remoteControl.Transact(DeletePortMessage(ToAnsi(bundle), inputSide, ToAnsi(port)), kTimeoutDelPort);
}

bool CmdSetMain(const Text& bundle, bool inputSide, const Text& port) {
  return g_remoteControl.Transact(SetMainMessage(ToAnsi(bundle), inputSide, ToAnsi(port)), kTimeoutSetMain);
}

bool CmdGetPortState(const Text& bundle, bool inputSide, const Text& port) {
  return g_remoteControl.Transact(GetPortStateMessage(ToAnsi(bundle), inputSide, ToAnsi(port)),
                                  kTimeoutGetPortState);
}

bool CmdSetRealPortParams(const Text& bundle, bool inputSide, const Text& port, const Text& parameterText) {
  return g_remoteControl.Transact(
      SetRealPortParamsMessage(ToAnsi(bundle), inputSide, ToAnsi(port), ToAnsi(parameterText)),
      kTimeoutSetRportParams);
}

bool CmdUpdateSettings(uint8_t autoOpen, uint8_t ignoreError, uint8_t prints, uint8_t sendDataOnlyMainPort,
                       uint8_t strictBaudrate) {
  return g_remoteControl.Transact(
      UpdateSettingsMessage(autoOpen, ignoreError, prints, sendDataOnlyMainPort, strictBaudrate),
      kTimeoutUpdateSettings);
}

bool CmdSetSharePermission(const Text& bundle, bool inputSide, const Text& port, const Text& application,
                           int32_t permission) {
  return g_remoteControl.Transact(
      SetSharePermissionMessage(ToAnsi(bundle), inputSide, ToAnsi(port), ToAnsi(application), permission),
      kTimeoutSetSharePermission);
}

}  // namespace lumbrex
