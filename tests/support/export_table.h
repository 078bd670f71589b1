// The 38 exports as data, resolved by name from lumbrex.dll, so that sweeps,
// leak loops and the soak cover every export the library has; a generic
// caller; good arguments against SmallConfig; process figures for leak loops.
#pragma once
#include <string>
#include <vector>

#include "support/variants.h"

namespace export_table {

// Each parameter of an export, in order, as lumbrex.h declares it.
enum class Param {
  kVariant,     // a VARIANT by value
  kSide,        // an int: 0 the input side, 1 the output side, anything else refused
  kAnySide,     // an int: 0 the input side, anything else the output side
  kInteger,     // an int by value
  kOutVariant,  // a VARIANT* the export fills
  kOutInteger,  // an int* the export fills
};

// How an export reads each of its by-value VARIANTs, in order.
enum class Rule {
  kString,       // a string only
  kText,         // anything that converts to text
  kInteger,      // an integer type only
  kStringByRef,  // a string, read through at most one reference
  kMask,         // any type, read as an integer; the export clears it
};

struct ExportInfo {
  const char* name;
  std::vector<Param> params;
  std::vector<Rule> rules;  // one per Param::kVariant
  bool command;             // sends to the service
  enum NullOut { kNoOut, kMustBeValid, kMayBeNull } nullOut = kNoOut;  // a null out-pointer refused with 13, or not
  bool clearsOut = false;  // the out-VARIANT is emptied before the arguments are checked
  enum Extra { kNone, kNetwork, kDevice } extra = kNone;  // codes beyond the common set
};
const std::vector<ExportInfo>& AllExports();
const ExportInfo& FindExport(const std::string& name);  // one of AllExports(); fails the test if none
FARPROC Resolve(const char* name);                      // null when not exported

int CountOf(const ExportInfo& e, Param kind);
inline int OutVariantCount(const ExportInfo& e) { return CountOf(e, Param::kOutVariant); }
inline int OutIntegerCount(const ExportInfo& e) { return CountOf(e, Param::kOutInteger); }
inline int OutputCount(const ExportInfo& e) { return OutVariantCount(e) + OutIntegerCount(e); }
inline int IntegerCount(const ExportInfo& e) { return CountOf(e, Param::kInteger); }
inline bool TakesSide(const ExportInfo& e) { return CountOf(e, Param::kSide) + CountOf(e, Param::kAnySide) > 0; }
// Baud rate, parity, data bits, stop bits and flow control.
inline bool TakesPortParameters(const ExportInfo& e) { return IntegerCount(e) == 5; }

// Taken by parameter in order: variants from v[], the side, integers from
// ints[], outputs of either kind from outs[].
struct CallArgs {
  VARIANT v[4];
  int side = 0;
  int ints[5] = {};
  void* outs[5] = {};
};
int CallExport(const ExportInfo& e, const CallArgs& args);  // e must resolve

// 0, 13, the registry's 2, 5, 87, 234, 8 for memory, and the logon's or the
// device open's codes where the export has them.
bool AllowedLastError(const ExportInfo& e, unsigned code);
// Leaves 2 in the last-error code (a bundle that does not exist), so that a
// code found after the next call is that call's own.
void StoreMissingBundleError();

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

 private:
  std::vector<Param> params_;
  testsupport::Var good_[4], outV_[5];
  int outI_[5];
};

}  // namespace export_table
