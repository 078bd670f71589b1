// Issue 9 point 3, driver side: the stand-in port-sharing driver (driver/,
// docs/driver.md) answers with broken records. SharedGetPortApplications
// (Part 5.2, with the walk bounds of docs/behaviour.md) must end each one with
// result 1, the records that can be read and nothing else, the last-error code
// unchanged, within a bounded time and without memory growth.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "export_table.h"
#include "lumbrex.h"
#include "sharing/answer_builder.h"
#include "sharing/standin_driver.h"
#include "support/test_pipe_server.h"
#include "support/variants.h"

using namespace sharingtest;
using namespace testsupport;

namespace {

// Leaves the last-error code at 13 (a refused port; no driver request).
void Prime13() {
  Var result;
  ASSERT_EQ(SharedGetPortApplications(I4(3), result.get()), 0);
  ASSERT_EQ(QKGetLastError(), 13u);
}

// Application names of the result rows (checks the shape of Part 5.2).
std::vector<std::wstring> Apps(const VARIANT& result) {
  std::vector<std::wstring> apps;
  if (result.vt != (VT_ARRAY | VT_VARIANT)) return apps;
  LONG lo = 0, hi = -1;
  SafeArrayGetLBound(result.parray, 1, &lo);
  SafeArrayGetUBound(result.parray, 1, &hi);
  for (LONG i = lo; i <= hi; ++i) {
    Var row;
    EXPECT_EQ(SafeArrayGetElement(result.parray, &i, row.get()), S_OK);
    LONG j = 0;
    Var cell;
    EXPECT_EQ(SafeArrayGetElement(row->parray, &j, cell.get()), S_OK);
    apps.push_back(TextOf(*cell));
  }
  return apps;
}

using Apps_ = std::vector<std::wstring>;

class Issue9_DriverFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::wstring why = EnsureStandinRunning();
    ASSERT_TRUE(why.empty()) << std::string(why.begin(), why.end());
    ASSERT_EQ(StandinReset(), 0u);
    Prime13();
  }
  void TearDown() override { StandinReset(); }

  // Queries COM3; expects result 1, code 13 kept, within 2 s.
  Apps_ Query() {
    Var port;
    *port = Bstr(L"COM3");
    Var result;
    int r = -1;
    const double ms = MeasureMs([&] { r = SharedGetPortApplications(port.copy(), result.get()); });
    EXPECT_EQ(r, 1);
    EXPECT_EQ(QKGetLastError(), 13u);
    EXPECT_LT(ms, 2000.0);
    if (result->vt != VT_EMPTY) {
      EXPECT_EQ(result->vt, VT_ARRAY | VT_VARIANT);
    }
    return Apps(*result);
  }
};

// Offsets in BuildAnswer's layout: a record's fixed part is 44 bytes, its
// port name follows at 44 and its application name after that.
constexpr size_t kPortNameOffset = 12, kAppNameOffset = 16;

}  // namespace

TEST_F(Issue9_DriverFaults, EntryLengthZeroEndsTheWalk) {
  std::vector<uint8_t> answer = BuildAnswer({{u"COM3", u"A"}, {u"COM3", u"B"}});
  PutU32(&answer, 0, 0);  // EntryLength 0 of the first record... and the list
  ASSERT_EQ(StandinSetAnswer(answer), 0u);
  // A first record with EntryLength 0 begins with a 32-bit 0: no record.
  EXPECT_EQ(Query(), Apps_{});
  answer = BuildAnswer({{u"COM3", u"A"}, {u"COM3", u"B"}, {u"COM3", u"C"}});
  PutU32(&answer, RecordStarts(answer)[1], 0);  // the second record's length
  ASSERT_EQ(StandinSetAnswer(answer), 0u);
  EXPECT_EQ(Query(), Apps_{L"A"});  // a 0 where a record begins ends the list
}

