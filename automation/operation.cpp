#include "operation.h"

#include <lumbrex.h>

#include "api/raii.h"
#include "callers/printable.h"
#include "callers/system_message.h"
#include "com_owner.h"
#include "inputs.h"
#include "results.h"

namespace lumbrex_automation {
namespace {

// The system's words for a Windows error code, without the closing period:
// they stand inside the description's sentence.
std::wstring CodeText(unsigned int code) {
  std::wstring text = lumbrex::SystemMessage(code);
  while (!text.empty() && (text.back() == L'.' || text.back() == L' ')) text.pop_back();
  return text.empty() ? L"Windows error" : text;
}

}  // namespace

HRESULT RaiseError(HRESULT code, const std::wstring& description) {
  ComOwner<ICreateErrorInfo> create;
  if (SUCCEEDED(CreateErrorInfo(create.put()))) {
    create.get()->SetGUID(IID_NULL);
    create.get()->SetSource(const_cast<LPOLESTR>(kErrorSource));
    // A name quoted in it may hold line breaks or NULs (a NUL would end the
    // description there).
    const std::wstring shown = lumbrex::Printable(description);
    create.get()->SetDescription(const_cast<LPOLESTR>(shown.c_str()));
    ComOwner<IErrorInfo> info;
    if (SUCCEEDED(create.get()->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(info.put()))))
      SetErrorInfo(0, info.get());
  }
  return code;
}

Operation::Operation(const wchar_t* name, const void* result) : Operation(name) {
  if (result == nullptr) refusal_ = RaiseError(E_POINTER, std::wstring(name_) + L" refused: the result pointer is null");
}

HRESULT Operation::Refuse(const std::wstring& why) {
  refusal_ = RaiseError(kRefusedInput, std::wstring(name_) + L" refused before anything was sent: " + why);
  return refusal_;
}

VARIANT Operation::Name(const VARIANT& value, const wchar_t* what, NameKind kind) {
  const VARIANT v = Unwrapped(value);
  if (refused()) return v;
  std::wstring_view text;
  if (!TextOf(v, &text)) {
    Refuse(L"the " + std::wstring(what) + L" name is " + Given(v) + L", not text");
    return v;
  }
  const std::wstring problem = kind == NameKind::kApplication ? AppNameProblem(text) : NameProblem(text);
  if (!problem.empty()) Refuse(L"the " + std::wstring(what) + L" name \"" + std::wstring(text) + L"\" " + problem);
  return v;
}

VARIANT Operation::Value(const VARIANT& value) { return Unwrapped(value); }

int Operation::Whole(const VARIANT& value, const wchar_t* what) {
  int64_t number = 0;
  if (!refused() && (!WholeNumber(value, &number) || number < INT32_MIN || number > INT32_MAX))
    Refuse(std::wstring(what) + L" is a whole number from -2147483648 to 2147483647, not " + Given(value));
  return refused() ? 0 : static_cast<int>(number);
}

int Operation::Number(const VARIANT& value, const wchar_t* what, lumbrex::NumberArgument rule) {
  int64_t number = 0;
  // Every rule lies within 32 bits signed, so what it accepts fits an int.
  if (!refused() && (!WholeNumber(value, &number) || !lumbrex::Accepts(rule, number)))
    Refuse(lumbrex::NumberRefusal(rule, what, Given(value)));
  return refused() ? 0 : static_cast<int>(number);
}

VARIANT Operation::IntegerVariant(const VARIANT& value, const wchar_t* what, lumbrex::NumberArgument rule) {
  return I4(Number(value, what, rule));
}

std::wstring Operation::CodeReason(unsigned int code) const {
  const std::wstring number = L"error " + std::to_wstring(code);
  if (code == ERROR_INVALID_DATA) return L"the library refused an argument (" + number + L")";
  if (code == ERROR_FILE_NOT_FOUND && missing_ != nullptr)
    return std::wstring(missing_) + L" (" + CodeText(code) + L", " + number + L")";
  return CodeText(code) + L" (" + number + L")";
}

HRESULT Operation::Finish(Failure failure) const {
  if (outcome_.result) return S_OK;
  const unsigned int code = outcome_.code;
  const std::wstring failed = std::wstring(name_) + L" failed: ";
  if (outcome_.StoredCode() || (failure == Failure::kStoresCode && code != 0))
    return RaiseError(HRESULT_FROM_WIN32(code), failed + CodeReason(code));
  // The library stores nothing when the pipe breaks under a command, and
  // LastError keeps its old code: the number is the pipe's own error.
  if (outcome_.ConnectionLost())
    return RaiseError(HRESULT_FROM_WIN32(outcome_.systemError),
                      failed + L"the connection to the service was lost (" + CodeText(outcome_.systemError) +
                          L"): the service ended or closed the pipe before it answered; connect again once it runs");
  // No code of this call: a held 13 was replaced before it (Observe), so an
  // unchanged code is not a refused argument.
  switch (failure) {
    case Failure::kConnect:
      return RaiseError(kNoService, failed + L"the service's pipe " + outcome_.PipeOpenFailure());
    case Failure::kParameters:
      return RaiseError(kNoParameters,
                        failed + L"the port has dynamic parameters, or its parameter entry cannot be read or parsed");
    default:
      return RaiseError(kNotDone, failed +
                                      L"the service refused the command, or it could not be sent "
                                      L"(no connection, or the link stayed busy)");
  }
}

}  // namespace lumbrex_automation
