// The walk over the port-sharing driver's answer, on hand-made answers (its
// bounds, against a reference walk, are fuzz/fuzz_record_walk.cpp's over its
// corpus), and the request loop that gets the answer, over scripted requests.
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

}  // namespace

TEST(RecordWalk, ListsTheApplicationsOfOnePort) {
  const Bytes known = BuildAnswer({{u"COM3", u"A", 0, 1, 2, 3}, {u"com3", u"B", 0, 4, 5, 6}, {u"COM4", u"C"}});
  const struct { const char* why; Bytes bytes; Text port; std::string listed; } cases[] = {
      {"ASCII case ignored, buffer order", known, u"Com3", "[A](1,2,3) [B](4,5,6)"},
      {"query name ends at its NUL", known, u"COM4\0X"s, "[C]"},
      {"only A-Z folded", BuildAnswer({{u"\u00C9COM", u"A"}}), u"\u00C9com", "[A]"},
      {"only A-Z folded", BuildAnswer({{u"\u00C9COM", u"A"}}), u"\u00E9com", ""},
      {"kind not 0, no application",
       BuildAnswer({{u"COM3", u"K", 1}, {u"COM3", u"N", 0, 0, 0, 0, true}, {u"COM3", u"OK"}}), u"COM3", "[OK]"},
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
