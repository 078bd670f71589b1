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
      {LUMBREX_U16("R"), LUMBREX_PORT_REAL},      {LUMBREX_U16("V"), LUMBREX_PORT_VIRTUAL},
      {LUMBREX_U16("SH"), LUMBREX_PORT_SHARED},   {LUMBREX_U16("SW"), LUMBREX_PORT_SWITCHER},
      {LUMBREX_U16("KO"), LUMBREX_PORT_VIRTUAL},
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
