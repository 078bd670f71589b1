#include "logger.h"

#include <cstdio>
#include <cwchar>
#include <string>
#include <utility>

#include "callers/system_message.h"

namespace lumbrex::service {

void Logger::UseStdout() { out_ = GetStdHandle(STD_OUTPUT_HANDLE); }

DWORD Logger::UseFile(const std::wstring& path) {
  // Create the folders on the way (one level at a time; existing ones are fine).
  for (size_t slash = path.find_first_of(L"\\/", 3); slash != std::wstring::npos;
       slash = path.find_first_of(L"\\/", slash + 1))
    CreateDirectoryW(path.substr(0, slash).c_str(), nullptr);
  UniqueHandle file(CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return GetLastError();
  file_ = std::move(file);
  out_ = file_.get();
  return ERROR_SUCCESS;
}

void Logger::Line(const std::string& text) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  char stamp[40];
  std::snprintf(stamp, sizeof stamp, "%04u-%02u-%02u %02u:%02u:%02u.%03u ", now.wYear, now.wMonth, now.wDay,
                now.wHour, now.wMinute, now.wSecond, now.wMilliseconds);
  const std::string line = stamp + text + "\r\n";
  std::lock_guard<std::mutex> hold(lock_);
  if (out_ == INVALID_HANDLE_VALUE || out_ == nullptr) return;
  DWORD written = 0;
  WriteFile(out_, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

std::string ToUtf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                       nullptr);
  std::string out(size > 0 ? size : 0, '\0');
  if (size > 0)
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
  return out;
}

std::string DescribeError(DWORD code) {
  const std::wstring message = SystemMessage(code);
  std::string out = "error " + std::to_string(code);
  if (!message.empty()) out += " (" + ToUtf8(message) + ")";
  return out;
}

std::string Logger::Printable(const std::string& ansi) {
  constexpr size_t kShown = 200;
  const size_t shown = ansi.size() < kShown ? ansi.size() : kShown;
  std::wstring wide(shown, L'\0');
  const int size = shown == 0 ? 0
                              : MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(shown), wide.data(),
                                                    static_cast<int>(wide.size()));
  wide.resize(size > 0 ? size : 0);
  std::wstring printable;
  for (wchar_t c : wide) {
    if (c < 0x20 || c == 0x7F) {
      wchar_t escaped[8];
      std::swprintf(escaped, 8, L"\\x%02X", static_cast<unsigned>(c));
      printable += escaped;
    } else {
      printable.push_back(c);
    }
  }
  std::string out = ToUtf8(printable);
  if (shown < ansi.size()) out += "... (" + std::to_string(ansi.size()) + " bytes)";
  return out;
}

}  // namespace lumbrex::service
