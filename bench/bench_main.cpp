// lumbrex-bench.exe: the library against the raw Win32 calls it is
// made of, side by side in one process under Wine. Prints the Markdown
// sections of docs/benchmarks.md on stdout (scripts/bench.sh assembles them)
// and one "GOAL|..." line per goal for the summary. Its last section times
// lumbrexctl's plan and apply as processes, each against a process doing the
// same registry reads or export calls (config_section.cpp).
//
//   lumbrex-bench.exe           the full run (about three minutes)
//   lumbrex-bench.exe --smoke   a few iterations of everything (ctest)
//   --stripped-dll PATH         also time loading the stripped DLL at PATH
//   --library-only              the registry queries and the commands only
//                               (the 32-bit build, which has no lumbrexctl)
//
// It owns the configuration keys of the private prefix while it runs:
// the configuration root key is deleted before and after (tests build
// their own keys anyway).
//
// The measurements are in the *_section.cpp files, each against its baseline;
// report.cpp writes them as Markdown once they are all taken.
#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cstdarg>
#include <cstdio>
#include <cwchar>
#include <string>

#include "import_hooks.h"
#include "report.h"
#include "sections.h"

namespace bench {

namespace {
int g_failures = 0;
}  // namespace

void Fail(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::fprintf(stderr, "lumbrex-bench: ");
  std::vfprintf(stderr, format, args);
  std::fprintf(stderr, "\n");
  va_end(args);
  ++g_failures;
}

int Failures() { return g_failures; }

}  // namespace bench

int wmain(int argc, wchar_t** argv) {
  using namespace bench;
  _setmode(_fileno(stdout), _O_BINARY);  // "\n", not "\r\n"
  Settings settings;
  for (int i = 1; i < argc; ++i) {
    if (std::wcscmp(argv[i], L"--smoke") == 0) {
      settings.smoke = true;
      settings.sizes = {10, 100};
      settings.commandBatches = 3;
      settings.commandsPerBatch = 10;
      settings.loads = 5;
    } else if (std::wcscmp(argv[i], L"--stripped-dll") == 0 && i + 1 < argc) {
      settings.strippedDll = argv[++i];
    } else if (std::wcscmp(argv[i], L"--library-only") == 0) {
      settings.libraryOnly = true;
    } else {
      std::fprintf(stderr, "usage: lumbrex-bench.exe [--smoke] [--stripped-dll PATH] [--library-only]\n");
      return 2;
    }
  }
  StartClock();

  // The load first, before the DLL is loaded for the rest; its section is the
  // report's last.
  const LoadResults load = settings.libraryOnly ? LoadResults{} : MeasureLoad(settings);
  Library lib;
  if (!lib.Load()) {
    std::fprintf(stderr, "lumbrex-bench: lumbrex.dll cannot be loaded\n");
    return 1;
  }
  if (PatchImports(lib.module) == 0) Fail("no import of lumbrex.dll could be patched for the profiles");
  UnpatchImports(lib.module);
  const RegistryResults registry = MeasureRegistryQueries(lib, settings);
  const CommandResults commands = MeasureCommands(lib, settings);
  if (settings.libraryOnly) {
    for (const std::string& section : {RegistryReport(registry), CommandReport(commands, settings)})
      std::fputs(section.c_str(), stdout);
    std::fflush(stdout);
    return Failures() == 0 ? 0 : 1;
  }
  const AutomationResults automation = MeasureAutomation(lib, settings);
  const ConfigResults config = MeasureConfigVerbs(settings);

  for (const std::string& section :
       {RegistryReport(registry), CommandReport(commands, settings), LoadReport(load, settings),
        AutomationReport(automation, settings), ConfigReport(config)})
    std::fputs(section.c_str(), stdout);
  std::fflush(stdout);
  return Failures() == 0 ? 0 : 1;
}
