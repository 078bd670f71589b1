// What the road (tools/config/road.h) lets lumbrexctl send, as far as it does
// not hang on the calling thread's code page: the characters no name carries
// in a command (common/name_rules.h) and the callers' number rules, mirrored
// here from callers/number_rules.cpp (a Win32 library) in the same words.
#pragma once
#include <climits>

#include "common/name_rules.h"
#include "config_plan.h"

inline bool Accepted(lumbrexctl::config::Number rule, int64_t v) {
  using lumbrexctl::config::Number;
  switch (rule) {
    case Number::kBaudrate: return v >= 1 && v <= INT_MAX;
    case Number::kDataBits: return v >= 5 && v <= 8;
    case Number::kStopBits: return v >= 0 && v <= 2;
    case Number::kPortMask: return v >= 0 && v <= 3;
    case Number::kSharePermission: return v >= INT_MIN && v <= INT_MAX && (v == 0 || (v & 7) != 0);
    default: return true;  // the words' rules: no step sends them as numbers
  }
}

// Whether the road would send the step; apply sends nothing of a plan
// holding one it would not.
inline bool Sendable(const lumbrexctl::config::Step& step) {
  for (const std::string* name : {&step.bundle, &step.port})
    if (!name->empty() && lumbrex::NameTextProblem(*name, false) != nullptr) return false;
  if (!step.app.empty() && lumbrex::NameTextProblem(step.app, true) != nullptr) return false;
  for (const auto& number : lumbrexctl::config::NumbersOf(step))
    if (!Accepted(number.rule, number.value)) return false;
  return true;
}
