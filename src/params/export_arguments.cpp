#include "params/export_arguments.h"

#include "api/arguments.h"
#include "api/last_error.h"

namespace lumbrex {

bool TakeBundleSidePort(VARIANT* bundle, int side, VARIANT* port, Text* bundleName, Text* portName) {
  if (!TakeStringArgument(bundle, bundleName) || !IsSideValue(static_cast<int32_t>(side)) ||
      !TakeStringArgument(port, portName)) {
    SetLastErrorCode(kInvalidData);
    return false;
  }
  return true;
}

bool ReadStringMember(const VARIANT& arg, Text* text) {
  BSTR string = nullptr;
  if (arg.vt == VT_BSTR) {
    string = arg.bstrVal;
  } else if (arg.vt == (VT_BYREF | VT_BSTR) && arg.pbstrVal != nullptr) {
    string = *arg.pbstrVal;
  } else {
    // Any other type holds no string to read: refused, never read as one.
    return false;
  }
  if (string == nullptr) {
    text->clear();
  } else {
    text->assign(UpToFirstNul(TextView(string, SysStringLen(string))));
  }
  return true;
}

}  // namespace lumbrex
