#include "config/layout_rules.h"

namespace lumbrex {

int32_t PortTypeOfEntry(TextView entry) {
  const Text upper = AsciiUppered(entry);
  const TextView text(upper);
  struct Test {
    const Char16* letters;
    int32_t type;
  };
  // This order, a later match winning; "KOLM" is recognised by its first two letters.
  static const Test kTests[] = {
      {LUMBREX_U16("R"), kPortTypeReal},      {LUMBREX_U16("V"), kPortTypeVirtual},
      {LUMBREX_U16("SH"), kPortTypeShared},   {LUMBREX_U16("SW"), kPortTypeSwitcher},
      {LUMBREX_U16("KO"), kPortTypeVirtual},
  };
  int32_t type = kNoPortType;
  for (const Test& test : kTests) {
    const TextView letters(test.letters);
    if (text.substr(0, letters.size()) == letters) type = test.type;
  }
  return type;
}

bool IsDriverDeviceName(TextView kernelName) {
  return StartsWithIgnoringAsciiCase(kernelName, LUMBREX_U16("\\Device\\Dunvale")) ||
         StartsWithIgnoringAsciiCase(kernelName, LUMBREX_U16("\\Device\\Marrowby"));
}

}  // namespace lumbrex
