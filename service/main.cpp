// lumbrex-service.exe: the stand-in for the bundling service, run in the
// foreground or by the Service Control Manager. docs/service.md.
#include <cstdio>
#include <cwchar>
#include <string>

#include "arguments.h"
#include "modes.h"

using namespace lumbrex::service;

int wmain(int argc, wchar_t** argv) {
  Settings settings;
  const std::wstring problem = ParseArguments(argc, argv, settings);
  if (!problem.empty()) {
    std::fwprintf(stderr, L"lumbrex-service: %ls\n", problem.c_str());
    PrintUsage();
    return 2;
  }
  switch (settings.mode) {
    case Mode::Foreground: return RunForeground(settings);
    case Mode::Service: return RunAsService(settings);
    case Mode::Install: return Install(settings);
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
