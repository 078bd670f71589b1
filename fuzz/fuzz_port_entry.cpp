// Part 4.1 steps 5 to 9: SplitPortEntry on any text, against a restatement of
// the steps and against properties that hold whatever the text.
#include "fuzz_common.h"
#include "params/port_entry.h"

using lumbrex::Char16;
using lumbrex::Text;
using lumbrex::TextView;

namespace {

struct Split {
  Text text;
  bool high;
  bool low;
};

// The steps as the spec words them, index by index.
Split ReferenceSplit(const Text& entry, bool presetLow) {
  Text s;
  for (Char16 c : entry) s.push_back(c >= u'A' && c <= u'Z' ? Char16(c + 32) : c);  // step 5
  const Split defaults{Text(), true, true};                                          // step 9
  size_t p = 0;
  while (p < s.size() && s[p] == u'|') ++p;  // step 6: the run of "|"
  if (p == s.size()) return defaults;
  while (p < s.size() && s[p] != u'|') ++p;  // the kind word
  if (p == s.size()) return defaults;        // no "|" after it: empty remainder
  const Text rest = s.substr(p + 1);
  size_t i = 0;
  while (i < rest.size() && rest[i] != u'|') ++i;
  if (i == rest.size()) return defaults;  // step 7
  Split out{rest.substr(0, i), i + 1 < rest.size() && rest[i + 1] == u'1', presetLow};  // step 8
  if (i + 1 < rest.size()) {
    size_t j = i + 1;
    while (j < rest.size() && rest[j] != u'|') ++j;
    if (j < rest.size() && j + 1 < rest.size()) out.low = rest[j + 1] == u'1';
  }
  return out;
}

Split Run(TextView entry, bool presetLow) {
  Split out{Text(u"stale"), false, presetLow};  // outputs hold old values on entry
  lumbrex::SplitPortEntry(entry, &out.text, &out.high, &out.low);
  return out;
}

bool Same(const Split& a, const Split& b) { return a.text == b.text && a.high == b.high && a.low == b.low; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const Text entry = FuzzText(data, size);
  const bool presetLow = size > 0 && (data[0] & 2);
  const Split got = Run(entry, presetLow);
  FUZZ_CHECK(Same(got, ReferenceSplit(entry, presetLow)));

  // The parameter text is one field of the lowered entry: no "|", no capital.
  Text lowered = entry;
  for (auto& c : lowered) c = c >= u'A' && c <= u'Z' ? Char16(c + 32) : c;
  FUZZ_CHECK(got.text.find(u'|') == Text::npos);
  for (Char16 c : got.text) FUZZ_CHECK(!(c >= u'A' && c <= u'Z'));
  FUZZ_CHECK(lowered.find(got.text) != Text::npos);
  // Fewer than two "|" after the first non-"|" character: the defaults.
  const size_t first = lowered.find_first_not_of(u'|');
  size_t bars = 0;
  if (first != Text::npos)
    for (size_t k = first; k < lowered.size(); ++k) bars += lowered[k] == u'|';
  if (bars < 2) FUZZ_CHECK(got.text.empty() && got.high && got.low);
  // A bit is set only by a "1" in the entry; a text field is followed by "|".
  if (bars >= 2) {
    FUZZ_CHECK(lowered.find(got.text + u'|') != Text::npos);
    if (got.high || (got.low && !presetLow)) FUZZ_CHECK(lowered.find(u'1') != Text::npos);
  }

  // Metamorphic: case does not matter, a leading "|" does not matter, and the
  // preset low bit matters only when field 4 is missing.
  FUZZ_CHECK(Same(Run(lowered, presetLow), got));
  FUZZ_CHECK(Same(Run(u"|" + entry, presetLow), got));
  const Split other = Run(entry, !presetLow);
  FUZZ_CHECK(other.text == got.text && other.high == got.high);
  return 0;
}
