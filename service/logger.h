// One line per event, to stdout (foreground) or to a file (service mode).
#pragma once
#include <windows.h>

#include <mutex>
#include <string>

#include "api/raii.h"

namespace lumbrex::service {

class Logger {
 public:
  Logger() = default;
  Logger(const Logger&) = delete;
  Logger& operator=(const Logger&) = delete;

  // Writes to this process's standard output.
  void UseStdout();
  // Appends to the file, creating it and its folder when missing.
  DWORD UseFile(const std::wstring& path);

  // A line prefixed with the local time.
  void Line(const std::string& text);

  // A command as received, made printable: read in the ANSI code page and
  // written as UTF-8, control characters (below 0x20, and 0x7F) as \xNN; every
  // other byte shows as the code page reads it. Cut after 200 bytes, with the
  // full length noted.
  static std::string Printable(const std::string& ansi);

 private:
  std::mutex lock_;
  UniqueHandle file_;                  // the log file, when there is one
  HANDLE out_ = INVALID_HANDLE_VALUE;  // where lines go: file_, or the process's standard output (not ours)
};

std::string ToUtf8(const std::wstring& text);
// A Windows error code with the system's text for it, for the log and the
// console: "error 5 (Access is denied.)".
std::string DescribeError(DWORD code);

}  // namespace lumbrex::service
