// --install, --uninstall, --start, --stop: the installed service, through the
// Service Control Manager. Each waits (bounded) until the service is in the
// state asked for, so a script may go on at once.
#include <windows.h>

#include <cstdio>
#include <string>

#include "api/module_path.h"
#include "api/raii.h"
#include "common/names.h"
#include "logger.h"
#include "modes.h"

namespace lumbrex::service {
namespace {

constexpr const wchar_t kDisplayName[] = L"Lumbrex bundling service (stand-in)";
constexpr DWORD kScmWaitMs = 20000;

int Fail(const char* what, DWORD code) {
  std::fprintf(stderr, "lumbrex-service: %s: %s\n", what, DescribeError(code).c_str());
  return 1;
}

// The Service Control Manager tells no one when a state is reached: asked
// every 100 ms, up to kScmWaitMs.
bool WaitForState(SC_HANDLE service, DWORD wanted, SERVICE_STATUS& status) {
  for (DWORD waited = 0;; waited += 100) {
    if (!QueryServiceStatus(service, &status)) return false;
    if (status.dwCurrentState == wanted) return true;
    if (wanted == SERVICE_RUNNING && status.dwCurrentState == SERVICE_STOPPED) return false;
    if (waited >= kScmWaitMs) return false;
    Sleep(100);
  }
}

// The service's command line: this program with --service and the settings
// that the service mode reads.
std::wstring ServiceCommandLine(const std::wstring& exe, const Settings& settings) {
  std::wstring command = L"\"" + exe + L"\" --service";
  if (!settings.allowRemote) command += L" --local-only";
  if (!settings.logPath.empty()) command += L" --log \"" + settings.logPath + L"\"";
  if (!settings.idleTimeout.empty()) command += L" --idle-timeout " + settings.idleTimeout;
  if (!settings.maxClients.empty()) command += L" --max-clients " + settings.maxClients;
  return command;
}

// The installed service, opened with `access`; 0, or the exit code after its
// failure was told.
int OpenInstalled(DWORD access, UniqueServiceHandle& manager, UniqueServiceHandle& service) {
  manager.reset(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager.valid()) return Fail("cannot open the Service Control Manager", GetLastError());
  service.reset(OpenServiceW(manager.get(), kServiceName, access));
  if (!service.valid()) return Fail("cannot open the service", GetLastError());
  return 0;
}

// Stops the service if it runs; true when it is stopped afterwards.
bool StopService(SC_HANDLE service) {
  SERVICE_STATUS status{};
  if (!ControlService(service, SERVICE_CONTROL_STOP, &status)) {
    const DWORD error = GetLastError();
    if (error != ERROR_SERVICE_NOT_ACTIVE) {
      Fail("cannot stop the service", error);
      return false;
    }
  }
  if (!WaitForState(service, SERVICE_STOPPED, status)) {
    std::fprintf(stderr, "lumbrex-service: the service did not stop\n");
    return false;
  }
  return true;
}

}  // namespace

int Install(const Settings& settings) {
  const std::wstring exe = ModulePath(nullptr);
  if (exe.empty()) return Fail("cannot find this program's path", GetLastError());
  const std::wstring command = ServiceCommandLine(exe, settings);
  UniqueServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE));
  if (!manager.valid()) return Fail("cannot open the Service Control Manager", GetLastError());
  UniqueServiceHandle service(CreateServiceW(manager.get(), kServiceName, kDisplayName, SERVICE_ALL_ACCESS,
                                             SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                                             command.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
  if (!service.valid()) return Fail("cannot install the service", GetLastError());
  std::wstring text =
      L"Serves " + std::wstring(kLocalPipePath) + L" and keeps the bundle configuration in the registry.";
  SERVICE_DESCRIPTIONW description{text.data()};
  ChangeServiceConfig2W(service.get(), SERVICE_CONFIG_DESCRIPTION, &description);
  std::printf("lumbrex-service: installed the service %ls\n", kServiceName);
  return 0;
}

int StartInstalled() {
  UniqueServiceHandle manager, service;
  if (const int failed = OpenInstalled(SERVICE_START | SERVICE_QUERY_STATUS, manager, service)) return failed;
  if (!StartServiceW(service.get(), 0, nullptr) && GetLastError() != ERROR_SERVICE_ALREADY_RUNNING)
    return Fail("cannot start the service", GetLastError());
  SERVICE_STATUS status{};
  if (!WaitForState(service.get(), SERVICE_RUNNING, status))
    return Fail("the service did not reach the running state", status.dwWin32ExitCode);
  std::printf("lumbrex-service: the service runs\n");
  return 0;
}

int StopInstalled() {
  UniqueServiceHandle manager, service;
  if (const int failed = OpenInstalled(SERVICE_STOP | SERVICE_QUERY_STATUS, manager, service)) return failed;
  if (!StopService(service.get())) return 1;
  std::printf("lumbrex-service: the service has stopped\n");
  return 0;
}

int Uninstall() {
  UniqueServiceHandle manager, service;
  if (const int failed = OpenInstalled(SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE, manager, service)) return failed;
  if (!StopService(service.get())) return 1;
  if (!DeleteService(service.get())) return Fail("cannot remove the service", GetLastError());
  std::printf("lumbrex-service: removed the service %ls\n", kServiceName);
  return 0;
}

}  // namespace lumbrex::service
