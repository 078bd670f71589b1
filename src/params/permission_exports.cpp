// Part 4.3: the reading export of the per-port permission mask.
#include "lumbrex.h"

#include "api/export_guard.h"
#include "api/last_error.h"
#include "params/export_arguments.h"
#include "params/port_entry.h"

using namespace lumbrex;

extern "C" int LUMBREX_CALL BundlePortGetPermissions(VARIANT bundle, int side, VARIANT port, VARIANT* result) {
  return RunExport([&] {
    // Bundle and port: the string member where there is one; any other type
    // is refused with 13 before anything is read (docs/behaviour.md).
    Text bundleName, portName;
    if (!ReadStringMember(bundle, &bundleName) || !ReadStringMember(port, &portName)) {
      SetLastErrorCode(kInvalidData);
      return false;
    }
    // Step 1: side 0 reads IN, any other side OUT; a failed read is reported.
    Text parameterText;
    bool highBit = false, lowBit = false;
    const uint32_t status = ReadPortEntry(bundleName, side, portName, &parameterText, &highBit, &lowBit);
    if (status != 0) {
      SetLastErrorCode(status);
      return false;
    }
    // Step 2: a null result address is allowed; nothing is written then.
    if (result != nullptr) {
      if (result->vt != VT_I4 && VariantClear(result) != S_OK) {
        // What we cannot release we do not overwrite (docs/behaviour.md).
        SetLastErrorCode(kInvalidData);
        return false;
      }
      result->vt = VT_I4;
      result->lVal = (highBit ? 2 : 0) + (lowBit ? 1 : 0);
    }
    return true;
  });
}
