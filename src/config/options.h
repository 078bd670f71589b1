// The five global options and their readers. The getters and the setters
// (which send all five back with UPDATE_SETTINGS) read them here.
#pragma once
#include <windows.h>

#include <cstdint>

#include "lumbrex_codes.h"

namespace lumbrex {

// In the order in which the setters read them and UPDATE_SETTINGS carries
// them (positions 1 to 5): LumbrexOption's. Their registry value names are
// common/names.h's kOptionValueNames.
enum class Option {
  AutoOpen = LUMBREX_OPTION_AUTO_OPEN,
  IgnoreError = LUMBREX_OPTION_IGNORE_ERROR,
  Prints = LUMBREX_OPTION_PRINTS,
  SendDataOnlyMainPort = LUMBREX_OPTION_SEND_DATA_ONLY_MAIN_PORT,
  StrictBaudrate = LUMBREX_OPTION_STRICT_BAUDRATE,
};
constexpr Option kAllOptions[] = {Option::AutoOpen, Option::IgnoreError, Option::Prints,
                                  Option::SendDataOnlyMainPort, Option::StrictBaudrate};
static_assert(sizeof kAllOptions / sizeof kAllOptions[0] == LUMBREX_OPTION_COUNT, "every option once");

// The option reader: opens the configuration root key with 0x20219 (32-bit
// view), or for StrictBaudrate the virtual-serial driver's service key with
// 0x20019, and reads the REG_DWORD with RegistryKey::QueryDword. Returns 0, the
// open's code, 2 (missing value), 13 (not REG_DWORD) or 234 (longer than four
// bytes). *value is the stored value, unchanged, on success; on failure it is 0
// for StrictBaudrate and left untouched for the four root options, so callers
// start from 0.
LONG ReadOption(Option which, uint32_t* value);

}  // namespace lumbrex
