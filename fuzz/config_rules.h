// The rules lumbrexctl applies to a document's names and numbers, without the
// calling thread's code page (which only Windows has): the characters that
// would end or split a command, control characters, and the library's ranges.
#pragma once
#include <climits>
#include <string>

#include "config_document.h"

inline lumbrexctl::config::DocumentRules PlainRules() {
  using lumbrexctl::config::Number;
  lumbrexctl::config::DocumentRules rules;
  const auto control = [](std::string_view name) {
    for (const unsigned char c : name)
      if (c < 0x20 || c == 0x7F) return true;
    return false;
  };
  rules.app = [control](std::string_view name) { return control(name) ? std::string("holds a control character") : ""; };
  rules.name = [control](std::string_view name) {
    if (name.find('!') != std::string_view::npos) return std::string("holds '!'");
    if (name.find(',') != std::string_view::npos) return std::string("holds ','");
    return control(name) ? std::string("holds a control character") : std::string();
  };
  rules.number = [](Number rule, int64_t v) -> std::string {
    switch (rule) {
      case Number::kBaud: return v >= 1 && v <= INT_MAX ? "" : "1 to 2147483647";
      case Number::kDataBits: return v >= 5 && v <= 8 ? "" : "5 to 8";
      case Number::kStopBits: return v >= 0 && v <= 2 ? "" : "0 to 2";
      case Number::kPortMask: return v >= 0 && v <= 3 ? "" : "0 to 3";
      case Number::kSharePermission:
        return v >= INT_MIN && v <= INT_MAX && (v == 0 || (v & 7) != 0) ? "" : "0 or a value with one of the bits 1, 2, 4";
    }
    return "";
  };
  return rules;
}
