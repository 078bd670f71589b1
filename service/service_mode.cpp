// --service: run by the Service Control Manager, which --install tells to
// pass it. The dispatcher calls ServiceMain and the control handler on
// threads of its own, with no context, hence the file's statics.
#include <windows.h>

#include <cstdio>
#include <string>

#include "api/module_path.h"
#include "common/names.h"
#include "modes.h"
#include "serving.h"

namespace lumbrex::service {
namespace {

const Settings* g_settings = nullptr;  // RunAsService's, for as long as the dispatcher runs
StopSignal g_stop;
// Needs no closing: the Service Control Manager owns it.
SERVICE_STATUS_HANDLE g_statusHandle = nullptr;

std::wstring DefaultServiceLogPath() {
  wchar_t folder[MAX_PATH];
  const DWORD size = GetEnvironmentVariableW(L"ProgramData", folder, MAX_PATH);
  if (size > 0 && size < MAX_PATH) return std::wstring(folder) + L"\\" + kProductFolder + L"\\" + kServiceLogName;
  return ModuleFolder(nullptr) + kServiceLogName;
}

void ReportStatus(DWORD state, DWORD exitCode = NO_ERROR, DWORD waitHint = 0) {
  static DWORD checkPoint = 1;
  SERVICE_STATUS status{};
  status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  status.dwCurrentState = state;
  status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN : 0;
  status.dwWin32ExitCode = exitCode;
  status.dwWaitHint = waitHint;
  status.dwCheckPoint = (state == SERVICE_RUNNING || state == SERVICE_STOPPED) ? 0 : checkPoint++;
  SetServiceStatus(g_statusHandle, &status);
}

DWORD WINAPI ServiceControl(DWORD control, DWORD, void*, void*) {
  switch (control) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN:
      ReportStatus(SERVICE_STOP_PENDING, NO_ERROR, 10000);
      g_stop.Request();
      return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
      return NO_ERROR;
    default:
      return ERROR_CALL_NOT_IMPLEMENTED;
  }
}

void WINAPI ServiceMain(DWORD, wchar_t**) {
  g_statusHandle = RegisterServiceCtrlHandlerExW(kServiceName, ServiceControl, nullptr);
  if (!g_statusHandle) return;
  ReportStatus(SERVICE_START_PENDING, NO_ERROR, 5000);
  Logger log;
  const std::wstring path = g_settings->logPath.empty() ? DefaultServiceLogPath() : g_settings->logPath;
  log.UseFile(path);  // without a log file the service still serves
  const DWORD status = Serve(*g_settings, true, log, g_stop, [] { ReportStatus(SERVICE_RUNNING); });
  ReportStatus(SERVICE_STOPPED, status);
}

}  // namespace

int RunAsService(const Settings& settings) {
  if (const DWORD status = g_stop.Create()) {
    std::fprintf(stderr, "lumbrex-service: cannot create events: %s\n", DescribeError(status).c_str());
    return 1;
  }
  g_settings = &settings;
  SERVICE_TABLE_ENTRYW table[] = {{const_cast<wchar_t*>(kServiceName), ServiceMain}, {nullptr, nullptr}};
  if (!StartServiceCtrlDispatcherW(table)) {
    std::fprintf(stderr, "lumbrex-service: not started by the Service Control Manager: %s\n",
                 DescribeError(GetLastError()).c_str());
    return 1;
  }
  return 0;
}

}  // namespace lumbrex::service
