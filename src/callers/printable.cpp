#include "callers/printable.h"

namespace lumbrex {

std::wstring Printable(std::wstring_view text) {
  static const wchar_t kHex[] = L"0123456789abcdef";
  std::wstring out;
  out.reserve(text.size());
  for (const wchar_t c : text) {
    if (c == L'\r') out += L"\\r";
    else if (c == L'\n') out += L"\\n";
    else if (c == L'\t') out += L"\\t";
    else if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) out += {L'\\', L'x', kHex[(c >> 4) & 0xF], kHex[c & 0xF]};
    else out += c;
  }
  return out;
}

}  // namespace lumbrex
