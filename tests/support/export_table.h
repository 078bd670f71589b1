// The 38 exports as data, resolved by name from lumbrex.dll, so that sweeps,
// leak loops and the soak cover every export the library has; a generic
// caller; good arguments against SmallConfig; process figures for leak loops.
#pragma once
#include <string>
#include <vector>

#include "support/variants.h"

namespace reliability {

struct ExportInfo {
  const char* name;
  const char* kinds;  // V VARIANT by value, S side, I integer, O out-VARIANT, U out integer
  // The rule of each V: s string, t anything that converts to text, n integer,
  // m string read through at most one reference, k mask (any type, cleared).
  const char* args;
  bool command;  // sends to the service
  enum NullOut { kNoOut, kMustBeValid, kMayBeNull } nullOut = kNoOut;  // a null out-pointer refused with 13, or not
  bool clearsOut = false;  // the out-VARIANT is emptied before the arguments are checked
  enum Extra { kNone, kNetwork, kDevice } extra = kNone;  // codes beyond the common set
};
const std::vector<ExportInfo>& AllExports();
FARPROC Resolve(const char* name);  // null when not exported

// Taken by kind in order: V from v[], S side, I from ints[], O and U from outs[].
struct CallArgs {
  VARIANT v[4];
  int side = 0;
  int ints[5] = {};
  void* outs[5] = {};
};
int CallExport(FARPROC fn, const std::string& kinds, const CallArgs& args);
int CountKind(const std::string& kinds, char kind);

// 0, 13, the registry's 2, 5, 87, 234, 8 for memory, and the logon's or the
// device open's codes where the export has them.
bool AllowedLastError(const ExportInfo& e, unsigned code);
void StoreLastError2();  // a missing bundle: a code after it is the next call's own

SIZE_T PrivateBytes();
long long HeapBusyBytes();  // busy heap blocks: exact where PrivateBytes moves by pages

// Good arguments against SmallConfig: bundle B1, side 0, port COM1 (COM2 for
// the sharing exports), application app.exe, port type 1, mask and permission
// 3, parameters 9600,0,8,0,0, option value 1; outs VT_EMPTY and -7777.
class GoodCall {
 public:
  explicit GoodCall(const ExportInfo& e);
  CallArgs Args();   // fresh arguments, outs reset
  void ClearOuts();  // frees what the export placed in the out-VARIANTs
  VARIANT& OutVariant(int k) { return *outV_[k]; }
  int OutInt(int k) const { return outI_[k]; }
  void SetText(int position, const wchar_t* text);

 private:
  std::string kinds_;
  testsupport::Var good_[4], outV_[5];
  int outI_[5];
};

}  // namespace reliability
