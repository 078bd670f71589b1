// lumbrex-service.exe: the stand-in for the bundling service, run in the
// foreground or by the Service Control Manager. docs/service.md.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <utility>

#include "api/raii.h"
#include "arguments.h"
#include "common/names.h"
#include "config_store.h"
#include "logger.h"
#include "pipe_server.h"

namespace {

using lumbrex::kLocalPipePath;
using lumbrex::kServiceName;
using lumbrex::UniqueLocalMemory;
using lumbrex::UniqueServiceHandle;
using lumbrex::service::ConfigStore;
using lumbrex::service::Logger;
using lumbrex::service::Mode;
using lumbrex::service::ParseArguments;
using lumbrex::service::ParseMaxClients;
using lumbrex::service::ParseSeconds;
using lumbrex::service::PipeServer;
using lumbrex::service::PrintUsage;
using lumbrex::service::ServerOptions;
using lumbrex::service::Settings;
using lumbrex::service::ToUtf8;

constexpr const wchar_t kDisplayName[] = L"Lumbrex bundling service (stand-in)";
constexpr DWORD kScmWaitMs = 20000;

Settings g_settings;
// Both live until the process ends: a console handler thread may still wait
// on them while the process exits.
HANDLE g_stopRequested = nullptr;  // manual-reset: stop the server
HANDLE g_stopped = nullptr;        // manual-reset: the server has stopped

std::wstring DefaultServiceLogPath() {
  wchar_t folder[MAX_PATH];
  const DWORD size = GetEnvironmentVariableW(L"ProgramData", folder, MAX_PATH);
  if (size > 0 && size < MAX_PATH) return std::wstring(folder) + L"\\OSTREL Software\\Lumbrex\\lumbrex-service.log";
  wchar_t exe[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring path(exe, length);
  return path.substr(0, path.find_last_of(L'\\') + 1) + L"lumbrex-service.log";
}

std::string Describe(DWORD code) {
  UniqueLocalMemory text;
  FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                 code, 0, reinterpret_cast<char*>(text.put()), 0, nullptr);
  std::string out = "error " + std::to_string(code);
  if (text.valid()) {
    std::string message(static_cast<const char*>(text.get()));
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.pop_back();
    out += " (" + message + ")";
  }
  return out;
}

std::string StartMessage(bool service) {
  return "lumbrex-service: serving " + ToUtf8(kLocalPipePath) + " " +
         (service ? "as the service" : "in the foreground") +
         (g_settings.allowRemote ? ", remote clients admitted" : ", local clients only") +
         (service ? "" : "; Ctrl+C stops");
}

// Serves until g_stopRequested; 0 or the error that kept the pipe from opening.
DWORD Serve(Logger& log, bool service, void (*running)()) {
  ConfigStore store;
  ServerOptions options;
  options.allowRemote = g_settings.allowRemote;
  DWORD seconds = 0;
  if (ParseSeconds(g_settings.idleTimeout, seconds)) options.idleTimeoutMs = seconds ? seconds * 1000 : INFINITE;
  DWORD clients = 0;
  if (ParseMaxClients(g_settings.maxClients, clients)) options.maxClients = clients;
  PipeServer server(options, store, log);
  const DWORD status = server.Start();
  if (status != ERROR_SUCCESS) {
    log.Line("lumbrex-service: the pipe cannot be served: " + Describe(status) +
             (status == ERROR_ACCESS_DENIED || status == ERROR_PIPE_BUSY ? "; another server holds it" : ""));
    return status;
  }
  log.Line(StartMessage(service));
  if (running) running();
  WaitForSingleObject(g_stopRequested, INFINITE);
  server.Stop();
  log.Line("lumbrex-service: stopped");
  return ERROR_SUCCESS;
}

BOOL WINAPI ConsoleHandler(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      SetEvent(g_stopRequested);
      // The process ends when a close handler returns: stop first.
      WaitForSingleObject(g_stopped, 10000);
      return TRUE;
    default:
      return FALSE;
  }
}

int RunForeground() {
  Logger log;
  if (g_settings.logPath.empty()) {
    log.UseStdout();
  } else if (const DWORD status = log.UseFile(g_settings.logPath)) {
    std::fprintf(stderr, "lumbrex-service: cannot open the log file: %s\n", Describe(status).c_str());
    return 1;
  }
  SetConsoleCtrlHandler(ConsoleHandler, TRUE);
  const DWORD status = Serve(log, false, nullptr);
  SetEvent(g_stopped);
  if (status != ERROR_SUCCESS && !g_settings.logPath.empty())
    std::fprintf(stderr, "lumbrex-service: the pipe cannot be served: %s\n", Describe(status).c_str());
  return status == ERROR_SUCCESS ? 0 : 1;
}

// --- service mode ---------------------------------------------------------

