// Part 4.3: the reading export of the per-port permission mask.
#include "lumbrex.h"

#include "api/export_guard.h"
#include "api/last_error.h"
#include "params/port_entry.h"

namespace lumbrex {
namespace {

// Part 4.3 uses the bundle and port VARIANTs' string member without a type
// test. We read the same string, but only where there is one: VT_BSTR, or a
// VT_BYREF|VT_BSTR with a non-null reference (read through it, not converted).
// Any other type is refused with 13 instead of reading a foreign member
// (Part 4.3, Left to the implementer: docs/behaviour.md). The text ends at the
// first NUL; a null BSTR is the empty text.
bool ReadStringMember(const VARIANT& arg, Text* text) {
  BSTR string = nullptr;
  if (arg.vt == VT_BSTR) {
    string = arg.bstrVal;
  } else if (arg.vt == (VT_BYREF | VT_BSTR) && arg.pbstrVal != nullptr) {
    string = *arg.pbstrVal;
  } else {
    return false;
  }
  if (string == nullptr) {
    text->clear();
  } else {
    text->assign(UpToFirstNul(TextView(string, SysStringLen(string))));
  }
  return true;
}

}  // namespace
}  // namespace lumbrex

using namespace lumbrex;

extern "C" int LUMBREX_CALL BundlePortGetPermissions(VARIANT bundle, int side, VARIANT port, VARIANT* result) {
  return RunExport([&] {
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
    // Step 2: a null result address is allowed and written nothing.
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
