// One method call of Lumbrex.Control: its inputs checked and unwrapped, the
// library called, and a failure turned into an automation error (IErrorInfo)
// that says which operation failed and why.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include <mutex>
#include <string>
#include <utility>

#include "api/raii.h"
#include "callers/call_outcome.h"
#include "callers/number_rules.h"
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
// a number that is not whole): the library's own code for a refused argument.
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
// description and source, and the HRESULT is returned for the method to pass on.
HRESULT RaiseError(HRESULT code, const std::wstring& description);

// How the library takes a name.
enum class NameKind {
  kString,       // a string only: anything else it refuses
  kAnyValue,     // any VARIANT, turned into text (AddBundle, DeleteBundle, GetBundleState)
  kApplication,  // a string only, sent with "!", "," and "@" escaped
};

class Operation {
 public:
  explicit Operation(const wchar_t* name) : name_(name) {}
  // For a method with a result: a null result pointer (a caller through the
  // interface's table) is refused before anything is sent.
  Operation(const wchar_t* name, const void* result);

  // The inputs, unwrapped; after the first refused one the rest are not
  // looked at, and the export is not called.
  // A name checked as the service will read it. One the library turns into
  // text is turned into text here, once, and comes back as that text (held
  // by this object until it ends), so the text checked is the text sent.
  VARIANT Name(const VARIANT& value, const wchar_t* what, NameKind kind = NameKind::kString);
  VARIANT Value(const VARIANT& value);                       // passed on as given
  int Whole(const VARIANT& value, const wchar_t* what);      // any whole number within 32 bits
  // A whole number within the argument's rule; IntegerVariant gives it as
  // the VT_I4 the library takes for an integer VARIANT argument.
  int Number(const VARIANT& value, const wchar_t* what, lumbrex::NumberArgument rule);
  VARIANT IntegerVariant(const VARIANT& value, const wchar_t* what, lumbrex::NumberArgument rule);
  // What a stored 2 means for this method (kNoSuchTarget, ...); without it
  // the description gives the system's text alone.
  void MissingMeans(const wchar_t* meaning) { missing_ = meaning; }
  bool refused() const { return FAILED(refusal_); }

  // Calls the export (unless an input was refused) and gives the method's
  // HRESULT: S_OK for a result of 1, else the error for the way it fails.
  template <typename Call>
  HRESULT Run(Call&& call, Failure failure = Failure::kCommand) {
    if (refused()) return refusal_;
    Observe(std::forward<Call>(call));
    return Finish(failure);
  }
  // For exports whose 0 is an answer (no, not running): True or False, or
  // the error when the call stored a code or lost the connection.
  template <typename Call>
  HRESULT Ask(Call&& call, VARIANT_BOOL* answer) {
    if (refused()) return refusal_;
    Observe(std::forward<Call>(call));
    if (!outcome_.result && (outcome_.StoredCode() || outcome_.ConnectionLost())) return Finish(Failure::kCommand);
    *answer = outcome_.result ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  }
  // For exports that write a list into `list`: the list as the method's result.
  template <typename Call>
  HRESULT RunList(Call&& call, lumbrex::UniqueVariant& list, VARIANT* out) {
    const HRESULT hr = Run(std::forward<Call>(call), Failure::kStoresCode);
    return FAILED(hr) ? hr : ListResult(list, out);
  }

 private:
  // The library's last-error code is one value for the process: two calls
  // at once would each read the other's code as their own. The calls of all
  // objects in the process take turns, a command waiting for the service's
  // reply included.
  template <typename Call>
  void Observe(Call&& call) {
    std::lock_guard<std::mutex> turn(CallTurn());
    outcome_ = lumbrex::Observe(std::forward<Call>(call));
  }
  static std::mutex& CallTurn();
  HRESULT Finish(Failure failure) const;
  HRESULT Refuse(const std::wstring& why);
  // The reason a stored code gives, in this system's words where it has them.
  std::wstring CodeReason(unsigned int code) const;

  const wchar_t* name_;
  HRESULT refusal_ = S_OK;
  const wchar_t* missing_ = nullptr;
  lumbrex::CallOutcome outcome_;
  lumbrex::UniqueVariant converted_;  // a name turned into text, passed on by value
};

}  // namespace lumbrex_automation
