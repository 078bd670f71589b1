#include "operation.h"

#include <lumbrex.h>

#include "api/raii.h"
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

// The library keeps its last-error code until a failure stores another, and
// a refused argument stores 13 over a held 13: with 13 held, a 13 after the
// call would say nothing about the call. This registry read stores another
// code and sends nothing: the bundle it names holds backslashes, so the key
// it reads would lie below a side key, which holds values only (2, as without
// the configuration root).
void ReplaceHeldRefusal() {
  lumbrex::UniqueVariant bundle, names;
  bundle->bstrVal = SysAllocString(L"-\\IN\\-");
  if (bundle->bstrVal == nullptr) return;
  bundle->vt = VT_BSTR;
  GetPortsNamesByBundleAndSide(*bundle.get(), 0, names.get());
}

}  // namespace

HRESULT RaiseError(HRESULT code, const std::wstring& description) {
  ComOwner<ICreateErrorInfo> create;
  if (SUCCEEDED(CreateErrorInfo(create.put()))) {
    create.get()->SetGUID(IID_NULL);
    create.get()->SetSource(const_cast<LPOLESTR>(kErrorSource));
    create.get()->SetDescription(const_cast<LPOLESTR>(description.c_str()));
    ComOwner<IErrorInfo> info;
    if (SUCCEEDED(create.get()->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(info.put()))))
      SetErrorInfo(0, info.get());
  }
  return code;
}

Operation::Operation(const wchar_t* name) : name_(name), before_(QKGetLastError()) {
  if (before_ == ERROR_INVALID_DATA) {
    ReplaceHeldRefusal();
    before_ = QKGetLastError();
  }
}

Operation::Operation(const wchar_t* name, const void* result) : Operation(name) {
  if (result == nullptr) refusal_ = RaiseError(E_POINTER, std::wstring(name_) + L" refused: the result pointer is null");
}

HRESULT Operation::Refuse(const std::wstring& why) {
  refusal_ = RaiseError(kRefusedInput, std::wstring(name_) + L" refused before anything was sent: " + why);
  return refusal_;
}

VARIANT Operation::Name(const VARIANT& value, const wchar_t* what, NameKind kind) {
  VARIANT v = Unwrapped(value);
  if (refused()) return v;
  std::wstring_view text;
  if (!TextOf(v, &text)) {
    // The library's own conversion (same call, flags and locale; a null
    // reference it refuses unread); what it cannot convert goes on as given,
    // for the library to refuse with its own code.
    if (kind != NameKind::kAnyValue || converted_->vt != VT_EMPTY) return v;
    if ((v.vt & VT_BYREF) != 0 && v.byref == nullptr) return v;
    if (VariantChangeType(converted_.get(), &v, 0, VT_BSTR) != S_OK || converted_->vt != VT_BSTR) {
      converted_.reset();
      return v;
    }
    v = *converted_.get();
    TextOf(v, &text);
  }
  const std::wstring problem = kind == NameKind::kApplication ? AppNameProblem(text) : NameProblem(text);
  if (!problem.empty()) Refuse(L"the " + std::wstring(what) + L" name \"" + std::wstring(text) + L"\" " + problem);
  return v;
}

VARIANT Operation::Value(const VARIANT& value) { return Unwrapped(value); }

VARIANT Operation::Integer(const VARIANT& value) { return IntegerArgument(value); }

int Operation::Whole(const VARIANT& value, const wchar_t* what) {
  int number = 0;
  if (!refused() && !WholeNumber(value, &number)) Refuse(std::wstring(what) + L" must be a whole number");
  return number;
}

HRESULT Operation::Answer(int result, VARIANT_BOOL* answer) const {
  if (!result && QKGetLastError() != before_) return Finish(result);
  *answer = result ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

HRESULT Operation::List(int result, lumbrex::UniqueVariant& list, VARIANT* out) const {
  const HRESULT hr = Finish(result, Failure::kStoresCode);
  return FAILED(hr) ? hr : ListResult(list, out);
}

std::wstring Operation::CodeReason(unsigned int code) const {
  const std::wstring number = L"error " + std::to_wstring(code);
  if (code == ERROR_INVALID_DATA) return L"the library refused an argument (" + number + L")";
  if (code == ERROR_FILE_NOT_FOUND && missing_ != nullptr)
    return std::wstring(missing_) + L" (" + CodeText(code) + L", " + number + L")";
  return CodeText(code) + L" (" + number + L")";
}

HRESULT Operation::Finish(int result, Failure failure) const {
  if (result) return S_OK;
  const unsigned int code = QKGetLastError();
  const std::wstring failed = std::wstring(name_) + L" failed: ";
  if (code != before_ || (failure == Failure::kStoresCode && code != 0))
    return RaiseError(HRESULT_FROM_WIN32(code), failed + CodeReason(code));
  // No code of this call: a held 13 was replaced before it (the constructor),
  // so an unchanged code is not a refused argument.
  switch (failure) {
    case Failure::kConnect:
      return RaiseError(kNoService, failed + L"the service's pipe could not be opened (is the service running?)");
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
