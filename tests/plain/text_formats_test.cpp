// The text formats the library reads from the registry and writes into
// commands: numbers, parameter texts, parameter fields, port entries, port
// names, port kind words and serial device names. Each table is input ->
// expected.
#include <gtest/gtest.h>

#include <climits>

#include "api/port_name.h"
#include "config/layout_rules.h"
#include "params/parameter_text.h"
#include "params/port_entry.h"

using namespace lumbrex;
using testing::PrintToString;

constexpr int32_t U = -7777;  // "left unwritten": no parse writes this value here

// ASCII text as strtoll reads it, modulo 2^32, is fuzz/fuzz_parameter_text.cpp's
// model; here what its corpus may not reach: numbers past strtoll, and Unicode's
// spaces and digits, which do not count.
TEST(TextFormats, NumbersFollowStrToIntW) {
  const struct { Text text; int32_t value; } cases[] = {
      {u"\u00A05", 0}, {u"\uFF15", 0}, {u"9600\u0660", 9600}, {u"99999999999999999999", 1661992959},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseDecimalNumber(c.text), c.value) << PrintToString(c.text);
}

// Which outputs a parse writes matters: the caller's own variables keep their
// values for the fields the text does not reach.
TEST(TextFormats, ParameterTextParsesFieldByField) {
  const struct { Text text; bool ok; int32_t out[5]; } cases[] = {
      {u"115200,E,7,2,P", true, {115200, 2, 7, 2, 2}}, {u"9600,", false, {9600, U, U, U, U}},
      {u"9600,n", false, {9600, U, U, U, U}},          {u"9600,n,8", false, {9600, 0, U, U, U}},
      {u"9600,n,8,", true, {9600, 0, 8, 0, U}},        {u",,,", true, {0, U, 0, 0, U}},
      {u"abc,n,8,1", true, {0, 0, 8, 1, U}},           {u"0,n,12,7", true, {0, 0, 12, 7, U}},
      {u"1,M,8,1", true, {1, 3, 8, 1, U}},             {u"9600", false, {U, U, U, U, U}},
      // The parity field is exactly one letter of NOEMS, else left alone.
      {u"9600,q,8,1", true, {9600, U, 8, 1, U}},       {u"9600,nn,8,1", true, {9600, U, 8, 1, U}},
      {u"9600,,8,1", true, {9600, U, 8, 1, U}},        {u"9600, n,8,1", true, {9600, U, 8, 1, U}},
      // A fifth field writes the flow code: the whole rest is X or P, else 0.
      {u"9600,n,8,1,X", true, {9600, 0, 8, 1, 1}},     {u"9600,n,8,1,z", true, {9600, 0, 8, 1, 0}},
      {u"9600,n,8,1,xp", true, {9600, 0, 8, 1, 0}},    {u"9600,n,8,1,x,1", true, {9600, 0, 8, 1, 0}},
      {u"9600,n,8,1, x", true, {9600, 0, 8, 1, 0}},    {u"9600,n,8,1,", true, {9600, 0, 8, 1, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(PrintToString(c.text));
    int32_t out[5] = {U, U, U, U, U};
    EXPECT_EQ(ParsePortParameters(c.text, &out[0], &out[1], &out[2], &out[3], &out[4]), c.ok);
    for (int k = 0; k < 5; ++k) EXPECT_EQ(out[k], c.out[k]) << "output " << k;
  }
}

TEST(TextFormats, ParameterTextAndFieldAreFormatted) {
  // Codes in range are fuzz/fuzz_parameter_text.cpp's; here the ones outside.
  const struct { int32_t p[5]; Text text; } cases[] = {
      {{1, 3, 8, 1, 3}, u"1,M,8,1"}, {{1, 4, 8, 1, -1}, u"1,S,8,1"},
      {{INT32_MAX, 5, 8, 0, 0}, u"2147483647,?,8,0"}, {{0, -1, 0, 0, 0}, u"0,?,0,0"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatPortParameters(c.p[0], c.p[1], c.p[2], c.p[3], c.p[4]), c.text);
  // The parameter field travels inside a command, whose arguments "," separates.
  const struct { Text text; bool high, low; Text field; } fields[] = {
      {u"9600,N,8,0,X", true, false, u"9600-N-8-0-X|1|0"}, {u"9600,n,8,0", true, true, u"9600-n-8-0|1|1"},
      {u"", true, false, u"|1|0"}, {u"", false, true, u"|0|1"}, {u",,a", false, false, u"--a|0|0"},
  };
  for (const auto& c : fields) EXPECT_EQ(BuildParameterField(c.text, c.high, c.low), c.field);
}

TEST(TextFormats, PortEntrySplitsIntoParametersAndBits) {
  const struct { Text entry; bool presetLow; Text text; bool high, low; } cases[] = {
      {u"R|9600,N,8,0,X|1|0", false, u"9600,n,8,0,x", true, false},
      // No "|" after the parameter text: empty text, both bits set.
      {u"", false, u"", true, true},      {u"r", false, u"", true, true},     {u"r|", false, u"", true, true},
      {u"|||", false, u"", true, true},   {u"|||r", false, u"", true, true},  {u"r|9600,n,8,0", false, u"", true, true},
      {u"|r|9600,n,8,0|1|1", false, u"9600,n,8,0", true, true},
      {u"|||r|9600,n,8,0|0|1", false, u"9600,n,8,0", false, true},
      {u"r||1|1", false, u"", true, true},
      // A missing field 4 leaves the low bit as the caller preset it.
      {u"r|9600,n,8,0|", false, u"9600,n,8,0", false, false}, {u"r|9600,n,8,0|", true, u"9600,n,8,0", false, true},
      {u"r|9600,n,8,0|1", false, u"9600,n,8,0", true, false}, {u"r|9600,n,8,0|1", true, u"9600,n,8,0", true, true},
      {u"r|9600,n,8,0|1|", true, u"9600,n,8,0", true, true},
      // Only a "1" as a field's first character sets its bit.
      {u"r|9600,n,8,0|yes|1", false, u"9600,n,8,0", false, true}, {u"r|x||1", false, u"x", false, true},
      {u"r|9600,n,8,0|10|1x", false, u"9600,n,8,0", true, true}, {u"r|9,n|2|01", true, u"9,n", false, false},
      {u"r|9600,n,8,0|0|1|1|junk", false, u"9600,n,8,0", false, true},
      {u"R|9600,\u00C4,8,0|1|1", false, u"9600,\u00C4,8,0", true, true},  // only A-Z are lowered
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(PrintToString(c.entry) + (c.presetLow ? " low preset" : ""));
    Text text = u"stale";
    bool high = false, low = c.presetLow;
    SplitPortEntry(c.entry, &text, &high, &low);
    EXPECT_EQ(text, c.text);
    EXPECT_EQ(high, c.high);
    EXPECT_EQ(low, c.low);
  }
}

TEST(TextFormats, PortNamesAreOneTo33OfAtLettersDigitsUnderscore) {
  const struct { Text name; bool valid; } cases[] = {
      {u"COM1", true}, {u"@1", true}, {u"a_b", true}, {u"Z", true}, {u"_", true}, {u"0123456789", true},
      {Text(33, u'A'), true}, {Text(34, u'A'), false}, {u"", false},
      {u" COM1", false}, {u"COM1 ", false}, {u"COM-1", false}, {u"COM 1", false},
      {u"?", false}, {u"[", false}, {u"`", false}, {u"{", false}, {u"/", false}, {u":", false},
      {u"\u00C4", false}, {u"\u0141", false}, {Text(u"A\0B", 3), false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsValidPortName(c.name), c.valid) << PrintToString(c.name);
}

TEST(TextFormats, PortKindsAndDriverDevicesAreKnownByPrefix) {
  const struct { Text entry; int32_t type; } cases[] = {
      {u"Real|9600,n,8,0|1|0", LUMBREX_PORT_REAL}, {u"r", LUMBREX_PORT_REAL}, {u"Rx", LUMBREX_PORT_REAL},
      {u"Virtual", LUMBREX_PORT_VIRTUAL}, {u"v", LUMBREX_PORT_VIRTUAL},
      {u"Shared|x", LUMBREX_PORT_SHARED}, {u"sHaReD", LUMBREX_PORT_SHARED}, {u"SH", LUMBREX_PORT_SHARED},
      {u"Switcher|x", LUMBREX_PORT_SWITCHER}, {u"sw", LUMBREX_PORT_SWITCHER},
      {u"KOLM", LUMBREX_PORT_VIRTUAL}, {u"kolm", LUMBREX_PORT_VIRTUAL}, {u"Kobold", LUMBREX_PORT_VIRTUAL},
      {u"", kNoPortType}, {u"S", kNoPortType}, {u"Sx", kNoPortType}, {u"K", kNoPortType},
      {u"KL", kNoPortType}, {u" Real", kNoPortType}, {u"|Real", kNoPortType}, {u"XYZ", kNoPortType},
  };
  for (const auto& c : cases) EXPECT_EQ(PortTypeOfEntry(c.entry), c.type) << PrintToString(c.entry);
  // Serial devices of the two drivers are not real ports: known by prefix, any case.
  const struct { Text name; bool driver; } devices[] = {
      {u"\\Device\\Dunvale", true}, {u"\\Device\\Dunvale7", true}, {u"\\DEVICE\\DUNVALE1", true},
      {u"\\Device\\Marrowby0", true}, {u"\\device\\marrowbyX", true},
      {u"\\Device\\Dunval", false}, {u"\\Device\\Serial0", false}, {u"Device\\Dunvale0", false},
      {u" \\Device\\Dunvale0", false}, {u"", false},
  };
  for (const auto& c : devices) EXPECT_EQ(IsDriverDeviceName(c.name), c.driver) << PrintToString(c.name);
}
