#include "arguments.h"

#include <cwchar>

#include "common/names.h"

namespace lumbrex::service {

void PrintUsage() {
  std::fwprintf(stderr,
                L"usage: lumbrex-service.exe MODE [--local-only] [--log FILE] [--idle-timeout SECONDS]\n"
                L"                           [--max-clients N]\n"
                L"  --foreground  serve the pipe in this console; Ctrl+C stops\n"
                L"  --install     install as the Windows service %ls (demand start)\n"
                L"  --uninstall   stop and remove the service\n"
                L"  --start       start the installed service and wait until it runs\n"
                L"  --stop        stop the service and wait until it has stopped\n"
                L"  --service     (used by the Service Control Manager; --install writes it)\n"
                L"  --version     print the version\n"
                L"  --local-only  turn away clients from other machines\n"
                L"  --idle-timeout SECONDS  drop a client that stops halfway through a\n"
                L"                command for this long (default 30; 0: never)\n"
                L"  --max-clients N  clients connected at once, 1 to 1000 (default 100); past\n"
                L"                it a client's open fails with ERROR_PIPE_BUSY until one leaves\n"
                L"  --log FILE    log to FILE (default: stdout in the foreground,\n"
                L"                %%ProgramData%%\\%ls\\%ls as a service)\n",
                kServiceName, kProductFolder, kServiceLogName);
}

namespace {

// Plain decimal digits from `least` to `most` (at most 5 digits).
bool ParseWhole(const std::wstring& text, DWORD least, DWORD most, DWORD& value) {
  if (text.empty() || text.size() > 5) return false;
  value = 0;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9') return false;
    value = value * 10 + (c - L'0');
  }
  return value >= least && value <= most;
}

}  // namespace

bool ParseSeconds(const std::wstring& text, DWORD& seconds) { return ParseWhole(text, 0, 86400, seconds); }
bool ParseMaxClients(const std::wstring& text, DWORD& clients) { return ParseWhole(text, 1, 1000, clients); }

std::wstring ParseArguments(int argc, wchar_t** argv, Settings& settings) {
  for (int i = 1; i < argc; ++i) {
    const std::wstring arg = argv[i];
    Mode mode = Mode::None;
    if (arg == L"--foreground") mode = Mode::Foreground;
    else if (arg == L"--service") mode = Mode::Service;
    else if (arg == L"--install") mode = Mode::Install;
    else if (arg == L"--uninstall") mode = Mode::Uninstall;
    else if (arg == L"--start") mode = Mode::Start;
    else if (arg == L"--stop") mode = Mode::Stop;
    else if (arg == L"--help" || arg == L"-h" || arg == L"/?") mode = Mode::Help;
    else if (arg == L"--version") mode = Mode::Version;
    else if (arg == L"--local-only") settings.allowRemote = false;
    else if (arg == L"--log" || arg == L"--idle-timeout" || arg == L"--max-clients") {
      if (i + 1 >= argc) return arg + L" needs a value";
      std::wstring& value = arg == L"--log" ? settings.logPath
                            : arg == L"--idle-timeout" ? settings.idleTimeout : settings.maxClients;
      value = argv[++i];
      DWORD number = 0;
      if (arg == L"--idle-timeout" && !ParseSeconds(value, number))
        return L"--idle-timeout takes whole seconds from 0 to 86400, not '" + value + L"'";
      if (arg == L"--max-clients" && !ParseMaxClients(value, number))
        return L"--max-clients takes a whole number from 1 to 1000, not '" + value + L"'";
    } else {
      return L"unknown argument '" + arg + L"'";
    }
    if (mode != Mode::None) {
      if (settings.mode != Mode::None) return L"more than one mode: '" + arg + L"'";
      settings.mode = mode;
    }
  }
  return {};
}

}  // namespace lumbrex::service
