// The walk over the port-sharing driver's answer, on hand-made answers, and
// the request loop that gets the answer, over scripted requests.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "driver/control/answer_builder.h"
#include "sharing/record_walk.h"

using namespace lumbrex;
using namespace standin_driver;
using namespace std::string_literals;
using Bytes = std::vector<uint8_t>;

namespace {

// The listed rows as "[name]", with "(data0,data1,data2)" when any is not 0.
std::string Listed(const Bytes& bytes, const Text& port) {
  std::string out;
  for (const PortApplication& row : WalkPortApplicationRecords(bytes.data(), bytes.size(), port)) {
    out += out.empty() ? "[" : " [";
    for (Char16 c : row.name) out += c < 0x80 ? char(c) : '?';
    out += "]";
    if (row.data0 | row.data1 | row.data2)
      out += "(" + std::to_string(row.data0) + "," + std::to_string(row.data1) + "," + std::to_string(row.data2) + ")";
  }
  return out;
}

// `bytes` with 32-bit fields set: {byte offset, value}.
Bytes Set(Bytes bytes, std::initializer_list<std::pair<size_t, uint32_t>> fields) {
  for (const auto& [at, value] : fields) PutU32(&bytes, at, value);
  return bytes;
}

// The field at `offset` of the `record`-th record set to `value`.
Bytes Patched(const Bytes& bytes, size_t record, size_t offset, uint32_t value) {
  return Set(bytes, {{RecordStarts(bytes)[record] + offset, value}});
}

// A fixed part of `fixed` zero bytes with EntryLength and the two name
// offsets set, then `names` as UTF-16LE.
Bytes Raw(uint32_t length, uint32_t portAt, uint32_t appAt, const std::u16string& names, size_t fixed = 44) {
  Bytes bytes = Set(Bytes(fixed, 0), {{0, length}, {12, portAt}, {16, appAt}});
  for (char16_t c : names) bytes.insert(bytes.end(), {uint8_t(c), uint8_t(c >> 8)});
  return bytes;
}

Bytes Head(const Bytes& bytes, size_t count) { return Bytes(bytes.begin(), bytes.begin() + count); }

}  // namespace

TEST(RecordWalk, ListsTheApplicationsOfOnePortAndNeverReadsOutside) {
  const Bytes known = BuildAnswer({{u"COM3", u"A", 0, 1, 2, 3}, {u"com3", u"B", 0, 4, 5, 6}, {u"COM4", u"C"}});
  const Bytes three = BuildAnswer({{u"COM3", u"A"}, {u"COM3", u"B"}, {u"COM3", u"C"}});
  const Bytes two = BuildAnswer({{u"COM3", u"First"}, {u"COM3", u"ABCD"}}, false);  // no padding after ABCD
  Bytes zeroFirst(4, 0);
  zeroFirst.insert(zeroFirst.end(), known.begin(), known.end());
  const struct { const char* why; Bytes bytes; Text port; std::string listed; } cases[] = {
      {"ASCII case ignored, buffer order", known, u"Com3", "[A](1,2,3) [B](4,5,6)"},
      {"other port", known, u"COM4", "[C]"},
      {"empty port name", known, u"", ""},
      {"query name ends at its NUL", known, u"COM4\0X"s, "[C]"},
      {"names compared whole", BuildAnswer({{u"COM33", u"B"}}), u"COM3", ""},
      {"only A-Z folded", BuildAnswer({{u"\u00C9COM", u"A"}}), u"\u00C9com", "[A]"},
      {"only A-Z folded", BuildAnswer({{u"\u00C9COM", u"A"}}), u"\u00E9com", ""},
      {"full data range", BuildAnswer({{u"P", u"A", 0, 0xFFFFFFFF, 0x80000000, 0x12345678}}), u"P",
       "[A](4294967295,2147483648,305419896)"},
      {"kind not 0, no application",
       BuildAnswer({{u"COM3", u"K", 1}, {u"COM3", u"N", 0, 0, 0, 0, true}, {u"COM3", u"OK"}}), u"COM3", "[OK]"},
      {"empty application name", BuildAnswer({{u"COM3", u""}}), u"COM3", "[]"},
      {"zero before records", zeroFirst, u"COM3", ""},
      {"fewer than 4 bytes", Bytes{1, 0, 0}, u"COM3", ""},
      {"fixed part cut", Head(three, 43), u"COM3", ""},
      {"no final zero", BuildAnswer({{u"COM3", u"A"}, {u"COM3", u"B"}}, false), u"COM3", "[A] [B]"},
      {"EntryLength far past the end", Patched(three, 0, 0, 0xFFFFFFF0), u"COM3", "[A]"},
      {"EntryLength into the last 2 bytes", Patched(three, 0, 0, uint32_t(three.size() - 2)), u"COM3", "[A]"},
      {"EntryLength 0 inside the chain", Patched(three, 1, 0, 0), u"COM3", "[A]"},
      {"EntryLength 1 every step", Bytes(300, 1), u"COM3", ""},
      {"port name offset far away", Patched(three, 0, 12, 0xFFFFFFFF), u"COM3", "[B] [C]"},
      {"application at the very end", Patched(three, 1, 16, uint32_t(three.size() - RecordStarts(three)[1])),
       u"COM3", "[A] [C]"},
      {"application without its 0 unit", Head(two, two.size() - 2), u"COM3", "[First]"},
      {"application ends in half a unit", Head(two, two.size() - 3), u"COM3", "[First]"},
      {"port name without its 0 unit", Raw(60, 44, 44, u"COM3COM3"), u"COM3COM3", ""},
      {"odd name offsets", Raw(55, 45, 45, u"COM3\0"s, 45), u"COM3", "[COM3]"},
      {"names inside the fixed part", Raw(48, 44, 44, u"\0\0"s), u"", "[]"},
      // EntryLength 12, below the fixed part: two overlapping records, both listed.
      {"overlapping records", Set(Raw(12, 56, 66, u"COM3\0A\0"s, 56), {{24, 44}, {28, 54}, {32, 7}, {44, 9}}),
       u"COM3", "[A](7,0,0) [A](9,0,0)"},
  };
  for (const auto& c : cases) EXPECT_EQ(Listed(c.bytes, c.port), c.listed) << c.why;
  EXPECT_TRUE(WalkPortApplicationRecords(nullptr, 100, u"COM3").empty());
}

