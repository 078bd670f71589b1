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
  static_assert(sizeof(kAllOptions) / sizeof(kAllOptions[0]) == 5, "UPDATE_SETTINGS carries five options");
  uint8_t flags[5] = {};
  for (size_t i = 0; i < 5; ++i) {
    const Option option = kAllOptions[i];
    // Read even the setter's own option, in wire order; an option that cannot
    // be read counts as 0 (a root-key reader leaves its output alone on
    // failure, so start from 0 and reset it).
    uint32_t stored = 0;
    if (ReadOption(option, &stored) != ERROR_SUCCESS) stored = 0;
    if (option == which) stored = static_cast<uint32_t>(value);
    flags[i] = stored != 0 ? 1 : 0;
  }
  return CmdUpdateSettings(flags[0], flags[1], flags[2], flags[3], flags[4]);
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
