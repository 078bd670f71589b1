// Part 3.1/3.2: PortTypeOfEntry and IsDriverDeviceName against restatements
// of their rules.
#include "config/layout_rules.h"
#include "fuzz_common.h"

using lumbrex::Char16;
using lumbrex::Text;

namespace {

Char16 Up(Char16 c) { return c >= u'a' && c <= u'z' ? Char16(c - 32) : c; }

int32_t ReferenceType(const Text& t) {
  const Char16 a = t.size() > 0 ? Up(t[0]) : 0, b = t.size() > 1 ? Up(t[1]) : 0;
  if (a == u'R') return 1;
  if (a == u'V') return 2;
  if (a == u'S' && b == u'H') return 4;
  if (a == u'S' && b == u'W') return 8;
  if (a == u'K' && b == u'O') return 2;
  return 0;
}

bool StartsWith(const Text& t, const Text& prefix) {
  if (t.size() < prefix.size()) return false;
  for (size_t k = 0; k < prefix.size(); ++k)
    if (Up(t[k]) != Up(prefix[k])) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const Text text = FuzzText(data, size);
  const int32_t type = lumbrex::PortTypeOfEntry(text);
  FUZZ_CHECK(type == ReferenceType(text));
  FUZZ_CHECK(type == 0 || type == 1 || type == 2 || type == 4 || type == 8);
  FUZZ_CHECK(lumbrex::PortTypeOfEntry(lumbrex::AsciiLowered(text)) == type);
  const bool driver = StartsWith(text, u"\\Device\\Dunvale") || StartsWith(text, u"\\Device\\Marrowby");
  FUZZ_CHECK(lumbrex::IsDriverDeviceName(text) == driver);
  FUZZ_CHECK(lumbrex::IsDriverDeviceName(lumbrex::AsciiUppered(text)) == driver);
  return 0;
}
