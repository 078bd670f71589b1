// One method call of Lumbrex.Control: its inputs checked and unwrapped, the
// library called, and a failure turned into an automation error (IErrorInfo)
// that says which operation failed and why.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include <string>
#include <utility>

#include "api/raii.h"
#include "callers/call_outcome.h"
#include "callers/number_rules.h"
#include "call_turns.h"
#include "results.h"

namespace lumbrex_automation {

// Failures that store no last-error code in the library get codes of ours.
// The service refused a command, or it could not be sent (no connection, the
// link stayed busy beyond the command's wait).
constexpr HRESULT kNotDone = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0x0201);
// The service's pipe could not be opened.
constexpr HRESULT kNoService = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0x0202);
// The port has dynamic parameters, or its parameter entry cannot be read or parsed.
constexpr HRESULT kNoParameters = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0x0203);
// An input this object refuses before calling the library (an unsafe name,
// a name that is not text, a number outside its rule): the library's own code for a refused argument.
constexpr HRESULT kRefusedInput = HRESULT_FROM_WIN32(ERROR_INVALID_DATA);

// What the library's ERROR_FILE_NOT_FOUND (2) means for a method: the
// library passes on the code of the registry key or the driver device it
// could not open, which says nothing about what a script asked for.
constexpr const wchar_t* kNoSuchTarget = L"no such bundle, side or port";
constexpr const wchar_t* kNoDriver = L"the port-sharing driver is not loaded";
constexpr const wchar_t* kOptionNotStored = L"the option is not stored";
constexpr const wchar_t* kNoConfiguration = L"the service has stored no configuration yet";
constexpr const wchar_t* kNoSerialMap = L"the machine's serial-device map is missing (no serial port has been seen)";

// The error source every failure names.
constexpr const wchar_t* kErrorSource = L"Lumbrex.Control";

// How an export reports its failures.
enum class Failure {
  kStoresCode,     // every failing path stores a code (registry reads, driver queries)
  kCommand,        // refused arguments store 13; a refused or unsent command nothing
  kConnect,        // a logon failure stores its code; an unopened pipe nothing
  kParameters,     // refused arguments store 13; dynamic or unreadable entries nothing
};

// Raises an automation error: the thread's error object gets the
// description (its control characters written out, callers/printable.h) and
// source, and the HRESULT is returned for the method to pass on.
HRESULT RaiseError(HRESULT code, const std::wstring& description);

// What a name may hold beyond the command's own rules.
enum class NameKind {
  kBundleOrPort,  // sent unescaped: no '!' or ','
  kApplication,   // sent with "!", "," and "@" escaped
};

class Operation {
 public:
  explicit Operation(const wchar_t* name) : name_(name) {}
  // For a method with a result: a null result pointer (a caller through the
  // interface's table) is refused before anything is sent.
  Operation(const wchar_t* name, const void* result);

  // The inputs, unwrapped; after the first refused one the rest are not
  // looked at, and the export is not called.
  // A name checked as the service will read it: text, or a reference to
  // text, only. The library would turn anything else into some text itself
  // (Empty into "", True into "-1", an object into whatever its default
  // property gives at that moment), which nobody checked.
  VARIANT Name(const VARIANT& value, const wchar_t* what, NameKind kind = NameKind::kBundleOrPort);
  VARIANT Value(const VARIANT& value);                       // passed on as given
  int Whole(const VARIANT& value, const wchar_t* what);      // any whole number within 32 bits
  // A whole number within the argument's rule, refused in the rule's words
  // (lumbrexctl's too); IntegerVariant gives it as the VT_I4 the library
  // takes for an integer VARIANT argument.
  int Number(const VARIANT& value, const wchar_t* what, lumbrex::NumberArgument rule);
  VARIANT IntegerVariant(const VARIANT& value, const wchar_t* what, lumbrex::NumberArgument rule);
  // What a stored 2 means for this method (kNoSuchTarget, ...); without it
  // the description gives the system's text alone.
  void MissingMeans(const wchar_t* meaning) { missing_ = meaning; }
  bool refused() const { return FAILED(refusal_); }

  // Calls the export (unless an input was refused) and gives the method's
  // HRESULT: S_OK for a result of 1, else the error for the way it fails.
  // `reach`: whether the export may send a command (call_turns.h).
  template <typename Call>
  HRESULT Run(Call&& call, Failure failure = Failure::kCommand, Reach reach = Reach::kMaySend) {
    if (refused()) return refusal_;
    outcome_ = ObserveInTurn(reach, std::forward<Call>(call));
    return Finish(failure);
  }
  // A registry or driver read.
  template <typename Call>
  HRESULT Read(Call&& call, Failure failure = Failure::kStoresCode) {
    return Run(std::forward<Call>(call), failure, Reach::kSendsNothing);
  }
  // For exports whose 0 is an answer (no, not running): True or False, or
  // the error when the call stored a code or lost the connection.
  template <typename Call>
  HRESULT Ask(Call&& call, VARIANT_BOOL* answer, Reach reach = Reach::kMaySend) {
    if (refused()) return refusal_;
    outcome_ = ObserveInTurn(reach, std::forward<Call>(call));
    if (!outcome_.result && (outcome_.StoredCode() || outcome_.ConnectionLost())) return Finish(Failure::kCommand);
    *answer = outcome_.result ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  }
  // For reads that write a list into `list`: the list as the method's result.
  template <typename Call>
  HRESULT RunList(Call&& call, lumbrex::UniqueVariant& list, VARIANT* out) {
    const HRESULT hr = Read(std::forward<Call>(call));
    return FAILED(hr) ? hr : ListResult(list, out);
  }

 private:
  HRESULT Finish(Failure failure) const;
  HRESULT Refuse(const std::wstring& why);
  // The reason a stored code gives, in this system's words where it has them.
  std::wstring CodeReason(unsigned int code) const;

  const wchar_t* name_;
  HRESULT refusal_ = S_OK;
  const wchar_t* missing_ = nullptr;
  lumbrex::CallOutcome outcome_;
};

}  // namespace lumbrex_automation
