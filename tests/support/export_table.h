// Issue 9: the 38 exports of Part 1.1 as data, resolved by name with
// GetProcAddress from lumbrex.dll, so that sweeps, leak loops and the soak
// cover every export the DLL has (an export added later is covered as soon as
// it is in the .def file).
#pragma once
#include <windows.h>
#include <oleauto.h>

#include <string>
#include <vector>

namespace reliability {

// A parameter list as a string of kinds, in order:
//   V  VARIANT by value       S  side (int)       I  plain 32-bit integer
//   O  out-VARIANT pointer    U  out 32-bit integer pointer
struct ExportInfo {
  const char* name;
  const char* kinds;
  // What a null out-pointer gives (Part 1.1 and the family's Part):
  //   kMustBeValid: 0 with last error 13, nothing written;
  //   kMayBeNull:   1, nothing written (BundlePortGetPermissions, Part 4.3).
  enum NullOut { kNoOut, kMustBeValid, kMayBeNull } nullOut;
  // Extra last-error codes this export may store beyond the common set.
  enum Extra { kNone, kNetwork, kDevice } extra;
  bool command;  // sends a command (needs a connection to succeed)
};

// All 38, in the order of Part 1.1's table.
const std::vector<ExportInfo>& AllExports();

// The export's address in the loaded lumbrex.dll, or null if not exported.
FARPROC Resolve(const char* name);

// Arguments for one call; taken by kind in order (V from v[], S side,
// I from ints[], O and U from outs[]).
struct CallArgs {
  VARIANT v[4];
  int side = 0;
  int ints[5] = {0, 0, 0, 0, 0};
  void* outs[5] = {nullptr, nullptr, nullptr, nullptr, nullptr};
};

// Calls the export with the arguments (the VARIANTs are passed by value as
// a C caller does: bitwise copies).
int CallExport(FARPROC fn, const std::string& kinds, const CallArgs& args);

// Counts of each kind in a kinds string.
int CountKind(const std::string& kinds, char kind);

// The last-error codes Part 1.1 lets the library store (see
// docs/reliability.md): 0 (nothing stored yet), 13, the registry codes 2, 5,
// 234, 8 (out of memory, export_guard.h); plus the network codes for
// ConnectToRemoteService and the device-open codes for
// SharedGetPortApplications.
bool AllowedLastError(const ExportInfo& e, unsigned code);
std::string DescribeAllowed(const ExportInfo& e);

// Process figures (issue 9 point 4).
DWORD HandleCount();
SIZE_T PrivateBytes();
// Bytes in busy blocks of every heap of the process (HeapWalk): a byte-exact
// leak meter beside PrivateUsage, which moves in whole pages.
long long HeapBusyBytes();

}  // namespace reliability

namespace reliability {

// Good arguments for an export against SmallConfig (bundle B1, port COM1 or,
// for the sharing family, COM2; application app.exe; side 0; parameters
// 9600,N,8,0,none; option value 1), with out storage of its own. The
// VARIANTs are owned here and passed as bitwise copies.
class GoodCall {
 public:
  explicit GoodCall(const ExportInfo& e);
  ~GoodCall();
  GoodCall(const GoodCall&) = delete;
  GoodCall& operator=(const GoodCall&) = delete;
  // Fresh arguments: outs VT_EMPTY / -7777.
  CallArgs Args();
  // Frees what the export placed in the out-VARIANTs, as a caller does.
  void ClearOuts();
  VARIANT& OutVariant(int k) { return outV_[k]; }
  int OutInt(int k) const { return outI_[k]; }
  void SetText(int position, const wchar_t* text);

 private:
  const ExportInfo& e_;
  std::string kinds_;
  VARIANT good_[4];
  VARIANT outV_[5];
  int outI_[5];
};

}  // namespace reliability
