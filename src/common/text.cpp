#include "common/text.h"

namespace lumbrex {

TextView UpToFirstNul(TextView text) {
  const auto nul = text.find(Char16(0));
  return nul == TextView::npos ? text : text.substr(0, nul);
}

Char16 AsciiLower(Char16 c) { return (c >= 'A' && c <= 'Z') ? Char16(c - 'A' + 'a') : c; }
Char16 AsciiUpper(Char16 c) { return (c >= 'a' && c <= 'z') ? Char16(c - 'a' + 'A') : c; }

Text AsciiLowered(TextView text) {
  Text out(text);
  for (auto& c : out) c = AsciiLower(c);
  return out;
}

Text AsciiUppered(TextView text) {
  Text out(text);
  for (auto& c : out) c = AsciiUpper(c);
  return out;
}

bool EqualsIgnoringAsciiCase(TextView a, TextView b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  return true;
}

bool StartsWithIgnoringAsciiCase(TextView text, TextView prefix) {
  return text.size() >= prefix.size() && EqualsIgnoringAsciiCase(text.substr(0, prefix.size()), prefix);
}

}  // namespace lumbrex