SERVICE_STATUS_HANDLE g_statusHandle = nullptr;

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
      SetEvent(g_stopRequested);
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
  const std::wstring path = g_settings.logPath.empty() ? DefaultServiceLogPath() : g_settings.logPath;
  log.UseFile(path);  // without a log file the service still serves
  const DWORD status = Serve(log, true, [] { ReportStatus(SERVICE_RUNNING); });
  SetEvent(g_stopped);
  ReportStatus(SERVICE_STOPPED, status);
}

int RunService() {
  SERVICE_TABLE_ENTRYW table[] = {{const_cast<wchar_t*>(kServiceName), ServiceMain}, {nullptr, nullptr}};
  if (!StartServiceCtrlDispatcherW(table)) {
    std::fprintf(stderr, "lumbrex-service: not started by the Service Control Manager: %s\n",
                 Describe(GetLastError()).c_str());
    return 1;
  }
  return 0;
}

// --- service installation -------------------------------------------------

int Fail(const char* what, DWORD code) {
  std::fprintf(stderr, "lumbrex-service: %s: %s\n", what, Describe(code).c_str());
  return 1;
}

bool WaitForState(SC_HANDLE service, DWORD wanted, SERVICE_STATUS& status) {
  for (DWORD waited = 0;; waited += 100) {
    if (!QueryServiceStatus(service, &status)) return false;
    if (status.dwCurrentState == wanted) return true;
    if (wanted == SERVICE_RUNNING && status.dwCurrentState == SERVICE_STOPPED) return false;
    if (waited >= kScmWaitMs) return false;
    Sleep(100);
  }
}

int Install() {
  wchar_t exe[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, exe, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return Fail("cannot find this program's path", GetLastError());
  std::wstring command = L"\"" + std::wstring(exe, length) + L"\" --service";
  if (!g_settings.allowRemote) command += L" --local-only";
  if (!g_settings.logPath.empty()) command += L" --log \"" + g_settings.logPath + L"\"";
  if (!g_settings.idleTimeout.empty()) command += L" --idle-timeout " + g_settings.idleTimeout;
  if (!g_settings.maxClients.empty()) command += L" --max-clients " + g_settings.maxClients;
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
  UniqueServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager.valid()) return Fail("cannot open the Service Control Manager", GetLastError());
  UniqueServiceHandle service(OpenServiceW(manager.get(), kServiceName, SERVICE_START | SERVICE_QUERY_STATUS));
  if (!service.valid()) return Fail("cannot open the service", GetLastError());
  if (!StartServiceW(service.get(), 0, nullptr) && GetLastError() != ERROR_SERVICE_ALREADY_RUNNING)
    return Fail("cannot start the service", GetLastError());
  SERVICE_STATUS status{};
  if (!WaitForState(service.get(), SERVICE_RUNNING, status))
    return Fail("the service did not reach the running state", status.dwWin32ExitCode);
  std::printf("lumbrex-service: the service runs\n");
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

int StopInstalled() {
  UniqueServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager.valid()) return Fail("cannot open the Service Control Manager", GetLastError());
  UniqueServiceHandle service(OpenServiceW(manager.get(), kServiceName, SERVICE_STOP | SERVICE_QUERY_STATUS));
  if (!service.valid()) return Fail("cannot open the service", GetLastError());
  if (!StopService(service.get())) return 1;
  std::printf("lumbrex-service: the service has stopped\n");
  return 0;
}

int Uninstall() {
  UniqueServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager.valid()) return Fail("cannot open the Service Control Manager", GetLastError());
  UniqueServiceHandle service(OpenServiceW(manager.get(), kServiceName, SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE));
  if (!service.valid()) return Fail("cannot open the service", GetLastError());
  if (!StopService(service.get())) return 1;
  if (!DeleteService(service.get())) return Fail("cannot remove the service", GetLastError());
  std::printf("lumbrex-service: removed the service %ls\n", kServiceName);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring problem = ParseArguments(argc, argv, g_settings);
  if (!problem.empty()) {
    std::fwprintf(stderr, L"lumbrex-service: %ls\n", problem.c_str());
    PrintUsage();
    return 2;
  }
  g_stopRequested = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  g_stopped = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (!g_stopRequested || !g_stopped) return Fail("cannot create events", GetLastError());
  switch (g_settings.mode) {
    case Mode::Foreground: return RunForeground();
    case Mode::Service: return RunService();
    case Mode::Install: return Install();
    case Mode::Uninstall: return Uninstall();
    case Mode::Start: return StartInstalled();
    case Mode::Stop: return StopInstalled();
    case Mode::Help: PrintUsage(); return 0;
    case Mode::Version: std::printf("lumbrex-service %s\n", LUMBREX_SERVICE_VERSION); return 0;
    case Mode::None: break;
  }
  // No mode: run by hand. The Service Control Manager always passes --service
  // (--install writes it into the command line), so there is no dispatcher to
  // try here, and no wait for one to give up.
  PrintUsage();
  return 2;
}
