#include "callers/safe_name.h"

#include <windows.h>

#include "common/name_rules.h"

namespace lumbrex {
namespace {

std::wstring Problem(std::wstring_view name, bool application) {
  // The library would send it as it is: ADD_BUNDLE with an empty field.
  if (name.empty()) return L"is empty; the service needs at least one character to name a bundle, port or application";
  if (const char* problem = NameTextProblem(name, application)) return std::wstring(problem, problem + strlen(problem));
  // The code page the library converts commands with: the calling thread's,
  // which follows its locale and may differ from the system's. Without best
  // fit: a letter the code page lacks must count as lost, not pass as some
  // look-alike that would name another bundle.
  const int length = static_cast<int>(name.size());
  BOOL usedDefault = FALSE;
  int size = WideCharToMultiByte(CP_THREAD_ACP, WC_NO_BEST_FIT_CHARS, name.data(), length, nullptr, 0, nullptr,
                                 &usedDefault);
  // Where the ANSI code page is UTF-8 (Windows' "Unicode UTF-8 for worldwide
  // language support"), Windows refuses those flags and the used-default
  // report: every character travels, and only half a surrogate pair fails.
  const DWORD refused = size <= 0 ? GetLastError() : ERROR_SUCCESS;
  if (refused == ERROR_INVALID_FLAGS || refused == ERROR_INVALID_PARAMETER)
    size = WideCharToMultiByte(CP_THREAD_ACP, WC_ERR_INVALID_CHARS, name.data(), length, nullptr, 0, nullptr, nullptr);
  if (size <= 0 || usedDefault)
    return L"holds characters the ANSI code page in use cannot carry (the service would get a look-alike or '?' in their place)";
  return std::wstring();
}

}  // namespace

std::wstring AppNameProblem(std::wstring_view name) { return Problem(name, true); }
std::wstring NameProblem(std::wstring_view name) { return Problem(name, false); }

}  // namespace lumbrex
