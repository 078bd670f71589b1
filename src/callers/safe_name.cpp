#include "callers/safe_name.h"

#include <windows.h>

namespace lumbrex {

std::wstring AppNameProblem(std::wstring_view name) {
  for (const wchar_t c : name)
    if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) return L"holds a control character";
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

std::wstring NameProblem(std::wstring_view name) {
  for (const wchar_t c : name) {
    if (c == L'!') return L"holds '!', which ends a command on the service's pipe";
    if (c == L',') return L"holds ',', which separates the fields of a command";
  }
  return AppNameProblem(name);
}

}  // namespace lumbrex
