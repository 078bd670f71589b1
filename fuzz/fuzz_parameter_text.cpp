// Parameter texts: any text parses as far as its "," allow, with or without
// outputs; each number in it is C's strtoll modulo 2^32; any five codes
// format as printf writes them and, lowered as the registry reader lowers
// them, parse back. Input: the text as FuzzText; the five codes come from the input's end.
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <string>

#include <fuzzer/FuzzedDataProvider.h>

#include "fuzz_common.h"
#include "params/parameter_text.h"

using lumbrex::Text;

namespace {

constexpr int32_t kUnset = INT32_MIN + 12345;  // a value no parse writes here by chance

struct Parsed {
  bool ok = false;
  int32_t v[5] = {kUnset, kUnset, kUnset, kUnset, kUnset};
  bool operator==(const Parsed& o) const { return ok == o.ok && std::equal(v, v + 5, o.v); }
};

Parsed Parse(const Text& t) {
  Parsed p;
  p.ok = lumbrex::ParsePortParameters(t, &p.v[0], &p.v[1], &p.v[2], &p.v[3], &p.v[4]);
  return p;
}

std::string Narrow(const Text& t) {
  std::string out;
  for (auto c : t) out.push_back(c != 0 && c < 0x80 ? char(c) : 'x');
  return out;
}

void CheckNumber(const Text& t) {
  const std::string s = Narrow(t);
  size_t i = std::min(s.find_first_not_of(" \t\n\v\f\r"), s.size());
  i += i < s.size() && (s[i] == '+' || s[i] == '-');
  if (std::min(s.find_first_not_of("0123456789", i), s.size()) - i > 18) return;  // beyond strtoll
  FUZZ_CHECK(lumbrex::ParseDecimalNumber(t) == int32_t(uint32_t(uint64_t(std::strtoll(s.c_str(), nullptr, 10)))));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  const Text text = FuzzText(bytes, size);
  const Parsed got = Parse(text);
  // The result and the outputs written follow the count of ",".
  const auto commas = std::count(text.begin(), text.end(), u',');
  FUZZ_CHECK(got.ok == (commas >= 3) && (got.v[4] != kUnset) == (commas >= 4));
  FUZZ_CHECK(commas == 0 || got.v[0] == lumbrex::ParseDecimalNumber(text.substr(0, text.find(u','))));
  FUZZ_CHECK(lumbrex::ParsePortParameters(text, nullptr, nullptr, nullptr, nullptr, nullptr) == got.ok);
  CheckNumber(text);
  for (size_t at = text.find(u','); at != Text::npos; at = text.find(u',', at + 1)) CheckNumber(text.substr(at + 1));

  FuzzedDataProvider in(bytes, size);
  Parsed codes{true, {}};
  codes.v[0] = in.ConsumeIntegral<int32_t>();
  codes.v[1] = in.ConsumeIntegralInRange<int32_t>(0, 4);
  codes.v[2] = in.ConsumeIntegral<int32_t>();
  codes.v[3] = in.ConsumeIntegral<int32_t>();
  const int32_t flow = in.ConsumeIntegralInRange<int32_t>(0, 2);
  const Text formatted = lumbrex::FormatPortParameters(codes.v[0], codes.v[1], codes.v[2], codes.v[3], flow);
  char expected[64];
  std::snprintf(expected, sizeof expected, "%d,%c,%d,%d%s", codes.v[0], "NOEMS"[codes.v[1]], codes.v[2],
                codes.v[3], flow == 1 ? ",X" : flow == 2 ? ",P" : "");
  FUZZ_CHECK(formatted.size() == std::strlen(expected) && Narrow(formatted) == expected);
  codes.v[4] = flow == 0 ? kUnset : flow;  // no fifth field: the flow output stays unwritten
  FUZZ_CHECK(Parse(lumbrex::AsciiLowered(formatted)) == codes);
  return 0;
}
