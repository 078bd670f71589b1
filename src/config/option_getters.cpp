// The five option getters.
#include "lumbrex.h"

#include "api/arguments.h"
#include "api/export_guard.h"
#include "api/last_error.h"
#include "config/options.h"

using namespace lumbrex;

namespace {
// The stored value passed on unchanged (not reduced to 0 or 1); on failure the
// caller's integer keeps its content.
int GetOption(Option which, unsigned int* value) {
  return RunExport([&] {
    if (value == nullptr) return RefuseArgument();
    uint32_t read = 0;
    const LONG status = ReadOption(which, &read);
    if (status != ERROR_SUCCESS) {
      SetLastErrorCode(static_cast<uint32_t>(status));
      return false;
    }
    *value = read;
    return true;
  });
}
}  // namespace

extern "C" int LUMBREX_CALL OptionGetPortsAutoOpen(unsigned int* value) { return GetOption(Option::AutoOpen, value); }

extern "C" int LUMBREX_CALL OptionGetIgnoreErrorsOnPortCreation(unsigned int* value) {
  return GetOption(Option::IgnoreError, value);
}

extern "C" int LUMBREX_CALL OptionGetPortToPrint(unsigned int* value) { return GetOption(Option::Prints, value); }

extern "C" int LUMBREX_CALL OptionGetIfSendToMainSet(unsigned int* value) {
  return GetOption(Option::SendDataOnlyMainPort, value);
}

extern "C" int LUMBREX_CALL OptionGetBaudrateEmulation(unsigned int* value) {
  return GetOption(Option::StrictBaudrate, value);
}
