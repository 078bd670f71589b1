#include "callers/system_message.h"

#include <iterator>

namespace lumbrex {

std::wstring SystemMessage(DWORD code) {
  // Into a buffer of our own: no system-allocated block to give back. The
  // system's longest messages are a few hundred characters.
  wchar_t buffer[2048];
  const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                      buffer, static_cast<DWORD>(std::size(buffer)), nullptr);
  std::wstring text(buffer, length);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) text.pop_back();
  return text;
}

}  // namespace lumbrex
