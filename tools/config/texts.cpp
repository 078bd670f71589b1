#include "texts.h"

#include "callers/system_message.h"

namespace lumbrexctl {

std::string Utf8(std::wstring_view text) {
  if (text.empty()) return {};
  const int length = static_cast<int>(text.size());
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return {};
  std::string bytes(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), length, bytes.data(), size, nullptr, nullptr);
  return bytes;
}

std::wstring Wide(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int length = static_cast<int>(utf8.size());
  const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0);
  if (size <= 0) return {};
  std::wstring text(static_cast<size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, text.data(), size);
  return text;
}

std::wstring SystemMessage(DWORD code) {
  const std::wstring text = lumbrex::SystemMessage(code);
  return text.empty() ? L"unknown error" : text;
}

std::wstring ErrorText(DWORD code) { return L"error " + Num(code) + L": " + SystemMessage(code); }
std::wstring CodeText(DWORD code) { return L"code " + Num(code) + L": " + SystemMessage(code); }

bool ParseNumber(std::wstring_view word, long long* value) {
  size_t at = 0;
  bool negative = false;
  if (!word.empty() && (word[0] == L'-' || word[0] == L'+')) {
    negative = word[0] == L'-';
    at = 1;
  }
  int base = 10;
  if (word.size() > at + 2 && word[at] == L'0' && (word[at + 1] == L'x' || word[at + 1] == L'X')) {
    base = 16;
    at += 2;
  }
  if (at >= word.size()) return false;
  long long result = 0;
  for (; at < word.size(); ++at) {
    const wchar_t c = word[at];
    int digit;
    if (c >= L'0' && c <= L'9') digit = c - L'0';
    else if (base == 16 && c >= L'a' && c <= L'f') digit = c - L'a' + 10;
    else if (base == 16 && c >= L'A' && c <= L'F') digit = c - L'A' + 10;
    else return false;
    result = result * base + digit;
    if (result > 0xFFFFFFFFLL) return false;
  }
  if (negative) result = -result;
  if (result < -2147483648LL) return false;
  *value = result;
  return true;
}

}  // namespace lumbrexctl
