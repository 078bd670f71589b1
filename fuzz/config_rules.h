// The rules lumbrexctl applies to a document's names and numbers: the
// characters no name may carry in a command (common/name_rules.h, as the tool
// does) and the library's ranges.
#pragma once
#include <climits>
#include <string>

#include "config_document.h"

inline lumbrexctl::config::DocumentRules PlainRules() {
  using lumbrexctl::config::Number;
  lumbrexctl::config::DocumentRules rules = lumbrexctl::config::NameRules();
  rules.number = [](Number rule, int64_t v) -> std::string {
    switch (rule) {
      case Number::kBaudrate: return v >= 1 && v <= INT_MAX ? "" : "1 to 2147483647";
      case Number::kDataBits: return v >= 5 && v <= 8 ? "" : "5 to 8";
      case Number::kStopBits: return v >= 0 && v <= 2 ? "" : "0 to 2";
      case Number::kPortMask: return v >= 0 && v <= 3 ? "" : "0 to 3";
      case Number::kSharePermission:
        return v >= INT_MIN && v <= INT_MAX && (v == 0 || (v & 7) != 0) ? "" : "0 or a value with one of the bits 1, 2, 4";
      default: return "";  // the words' rules: no document number takes them
    }
  };
  return rules;
}