TEST_F(Issue9_DriverFaults, EntryLengthThatLoopsBackOrRunsPastTheEnd) {
  std::vector<uint8_t> answer = BuildAnswer({{u"COM3", u"A"}, {u"COM3", u"B"}}, false);
  PutU32(&answer, RecordStarts(answer)[1], 0xFFFFFFF0u);  // far past the end
  ASSERT_EQ(StandinSetAnswer(answer), 0u);
  EXPECT_EQ(Query(), (Apps_{L"A", L"B"}));
  answer = BuildAnswer({{u"COM3", u"A"}}, false);
  PutU32(&answer, 0, 1);  // leads into the middle of its own record
  ASSERT_EQ(StandinSetAnswer(answer), 0u);
  const Apps_ apps = Query();
  EXPECT_LE(apps.size(), 1u);
}

TEST_F(Issue9_DriverFaults, NameOffsetsPastTheBytesReturned) {
  std::vector<uint8_t> answer = BuildAnswer({{u"COM3", u"A"}, {u"COM3", u"B"}, {u"COM3", u"C"}});
  const std::vector<size_t> at = RecordStarts(answer);
  PutU32(&answer, at[0] + kPortNameOffset, 60000);  // port name outside
  PutU32(&answer, at[1] + kAppNameOffset, 0xFFFFFFFEu);  // application name outside
  ASSERT_EQ(StandinSetAnswer(answer), 0u);
  EXPECT_EQ(Query(), Apps_{L"C"});
}

TEST_F(Issue9_DriverFaults, NamesWithoutTerminatingZero) {
  // The last record's application name runs to the end of the bytes returned
  // with no 0 unit: unlisted. The first one is intact.
  std::vector<uint8_t> answer = BuildAnswer({{u"COM3", u"A"}, {u"COM3", u"LAST"}}, false);
  answer.resize(answer.size() - 2);  // drop the final 0 unit of "LAST"
  ASSERT_EQ(StandinSetAnswer(answer), 0u);
  EXPECT_EQ(Query(), Apps_{L"A"});
  // A port name without its 0 unit, filling the answer to the end.
  answer = BuildAnswer({{u"COM3", u"A"}}, false);
  PutU32(&answer, kPortNameOffset, static_cast<uint32_t>(answer.size()) - 2);
  answer.resize(answer.size() - 1);
  answer.push_back('X');  // the last unit is 'X' with no 0 after it
  ASSERT_EQ(StandinSetAnswer(answer), 0u);
  EXPECT_EQ(Query(), Apps_{});
}

// The driver always asks for a larger buffer: the doubling stops at its bound
// (1 MiB, eleven requests: docs/behaviour.md) with result 1 and VT_EMPTY, and
// the buffers are released.
TEST_F(Issue9_DriverFaults, AlwaysAsksForALargerBuffer) {
  ASSERT_EQ(StandinFailNext(1000000, static_cast<int32_t>(0xC0000023)), 0u);  // STATUS_BUFFER_TOO_SMALL
  Query();  // warm-up
  ASSERT_EQ(StandinReset(), 0u);
  ASSERT_EQ(StandinFailNext(1000000, static_cast<int32_t>(0xC0000023)), 0u);
  const SIZE_T bytes = reliability::PrivateBytes();
  const DWORD handles = reliability::HandleCount();
  EXPECT_EQ(Query(), Apps_{});
  StandinLog log{};
  ASSERT_EQ(StandinGetLog(&log), 0u);
  ASSERT_EQ(log.requests, 11u);
  EXPECT_EQ(log.entries[0].outputLength, 1024u);
  EXPECT_EQ(log.entries[10].outputLength, 1048576u);
  for (int i = 0; i < 20; ++i) Query();
  EXPECT_LT(reliability::PrivateBytes(), bytes + 1024 * 1024);
  EXPECT_LE(reliability::HandleCount(), handles + 2);
}

// The largest answer the stand-in can give (64 KiB) of records that all run
// into each other: bounded.
TEST_F(Issue9_DriverFaults, LargeAnswerOfOverlappingRecords) {
  std::vector<uint8_t> answer(65536, 0);
  for (size_t at = 0; at + 4 <= answer.size(); at += 4) PutU32(&answer, at, 2);  // EntryLength 2 everywhere
  ASSERT_EQ(StandinSetAnswer(answer), 0u);
  EXPECT_EQ(Query(), Apps_{});
}
