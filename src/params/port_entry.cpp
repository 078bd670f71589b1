#include "params/port_entry.h"

namespace lumbrex {

void SplitPortEntry(TextView entry, Text* parameterText, bool* highBit, bool* lowBit) {
  constexpr Char16 kBar = '|';
  // The whole entry lower-cased, so the parameter text is lower case.
  const Text lowered = AsciiLowered(entry);
  const TextView text(lowered);
  // Skip the run of "|" at the start, then the kind word and its "|".
  const size_t kindStart = text.find_first_not_of(kBar);
  TextView remainder;
  if (kindStart != TextView::npos) {
    const size_t kindEnd = text.find(kBar, kindStart);
    if (kindEnd != TextView::npos) remainder = text.substr(kindEnd + 1);
  }
  // No "|" after the parameter text: empty text, both bits set.
  const size_t i = remainder.find(kBar);
  if (i == TextView::npos) {
    parameterText->clear();
    *highBit = true;
    *lowBit = true;
    return;
  }
  // Only "1" as the first character of a flag field sets its bit.
  parameterText->assign(remainder.substr(0, i));
  *highBit = i + 1 < remainder.size() && remainder[i + 1] == '1';
  if (i + 1 < remainder.size()) {
    const size_t j = remainder.find(kBar, i + 1);  // an empty field 3 ends at i+1
    if (j != TextView::npos && j + 1 < remainder.size()) *lowBit = remainder[j + 1] == '1';
  }
}

}  // namespace lumbrex
