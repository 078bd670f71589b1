#include "callers/call_outcome.h"

#include "api/raii.h"

namespace lumbrex {

bool CallOutcome::ConnectionLost() const {
  // ReadFile on a pipe whose server end is gone gives ERROR_BROKEN_PIPE;
  // WriteFile gives ERROR_NO_DATA once the server closed its end, and
  // ERROR_PIPE_NOT_CONNECTED after the server disconnected the instance.
  return result == 0 && (systemError == ERROR_BROKEN_PIPE || systemError == ERROR_NO_DATA ||
                         systemError == ERROR_PIPE_NOT_CONNECTED);
}

const wchar_t* CallOutcome::PipeOpenFailure() const {
  switch (systemError) {
    case ERROR_PIPE_BUSY:  // every instance the service made is taken
      return L"is busy: the service admits no more clients now (try again when one disconnects)";
    case ERROR_ACCESS_DENIED:
      return L"refused this user (access denied)";
    default:
      return L"could not be opened (is the service running?)";
  }
}

unsigned int CodeBeforeCall() {
  if (QKGetLastError() == ERROR_INVALID_DATA) {
    // The bundle named holds backslashes, so the key it reads would lie below
    // a side key, which holds values only: the read stores 2 (as it does
    // without the configuration root) and sends nothing.
    UniqueVariant bundle, names;
    bundle->bstrVal = SysAllocString(L"-\\IN\\-");
    if (bundle->bstrVal != nullptr) {
      bundle->vt = VT_BSTR;
      GetPortsNamesByBundleAndSide(*bundle.get(), 0, names.get());
    }
  }
  return QKGetLastError();
}

}  // namespace lumbrex
