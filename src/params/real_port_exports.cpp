// The exports of the real port parameters (two readers, two setters).
#include "lumbrex.h"

#include "api/arguments.h"
#include "api/export_guard.h"
#include "api/port_name.h"
#include "link/commands.h"
#include "params/parameter_text.h"
#include "params/port_entry.h"

using namespace lumbrex;

extern "C" int LUMBREX_CALL BundleRealPortAreParametersDynamic(VARIANT bundle, int side, VARIANT port) {
  return RunExport([&] {
    Text bundleName, portName;
    if (!TakeBundleSidePort(&bundle, side, &port, &bundleName, &portName)) return RefuseArgument();
    if (!IsValidPortName(portName)) return RefuseArgument();
    // The status is not looked at: a port without a readable entry keeps the
    // empty text and so has dynamic parameters.
    Text parameterText;
    bool highBit = false, lowBit = false;
    ReadPortEntry(bundleName, side, portName, &parameterText, &highBit, &lowBit);
    return parameterText.empty();
  });
}

extern "C" int LUMBREX_CALL BundleGetRealPortParameters(VARIANT bundle, int side, VARIANT port, int* baudrate,
                                                        int* parity, int* dataBits, int* stopBits,
                                                        int* flowControl) {
  return RunExport([&] {
    Text bundleName, portName;
    if (!TakeBundleSidePort(&bundle, side, &port, &bundleName, &portName)) return RefuseArgument();
    // The five outputs must be valid: a null one is refused like a bad
    // argument, before anything is read or written.
    if (baudrate == nullptr || parity == nullptr || dataBits == nullptr || stopBits == nullptr ||
        flowControl == nullptr) {
      return RefuseArgument();
    }
    Text parameterText;
    bool highBit = false, lowBit = false;
    ReadPortEntry(bundleName, side, portName, &parameterText, &highBit, &lowBit);
    // Dynamic parameters or no entry: 0, nothing written, last error unchanged.
    if (parameterText.empty()) return false;
    // On false the outputs that the parser reached hold their new values.
    return ParsePortParameters(parameterText, baudrate, parity, dataBits, stopBits, flowControl);
  });
}

// Both setters send the stored permission bits back unchanged, preset clear;
// the status is not looked at, so a missing or unreadable entry gives both bits
// clear (ReadPortEntry writes nothing on failure).
static void ReadStoredPermissionBits(const Text& bundleName, int side, const Text& portName, bool* highBit,
                                     bool* lowBit) {
  *highBit = false;
  *lowBit = false;
  Text parameterText;
  ReadPortEntry(bundleName, side, portName, &parameterText, highBit, lowBit);
}

extern "C" int LUMBREX_CALL BundleSetRealPortParameters(VARIANT bundle, int side, VARIANT port, int baudrate,
                                                        int parity, int dataBits, int stopBits, int flowControl) {
  return RunExport([&] {
    Text bundleName, portName;
    if (!TakeBundleSidePort(&bundle, side, &port, &bundleName, &portName)) return RefuseArgument();
    // Compared as unsigned, so that negative values fail too; the baudrate is
    // not checked. Nothing is read or sent on a failure.
    const auto u = [](int v) { return static_cast<uint32_t>(v); };
    if (u(parity) > LUMBREX_PARITY_SPACE || u(dataBits) < LUMBREX_DATA_BITS_MIN || u(dataBits) > LUMBREX_DATA_BITS_MAX ||
        u(stopBits) > LUMBREX_STOP_BITS_TWO || u(flowControl) > LUMBREX_FLOW_HARDWARE) {
      return RefuseArgument();
    }
    bool highBit = false, lowBit = false;
    ReadStoredPermissionBits(bundleName, side, portName, &highBit, &lowBit);
    const Text field =
        BuildParameterField(FormatPortParameters(baudrate, parity, dataBits, stopBits, flowControl), highBit, lowBit);
    // A failed command stores no last-error code, as for every command.
    return CmdSetRealPortParams(bundleName, side == LUMBREX_SIDE_IN, portName, field);
  });
}

extern "C" int LUMBREX_CALL BundleSetDynamicParametersForRealPort(VARIANT bundle, int side, VARIANT port) {
  return RunExport([&] {
    Text bundleName, portName;
    if (!TakeBundleSidePort(&bundle, side, &port, &bundleName, &portName)) return RefuseArgument();
    bool highBit = false, lowBit = false;
    ReadStoredPermissionBits(bundleName, side, portName, &highBit, &lowBit);
    // Empty parameter text: "|h|l" with the stored bits.
    return CmdSetRealPortParams(bundleName, side == LUMBREX_SIDE_IN, portName,
                                BuildParameterField(TextView(), highBit, lowBit));
  });
}
