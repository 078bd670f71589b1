// The five option setters. Each reads all five options, puts its own argument
// in place of its option, reduces every option to 0 or 1 and sends them in one
// UPDATE_SETTINGS (500 ms wait for the link mutex).
#include "lumbrex.h"

#include <cstddef>
#include <cstdint>

#include "api/export_guard.h"
#include "config/options.h"
#include "link/commands.h"

using namespace lumbrex;

namespace {

// The service takes all five options in one command. The last-error code is
// never touched: read failures are not failures, and a failed transaction
// stores nothing, as for every command.
bool SetOption(Option which, int32_t value) {
  uint8_t flags[LUMBREX_OPTION_COUNT] = {};
  for (size_t i = 0; i < LUMBREX_OPTION_COUNT; ++i) {
    const Option option = kAllOptions[i];
    // Read even the setter's own option, in wire order; an option that cannot
    // be read counts as 0 (a root-key reader leaves its output alone on
    // failure, so start from 0 and reset it).
    uint32_t stored = 0;
    if (ReadOption(option, &stored) != ERROR_SUCCESS) stored = 0;
    if (option == which) stored = static_cast<uint32_t>(value);
    flags[i] = stored != 0 ? 1 : 0;
  }
  return CmdUpdateSettings(flags[LUMBREX_OPTION_AUTO_OPEN], flags[LUMBREX_OPTION_IGNORE_ERROR],
                           flags[LUMBREX_OPTION_PRINTS], flags[LUMBREX_OPTION_SEND_DATA_ONLY_MAIN_PORT],
                           flags[LUMBREX_OPTION_STRICT_BAUDRATE]);
}

}  // namespace

extern "C" int LUMBREX_CALL OptionSetAutoOpenPort(int value) {
  return RunExport([&] { return SetOption(Option::AutoOpen, value); });
}

extern "C" int LUMBREX_CALL OptionSetIgnoreErrors(int value) {
  return RunExport([&] { return SetOption(Option::IgnoreError, value); });
}

extern "C" int LUMBREX_CALL OptionSetPortToPrint(int value) {
  return RunExport([&] { return SetOption(Option::Prints, value); });
}

extern "C" int LUMBREX_CALL OptionSetOnlyMainPortCanSend(int value) {
  return RunExport([&] { return SetOption(Option::SendDataOnlyMainPort, value); });
}

extern "C" int LUMBREX_CALL OptionSetBaudrateEmulation(int value) {
  return RunExport([&] { return SetOption(Option::StrictBaudrate, value); });
}
