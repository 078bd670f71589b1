// What the report files share: the section being written, with its "GOAL|"
// lines, and numbers and durations as the report prints them.
#pragma once
#include <cstdarg>
#include <cstdio>
#include <string>

namespace bench {

// The section being written.
class Section {
 public:
  void Out(const char* format, ...) {
    char buffer[4096];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    text_ += buffer;
  }
  void Goal(const std::string& what, const std::string& measured, const std::string& target, bool met,
            const std::string& why) {
    Out("GOAL|%s|%s|%s|%s|%s\n", what.c_str(), measured.c_str(), target.c_str(), met ? "met" : "**missed**",
        why.c_str());
  }
  const std::string& Text() const { return text_; }

 private:
  std::string text_;
};

// A duration in seconds as text with a fitting unit.
inline std::string Duration(double seconds) {
  char text[64];
  const double size = seconds < 0 ? -seconds : seconds;  // a difference may be negative
  if (size < 1e-3)
    std::snprintf(text, sizeof text, "%.1f µs", seconds * 1e6);
  else if (size < 1.0)
    std::snprintf(text, sizeof text, "%.2f ms", seconds * 1e3);
  else
    std::snprintf(text, sizeof text, "%.2f s", seconds);
  return text;
}

inline std::string Number(double value, const char* format = "%.2f") {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

inline std::string Grouped(long long n) {
  std::string digits = std::to_string(n), text;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) text += ',';
    text += digits[i];
  }
  return text;
}

}  // namespace bench
