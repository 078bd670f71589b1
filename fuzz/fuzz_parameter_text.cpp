// Part 4.1: ParsePortParameters on any text (against a restatement of its
// steps), FormatPortParameters -> lower case -> ParsePortParameters round trip
// for any five codes, ParseDecimalNumber against strtol and a modular
// reference, and the shape of BuildParameterField.
#include <cerrno>
#include <climits>
#include <string>

#include <fuzzer/FuzzedDataProvider.h>

#include "fuzz_common.h"
#include "params/parameter_text.h"

using lumbrex::Char16;
using lumbrex::Text;
using lumbrex::TextView;

namespace {

constexpr int32_t kUnset = INT32_MIN + 12345;  // a value no step writes here by chance

bool IsSpace(Char16 c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r'; }

// The number rule, value modulo 2^32 computed nine digits at a time.
int32_t ReferenceNumber(TextView t) {
  size_t i = 0;
  while (i < t.size() && IsSpace(t[i])) ++i;
  bool negative = false;
  if (i < t.size() && (t[i] == u'+' || t[i] == u'-')) negative = t[i++] == u'-';
  std::string digits;
  while (i < t.size() && t[i] >= u'0' && t[i] <= u'9') digits.push_back(char(t[i++]));
  uint64_t value = 0;
  for (size_t k = 0; k < digits.size(); k += 9) {
    const std::string chunk = digits.substr(k, 9);
    uint64_t scale = 1;
    for (size_t n = 0; n < chunk.size(); ++n) scale *= 10;
    value = (value * scale + std::stoull(chunk)) % (uint64_t(1) << 32);
  }
  if (negative) value = ((uint64_t(1) << 32) - value) % (uint64_t(1) << 32);
  return int32_t(uint32_t(value));
}

struct Parsed {
  bool ok;
  int32_t v[5];
};

// Steps 1 to 5 of ParsePortParameters, on a private copy cut at each ",".
Parsed ReferenceParse(Text t) {
  Parsed p{false, {kUnset, kUnset, kUnset, kUnset, kUnset}};
  auto next = [&t](Text* field) {
    const size_t comma = t.find(u',');
    if (t.empty() || comma == Text::npos) return false;
    *field = t.substr(0, comma);
    t.erase(0, comma + 1);
    return true;
  };
  Text field;
  if (!next(&field)) return p;
  p.v[0] = ReferenceNumber(field);
  if (!next(&field)) return p;
  const Text letters = u"NOESM";
  const int32_t codes[] = {0, 1, 2, 4, 3};
  if (field.size() == 1)
    for (int k = 0; k < 5; ++k)
      if (field[0] == letters[k] || field[0] == Char16(letters[k] + 32)) p.v[1] = codes[k];
  if (!next(&field)) return p;
  p.v[2] = ReferenceNumber(field);
  p.ok = true;
  const size_t comma = t.find(u',');
  if (comma == Text::npos) {
    p.v[3] = ReferenceNumber(t);
    return p;
  }
  p.v[3] = ReferenceNumber(t.substr(0, comma));
  const Text flow = t.substr(comma + 1);
  p.v[4] = (flow == u"x" || flow == u"X") ? 1 : (flow == u"p" || flow == u"P") ? 2 : 0;
  return p;
}

Parsed Parse(TextView t) {
  Parsed p{false, {kUnset, kUnset, kUnset, kUnset, kUnset}};
  p.ok = lumbrex::ParsePortParameters(t, &p.v[0], &p.v[1], &p.v[2], &p.v[3], &p.v[4]);
  return p;
}

bool Same(const Parsed& a, const Parsed& b) {
  for (int k = 0; k < 5; ++k)
    if (a.v[k] != b.v[k]) return false;
  return a.ok == b.ok;
}

void CheckNumber(const Text& t) {
  const int32_t got = lumbrex::ParseDecimalNumber(t);
  FUZZ_CHECK(got == ReferenceNumber(t));
  // Independent check with the C library while the value fits: the C
  // locale's strtol has the same white space, sign and digit rules.
  std::string narrow;
  for (Char16 c : t) narrow.push_back(c != 0 && c < 0x80 ? char(c) : 'x');
  size_t i = narrow.find_first_not_of(" \t\n\v\f\r");
  if (i == std::string::npos) i = narrow.size();
  if (i < narrow.size() && (narrow[i] == '+' || narrow[i] == '-')) ++i;
  size_t digits = 0;
  while (i + digits < narrow.size() && narrow[i + digits] >= '0' && narrow[i + digits] <= '9') ++digits;
  if (digits <= 9) FUZZ_CHECK(got == int32_t(std::strtol(narrow.c_str(), nullptr, 10)));
}

void CheckRoundTrip(FuzzedDataProvider& in) {
  const int32_t baud = in.ConsumeIntegral<int32_t>();
  const int32_t parity = in.ConsumeIntegralInRange<int32_t>(0, 4);
  const int32_t data = in.ConsumeIntegral<int32_t>();
  const int32_t stop = in.ConsumeIntegral<int32_t>();
  const int32_t flow = in.ConsumeIntegralInRange<int32_t>(0, 2);
  const Text text = lumbrex::FormatPortParameters(baud, parity, data, stop, flow);
  // The exact "%d,%c,%d,%d" plus ",X" or ",P".
  std::string expected = std::to_string(baud) + "," + "NOEMS"[parity] + "," + std::to_string(data) + "," +
                         std::to_string(stop) + (flow == 1 ? ",X" : flow == 2 ? ",P" : "");
  FUZZ_CHECK(text == Text(expected.begin(), expected.end()));
  const Parsed back = Parse(lumbrex::AsciiLowered(text));  // lowered as the reader does
  FUZZ_CHECK(back.ok && back.v[0] == baud && back.v[1] == parity && back.v[2] == data && back.v[3] == stop);
  FUZZ_CHECK(back.v[4] == (flow == 0 ? kUnset : flow));  // flow 0: the output stays unwritten
  lumbrex::RealPortParameters s{};
  FUZZ_CHECK(lumbrex::ParsePortParameters(text, &s) && lumbrex::FormatPortParameters(s) == text);
}

void CheckParameterField(const Text& t, bool high, bool low) {
  const Text field = lumbrex::BuildParameterField(t, high, low);
  FUZZ_CHECK(field.find(u',') == Text::npos);
  FUZZ_CHECK(field.size() == t.size() + 4);
  const Text tail = Text(u"|") + Char16(high ? u'1' : u'0') + u"|" + Char16(low ? u'1' : u'0');
  FUZZ_CHECK(field.compare(t.size(), 4, tail) == 0);
  for (size_t k = 0; k < t.size(); ++k) FUZZ_CHECK(field[k] == (t[k] == u',' ? Char16(u'-') : t[k]));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  const Text text = FuzzText(bytes, size);
  const Parsed got = Parse(text);
  FUZZ_CHECK(Same(got, ReferenceParse(text)));
  // Null outputs are never written and do not change the result.
  FUZZ_CHECK(lumbrex::ParsePortParameters(text, nullptr, nullptr, nullptr, nullptr, nullptr) == got.ok);
  CheckNumber(text);
  for (size_t start = text.find(u','); start != Text::npos; start = text.find(u',', start + 1))
    CheckNumber(text.substr(start + 1));
  CheckParameterField(text, size > 0 && (bytes[0] & 2), size > 0 && (bytes[0] & 4));
  FuzzedDataProvider in(bytes, size);
  CheckRoundTrip(in);
  return 0;
}
