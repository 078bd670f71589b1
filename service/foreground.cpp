// --foreground: the pipe served in this console until Ctrl+C, Ctrl+Break or
// the console's end.
#include <windows.h>

#include <cstdio>

#include "modes.h"
#include "serving.h"

namespace lumbrex::service {
namespace {

// The console calls its handlers on a thread of its own, with no context:
// the signal lives as long as the process.
StopSignal g_stop;

BOOL WINAPI ConsoleHandler(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      g_stop.Request();
      // The process ends when a close handler returns: stop first.
      g_stop.WaitDone(10000);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

int RunForeground(const Settings& settings) {
  Logger log;
  if (settings.logPath.empty()) {
    log.UseStdout();
  } else if (const DWORD status = log.UseFile(settings.logPath)) {
    std::fprintf(stderr, "lumbrex-service: cannot open the log file: %s\n", DescribeError(status).c_str());
    return 1;
  }
  if (const DWORD status = g_stop.Create()) {
    std::fprintf(stderr, "lumbrex-service: cannot create events: %s\n", DescribeError(status).c_str());
    return 1;
  }
  SetConsoleCtrlHandler(ConsoleHandler, TRUE);
  const DWORD status = Serve(settings, false, log, g_stop, nullptr);
  g_stop.MarkDone();
  // No handler may start on the signal once the process is ending.
  SetConsoleCtrlHandler(ConsoleHandler, FALSE);
  if (status != ERROR_SUCCESS && !settings.logPath.empty())
    std::fprintf(stderr, "lumbrex-service: the pipe cannot be served: %s\n", DescribeError(status).c_str());
  return status == ERROR_SUCCESS ? 0 : 1;
}

}  // namespace lumbrex::service
