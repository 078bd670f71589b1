#include "callers/safe_name.h"

#include <windows.h>

#include "common/name_rules.h"

namespace lumbrex {
namespace {

std::wstring Problem(std::wstring_view name, bool application) {
  if (const char* problem = NameTextProblem(name, application)) return std::wstring(problem, problem + strlen(problem));
  if (name.empty()) return std::wstring();
  // The code page the library converts commands with: the calling thread's,
  // which follows its locale and may differ from the system's. Without best
  // fit: a letter the code page lacks must count as lost, not pass as some
  // look-alike that would name another bundle.
  BOOL usedDefault = FALSE;
  const int size = WideCharToMultiByte(CP_THREAD_ACP, WC_NO_BEST_FIT_CHARS, name.data(), static_cast<int>(name.size()),
                                       nullptr, 0, nullptr, &usedDefault);
  if (size <= 0 || usedDefault)
    return L"holds characters the ANSI code page in use cannot carry (the service would get a look-alike or '?' in their place)";
  return std::wstring();
}

}  // namespace

std::wstring AppNameProblem(std::wstring_view name) { return Problem(name, true); }
std::wstring NameProblem(std::wstring_view name) { return Problem(name, false); }

}  // namespace lumbrex
