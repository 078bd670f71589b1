// Part 4.2: the reading exports of the real port parameters.
#include "lumbrex.h"

#include "api/export_guard.h"
#include "api/last_error.h"
#include "api/port_name.h"
#include "params/export_arguments.h"
#include "params/parameter_text.h"
#include "params/port_entry.h"

using namespace lumbrex;

extern "C" int LUMBREX_CALL BundleRealPortAreParametersDynamic(VARIANT bundle, int side, VARIANT port) {
  return RunExport([&] {
    Text bundleName, portName;
    if (!TakeBundleSidePort(&bundle, side, &port, &bundleName, &portName)) return false;
    if (!IsValidPortName(portName)) {
      SetLastErrorCode(kInvalidData);
      return false;
    }
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
    if (!TakeBundleSidePort(&bundle, side, &port, &bundleName, &portName)) return false;
    // The five outputs must be valid (Part 4.2): a null one is refused like a
    // bad argument, before anything is read or written.
    if (baudrate == nullptr || parity == nullptr || dataBits == nullptr || stopBits == nullptr ||
        flowControl == nullptr) {
      SetLastErrorCode(kInvalidData);
      return false;
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