// Each request gets a fresh zero-filled buffer: 1024 bytes, doubled on 122
// (not counted) up to 1 MiB; any other failure waits 50 ms, and two end it.
TEST(RequestLoop, DoublesOnTooSmallAndGivesUpAfterTwoFailures) {
  std::vector<size_t> doubling;
  for (size_t size = 1024; size <= kMaxAnswerBufferSize; size *= 2) doubling.push_back(size);
  const struct { std::vector<uint32_t> errors; bool ok; std::vector<size_t> sizes; size_t waits; } cases[] = {
      {{}, true, {1024}, 0},
      {{122, 122}, true, {1024, 2048, 4096}, 0},
      {{31, 31}, false, {1024, 1024}, 2},
      {{234}, true, {1024, 1024}, 1},
      {{31, 122, 31}, false, {1024, 1024, 2048}, 2},
      {std::vector<uint32_t>(10, 122), true, doubling, 0},
      {std::vector<uint32_t>(100, 122), false, doubling, 0},  // the bound ends it without a wait
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.errors));
    std::vector<size_t> sizes;
    size_t waits = 0;
    Bytes answer;
    const auto request = [&](Bytes& buffer, size_t* returned) {
      EXPECT_EQ(std::count(buffer.begin(), buffer.end(), 0), std::ptrdiff_t(buffer.size()));
      sizes.push_back(buffer.size());
      std::fill(buffer.begin(), buffer.end(), 0xEE);  // must not reach the next request
      *returned = 5;
      return sizes.size() <= c.errors.size() ? c.errors[sizes.size() - 1] : 0u;
    };
    const auto wait = [&](unsigned ms) { waits += ms == 50; };
    EXPECT_EQ(RunAnswerRequests(request, wait, &answer), c.ok);
    EXPECT_EQ(sizes, c.sizes);
    EXPECT_EQ(waits, c.waits);
    EXPECT_EQ(answer, c.ok ? Bytes(5, 0xEE) : Bytes());
  }
  // A count of bytes beyond the buffer is cut to the buffer.
  Bytes answer;
  EXPECT_TRUE(RunAnswerRequests([](Bytes& b, size_t* n) { *n = b.size() + 100; return 0u; }, [](unsigned) {}, &answer));
  EXPECT_EQ(answer.size(), 1024u);
}
