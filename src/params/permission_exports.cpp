// The exports of the per-port permission mask (getter and setter).
#include "lumbrex.h"

#include "api/arguments.h"
#include "api/export_guard.h"
#include "api/last_error.h"
#include "api/raii.h"
#include "api/variant_values.h"
#include "link/commands.h"
#include "params/parameter_text.h"
#include "params/port_entry.h"

using namespace lumbrex;

namespace {
struct PermissionEntry {
  Text bundleName, portName, parameterText;
  bool highBit = false, lowBit = false;
};

// The first step of both exports. Bundle and port: the string member where
// there is one; any other type is refused with 13 before anything is read
// (docs/behaviour-details.md). Side 0 reads IN, any other side OUT; a failed
// read stores its code.
bool ReadPermissionEntry(const VARIANT& bundle, int side, const VARIANT& port, PermissionEntry* entry) {
  if (!ReadStringMember(bundle, &entry->bundleName) || !ReadStringMember(port, &entry->portName)) {
    return RefuseArgument();
  }
  const uint32_t status = ReadPortEntry(entry->bundleName, side, entry->portName, &entry->parameterText,
                                        &entry->highBit, &entry->lowBit);
  if (status != 0) {
    SetLastErrorCode(status);
    return false;
  }
  return true;
}
}  // namespace

extern "C" int LUMBREX_CALL BundlePortGetPermissions(VARIANT bundle, int side, VARIANT port, VARIANT* result) {
  return RunExport([&] {
    PermissionEntry entry;
    if (!ReadPermissionEntry(bundle, side, port, &entry)) return false;
    const bool highBit = entry.highBit, lowBit = entry.lowBit;
    // A null result address is allowed; nothing is written then.
    if (result != nullptr) {
      // What we cannot release we do not overwrite (docs/behaviour-details.md).
      if (!ClearOutput(result, Uncleared::kRefuse)) return RefuseArgument();
      *result = I4((highBit ? LUMBREX_PORT_PERMISSION_HIGH : 0) + (lowBit ? LUMBREX_PORT_PERMISSION_LOW : 0));
    }
    return true;
  });
}

extern "C" int LUMBREX_CALL BundlePortSetPermissions(VARIANT bundle, int side, VARIANT port, VARIANT mask) {
  // The setter owns its by-value mask and clears it before it returns, on every
  // path (refusals and exceptions included). On x64 the by-value VARIANT is a
  // copy the caller made, passed by hidden pointer: clearing it frees what the
  // caller's mask holds.
  const ScopedVariantClear maskClear(&mask);
  return RunExport([&] {
    // The text read (up to its first NUL) names the registry value and goes
    // into the command; a failed read sends nothing.
    PermissionEntry entry;
    if (!ReadPermissionEntry(bundle, side, port, &entry)) return false;
    // The stored text as read (lower case, possibly empty) with the mask's two
    // low bits, read from its 32-bit member without a type test.
    const int32_t value = mask.lVal;
    const Text field = BuildParameterField(entry.parameterText, (value & LUMBREX_PORT_PERMISSION_HIGH) != 0,
                                           (value & LUMBREX_PORT_PERMISSION_LOW) != 0);
    // "In" for side 0, "Out" for any other side. A failed command stores no
    // last-error code, as for every command.
    return CmdSetRealPortParams(entry.bundleName, side == LUMBREX_SIDE_IN, entry.portName, field);
  });
}
