#include "console.h"

#include "callers/system_message.h"

namespace lumbrexctl {
namespace {

// A console gets UTF-16 (WriteConsoleW shows every character the console
// font has, whatever its code page); a file or a pipe gets UTF-8 bytes.
bool IsConsole(HANDLE h) {
  DWORD mode = 0;
  return GetConsoleMode(h, &mode) != 0;
}

HANDLE Stream(DWORD which) {
  HANDLE h = GetStdHandle(which);
  return h == INVALID_HANDLE_VALUE ? nullptr : h;
}

void WriteWide(HANDLE h, std::wstring_view text) {
  DWORD done = 0;
  if (IsConsole(h)) {
    WriteConsoleW(h, text.data(), static_cast<DWORD>(text.size()), &done, nullptr);
  } else {
    const std::string bytes = Utf8(text);
    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
  }
}

void WriteUtf8(HANDLE h, std::string_view text) {
  DWORD done = 0;
  if (IsConsole(h)) {
    const std::wstring wide = Wide(text);
    WriteConsoleW(h, wide.data(), static_cast<DWORD>(wide.size()), &done, nullptr);
  } else {
    WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &done, nullptr);
  }
}

}  // namespace

void Out(std::wstring_view text) {
  if (HANDLE h = Stream(STD_OUTPUT_HANDLE); h != nullptr && !text.empty()) WriteWide(h, text);
}
void Err(std::wstring_view text) {
  if (HANDLE h = Stream(STD_ERROR_HANDLE); h != nullptr && !text.empty()) WriteWide(h, text);
}
void OutUtf8(std::string_view text) {
  if (HANDLE h = Stream(STD_OUTPUT_HANDLE); h != nullptr && !text.empty()) WriteUtf8(h, text);
}
void ErrUtf8(std::string_view text) {
  if (HANDLE h = Stream(STD_ERROR_HANDLE); h != nullptr && !text.empty()) WriteUtf8(h, text);
}

// A lone surrogate (a name no UTF-8 can carry) becomes U+FFFD.
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

void Complain(std::wstring_view message) { Err(L"lumbrexctl: " + Printable(message) + L"\n"); }

std::wstring SystemMessage(DWORD code) {
  const std::wstring text = lumbrex::SystemMessage(code);
  return text.empty() ? L"unknown error" : text;
}

}  // namespace lumbrexctl
