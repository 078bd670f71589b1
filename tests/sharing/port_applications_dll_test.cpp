// Part 5.2: SharedGetPortApplications through the real lumbrex.dll against the
// stand-in port-sharing driver (driver/, loaded as a Wine kernel service).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lumbrex.h"
#include "sharing/answer_builder.h"
#include "sharing/standin_driver.h"
#include "support/variants.h"

using namespace sharingtest;
using namespace testsupport;

namespace {

struct Row {
  std::wstring name;
  LONG data[3];  // elements 1..3: Data0, Data2, Data1
};

// Reads the two-level result, checking every shape rule of Part 5.2.
std::vector<Row> Rows(const VARIANT& result) {
  std::vector<Row> rows;
  EXPECT_EQ(result.vt, VT_ARRAY | VT_VARIANT);
  if (result.vt != (VT_ARRAY | VT_VARIANT)) return rows;
  SAFEARRAY* outer = result.parray;
  EXPECT_EQ(SafeArrayGetDim(outer), 1u);
  EXPECT_EQ(outer->cLocks, 0u);
  LONG lower = -1, upper = -2;
  SafeArrayGetLBound(outer, 1, &lower);
  SafeArrayGetUBound(outer, 1, &upper);
  EXPECT_EQ(lower, 0);
  for (LONG i = lower; i <= upper; ++i) {
    Var element;
    EXPECT_EQ(SafeArrayGetElement(outer, &i, element.get()), S_OK);
    EXPECT_EQ(element->vt, VT_ARRAY | VT_VARIANT);
    if (element->vt != (VT_ARRAY | VT_VARIANT)) continue;
    SAFEARRAY* inner = element->parray;
    LONG il = -1, iu = -2;
    SafeArrayGetLBound(inner, 1, &il);
    SafeArrayGetUBound(inner, 1, &iu);
    EXPECT_EQ(SafeArrayGetDim(inner), 1u);
    EXPECT_EQ(il, 0);
    EXPECT_EQ(iu, 3);
    Row row{};
    for (LONG j = 0; j <= 3 && j <= iu; ++j) {
      Var cell;
      EXPECT_EQ(SafeArrayGetElement(inner, &j, cell.get()), S_OK);
      if (j == 0) {
        EXPECT_EQ(cell->vt, VT_BSTR);
        if (cell->vt == VT_BSTR) row.name = TextOf(*cell);
      } else {
        EXPECT_EQ(cell->vt, VT_I4);
        row.data[j - 1] = cell->lVal;
      }
    }
    rows.push_back(row);
  }
  return rows;
}

std::vector<std::wstring> NamesOf(const std::vector<Row>& rows) {
  std::vector<std::wstring> names;
  for (const auto& r : rows) names.push_back(r.name);
  return names;
}

using Names = std::vector<std::wstring>;

// A VARIANT holding an array of one string, as a caller's earlier result.
void FillWithArray(VARIANT* v) {
  SAFEARRAYBOUND bound{1, 0};
  SAFEARRAY* a = SafeArrayCreate(VT_BSTR, 1, &bound);
  LONG i = 0;
  BSTR s = SysAllocString(L"old");
  SafeArrayPutElement(a, &i, s);
  SysFreeString(s);
  v->vt = VT_ARRAY | VT_BSTR;
  v->parray = a;
}

StandinLog Log() {
  StandinLog log{};
  EXPECT_EQ(StandinGetLog(&log), 0u);
  return log;
}

// Calls the export with a port string, as a C caller passes a VARIANT.
int Query(const std::wstring& port, VARIANT* result) {
  Var arg;
  *arg = Bstr(port);
  return SharedGetPortApplications(arg.copy(), result);
}

// Leaves the last-error code at 13 through a refused call (no driver request).
void SetLastErrorTo13() {
  Var result;
  ASSERT_EQ(SharedGetPortApplications(I4(3), result.get()), 0);
  ASSERT_EQ(QKGetLastError(), 13u);
}

class Part5_2_SharedGetPortApplications : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::wstring why = EnsureStandinRunning();
    ASSERT_TRUE(why.empty()) << std::string(why.begin(), why.end());
    ASSERT_EQ(StandinReset(), 0u);
  }
  void TearDown() override { StandinReset(); }
};

}  // namespace

TEST_F(Part5_2_SharedGetPortApplications, PortOfTypeI4IsRefusedAndTheResultEmptied) {
  Var result;
  FillWithArray(result.get());
  EXPECT_EQ(SharedGetPortApplications(I4(3), result.get()), 0);
  EXPECT_EQ(QKGetLastError(), 13u);
  EXPECT_EQ(result->vt, VT_EMPTY);
  EXPECT_EQ(Log().requests, 0u) << "nothing is sent for a refused argument";
}

TEST_F(Part5_2_SharedGetPortApplications, NullResultPointerIsRefusedWith13) {
  EXPECT_EQ(SharedGetPortApplications(NullBstr(), nullptr), 0);
  EXPECT_EQ(QKGetLastError(), 13u);
  EXPECT_EQ(Log().requests, 0u);
}

TEST_F(Part5_2_SharedGetPortApplications, SendsInputOneWithA1024ByteBuffer) {
  SetLastErrorTo13();
  Var result;
  EXPECT_EQ(Query(L"COM3", result.get()), 1);
  const StandinLog log = Log();
  ASSERT_EQ(log.requests, 1u);
  EXPECT_EQ(log.entries[0].outputLength, 1024u);
  EXPECT_EQ(log.entries[0].inputLength, 4u);
  EXPECT_EQ(log.entries[0].inputValue, 1u);
  EXPECT_EQ(QKGetLastError(), 13u) << "success stores nothing";
}

TEST_F(Part5_2_SharedGetPortApplications, AnswerBeginningWithZeroGivesTrueAndEmpty) {
  std::vector<uint8_t> answer = BuildAnswer({{u"COM3", u"A"}});
  answer.insert(answer.begin(), 4, 0);  // a 32-bit 0 first: the records after it are not read
  ASSERT_EQ(StandinSetAnswer(answer), 0u);
  SetLastErrorTo13();
  Var result;
  FillWithArray(result.get());
  EXPECT_EQ(Query(L"COM3", result.get()), 1);
  EXPECT_EQ(result->vt, VT_EMPTY);
  EXPECT_EQ(QKGetLastError(), 13u) << "unchanged";
}

TEST_F(Part5_2_SharedGetPortApplications, EmptyAnswerGivesTrueAndEmpty) {
  ASSERT_EQ(StandinSetAnswer({}), 0u);
  Var result;
  EXPECT_EQ(Query(L"COM3", result.get()), 1);
  EXPECT_EQ(result->vt, VT_EMPTY);
}

TEST_F(Part5_2_SharedGetPortApplications, PortNamesMatchIgnoringCaseInAnswerOrder) {
  ASSERT_EQ(StandinSetAnswer(BuildAnswer({{u"COM3", u"A"}, {u"com3", u"B"}, {u"COM4", u"C"}})), 0u);
  Var result;
  EXPECT_EQ(Query(L"Com3", result.get()), 1);
  EXPECT_EQ(NamesOf(Rows(*result)), (Names{L"A", L"B"}));
}

TEST_F(Part5_2_SharedGetPortApplications, ByReferencePortIsAccepted) {
  ASSERT_EQ(StandinSetAnswer(BuildAnswer({{u"COM4", u"C"}})), 0u);
  BSTR port = SysAllocString(L"com4");
  Var result;
  EXPECT_EQ(SharedGetPortApplications(ByRefBstr(&port), result.get()), 1);
  EXPECT_EQ(NamesOf(Rows(*result)), (Names{L"C"}));
  SysFreeString(port);
}

TEST_F(Part5_2_SharedGetPortApplications, EntryKindOneOrNoAppNameIsNotListed) {
  RecordSpec kind1{u"COM3", u"Kind1"};
  kind1.kind = 1;
  RecordSpec noApp{u"COM3", u"NoApp"};
  noApp.noApp = true;
  ASSERT_EQ(StandinSetAnswer(BuildAnswer({kind1, noApp})), 0u);
  Var result;
  EXPECT_EQ(Query(L"COM3", result.get()), 1);
  EXPECT_EQ(result->vt, VT_EMPTY);

  ASSERT_EQ(StandinSetAnswer(BuildAnswer({kind1, {u"COM3", u"Listed"}, noApp})), 0u);
  EXPECT_EQ(Query(L"COM3", result.get()), 1);
  EXPECT_EQ(NamesOf(Rows(*result)), (Names{L"Listed"}));
}

TEST_F(Part5_2_SharedGetPortApplications, RowHoldsNameData0Data2Data1) {
  RecordSpec r{u"COM3", u"term.exe"};
  r.data0 = 10;
  r.data1 = 11;
  r.data2 = 12;
  RecordSpec negative{u"COM3", u"big.exe"};
  negative.data0 = 0xFFFFFFFF;  // VT_I4: -1
  ASSERT_EQ(StandinSetAnswer(BuildAnswer({r, negative})), 0u);
  Var result;
  EXPECT_EQ(Query(L"COM3", result.get()), 1);
  const auto rows = Rows(*result);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].name, L"term.exe");
  EXPECT_EQ(rows[0].data[0], 10);
  EXPECT_EQ(rows[0].data[1], 12);
  EXPECT_EQ(rows[0].data[2], 11);
  EXPECT_EQ(rows[1].data[0], -1);
}

TEST_F(Part5_2_SharedGetPortApplications, PortNamesComparedWhole) {
  ASSERT_EQ(StandinSetAnswer(BuildAnswer({{u"COM3", u"A"}})), 0u);
  Var result;
  EXPECT_EQ(Query(L"COM33", result.get()), 1);
  EXPECT_EQ(result->vt, VT_EMPTY);
  ASSERT_EQ(StandinSetAnswer(BuildAnswer({{u"COM33", u"B"}})), 0u);
  EXPECT_EQ(Query(L"COM3", result.get()), 1);
  EXPECT_EQ(result->vt, VT_EMPTY);
}

TEST_F(Part5_2_SharedGetPortApplications, InsufficientBufferOnceThenTheSecondRequestUses2048Bytes) {
  // An answer of 1024 < n <= 2048 bytes whose listed record lies past 1024.
  std::vector<RecordSpec> records;
  for (int i = 0; i < 12; ++i) records.push_back({u"COM9", u"filler-application-" + std::u16string(10, u'x')});
  records.push_back({u"COM3", u"Late"});
  const auto answer = BuildAnswer(records);
  ASSERT_GT(answer.size(), 1024u);
  ASSERT_LE(answer.size(), 2048u);
  ASSERT_GT(RecordStarts(answer).back(), 1024u);
  ASSERT_EQ(StandinSetAnswer(answer), 0u);
  Var result;
  EXPECT_EQ(Query(L"COM3", result.get()), 1);
  EXPECT_EQ(NamesOf(Rows(*result)), (Names{L"Late"}));
  const StandinLog log = Log();
  ASSERT_EQ(log.requests, 2u);
  EXPECT_EQ(log.entries[0].outputLength, 1024u);
  EXPECT_EQ(log.entries[0].status, STANDIN_STATUS_BUFFER_TOO_SMALL);
  EXPECT_EQ(log.entries[1].outputLength, 2048u);
  EXPECT_EQ(log.entries[1].status, 0);
  EXPECT_EQ(log.entries[1].returned, answer.size());
}

TEST_F(Part5_2_SharedGetPortApplications, PlannedInsufficientBufferOnceThen2048) {
  ASSERT_EQ(StandinSetAnswer(BuildAnswer({{u"COM3", u"A"}})), 0u);
  ASSERT_EQ(StandinFailNext(1, STANDIN_STATUS_BUFFER_TOO_SMALL), 0u);
  Var result;
  const DWORD before = GetTickCount();
  EXPECT_EQ(Query(L"COM3", result.get()), 1);
  EXPECT_LT(GetTickCount() - before, 45u) << "no wait after a buffer too small";
  EXPECT_EQ(NamesOf(Rows(*result)), (Names{L"A"}));
  const StandinLog log = Log();
  ASSERT_EQ(log.requests, 2u);
  EXPECT_EQ(log.entries[0].outputLength, 1024u);
  EXPECT_EQ(log.entries[1].outputLength, 2048u);
}

TEST_F(Part5_2_SharedGetPortApplications, TwoOtherFailuresGiveTwoRequestsWithWaitsAndTrue) {
  SetLastErrorTo13();
  ASSERT_EQ(StandinSetAnswer(BuildAnswer({{u"COM3", u"A"}})), 0u);
  ASSERT_EQ(StandinFailNext(2, STANDIN_STATUS_UNSUCCESSFUL), 0u);
  Var result;
  FillWithArray(result.get());
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  EXPECT_EQ(Query(L"COM3", result.get()), 1);
  QueryPerformanceCounter(&end);
  const double elapsedMs = double(end.QuadPart - start.QuadPart) * 1000.0 / double(frequency.QuadPart);
  EXPECT_EQ(result->vt, VT_EMPTY);
  EXPECT_EQ(QKGetLastError(), 13u) << "unchanged";
  const StandinLog log = Log();
  ASSERT_EQ(log.requests, 2u) << "no third request, though it would have succeeded";
  EXPECT_EQ(log.entries[0].outputLength, 1024u);
  EXPECT_EQ(log.entries[1].outputLength, 1024u);
  const double gapMs = double(log.entries[1].timeUs - log.entries[0].timeUs) / 1000.0;
  EXPECT_GE(gapMs, 45.0) << "a 50 ms wait after the first failure";
  EXPECT_LT(gapMs, 1000.0);
  EXPECT_GE(elapsedMs, 95.0) << "and after the second";
  EXPECT_LT(elapsedMs, 2000.0);
  // The planned failures are spent: the next call gets the answer.
  EXPECT_EQ(Query(L"COM3", result.get()), 1);
  EXPECT_EQ(NamesOf(Rows(*result)), (Names{L"A"}));
}

TEST_F(Part5_2_SharedGetPortApplications, MoreDataIsAnOrdinaryFailureWithoutGrowing) {
  ASSERT_EQ(StandinSetAnswer(BuildAnswer({{u"COM3", u"A"}})), 0u);
  ASSERT_EQ(StandinFailNext(1, STANDIN_STATUS_BUFFER_OVERFLOW), 0u);
  Var result;
  EXPECT_EQ(Query(L"COM3", result.get()), 1);
  EXPECT_EQ(NamesOf(Rows(*result)), (Names{L"A"}));
  const StandinLog log = Log();
  ASSERT_EQ(log.requests, 2u);
  EXPECT_EQ(log.entries[0].outputLength, 1024u);
  EXPECT_EQ(log.entries[1].outputLength, 1024u);
}

TEST_F(Part5_2_SharedGetPortApplications, DoublingStopsAtOneMebibyte) {
  SetLastErrorTo13();
  ASSERT_EQ(StandinFailNext(1000, STANDIN_STATUS_BUFFER_TOO_SMALL), 0u);
  Var result;
  EXPECT_EQ(Query(L"COM3", result.get()), 1);
  EXPECT_EQ(result->vt, VT_EMPTY);
  EXPECT_EQ(QKGetLastError(), 13u);
  const StandinLog log = Log();
  ASSERT_EQ(log.requests, 11u);
  for (uint32_t i = 0; i < 11; ++i) EXPECT_EQ(log.entries[i].outputLength, 1024u << i);
}

TEST_F(Part5_2_SharedGetPortApplications, PreviousArrayIsReplacedNotMerged) {
  ASSERT_EQ(StandinSetAnswer(BuildAnswer({{u"COM3", u"A"}})), 0u);
  Var result;
  FillWithArray(result.get());
  EXPECT_EQ(Query(L"COM3", result.get()), 1);
  EXPECT_EQ(NamesOf(Rows(*result)), (Names{L"A"}));
  EXPECT_EQ(Query(L"COM3", result.get()), 1);
  EXPECT_EQ(NamesOf(Rows(*result)), (Names{L"A"}));
}

TEST_F(Part5_2_SharedGetPortApplications, MalformedAnswerEndsTheWalkWithoutCrash) {
  auto answer = BuildAnswer({{u"COM3", u"A"}, {u"COM3", u"B"}}, /*terminate=*/false);
  const auto starts = RecordStarts(answer);
  PutU32(&answer, starts[1], 0x7FFFFFFF);  // leads far outside
  PutU32(&answer, starts[1] + 16, 0x10000000);  // and an application name outside too
  ASSERT_EQ(StandinSetAnswer(answer), 0u);
  Var result;
  EXPECT_EQ(Query(L"COM3", result.get()), 1);
  EXPECT_EQ(NamesOf(Rows(*result)), (Names{L"A"}));
}

TEST_F(Part5_2_SharedGetPortApplications, ResultThatCannotBeClearedIsRefusedWith13) {
  Var result;
  FillWithArray(result.get());
  SAFEARRAY* held = result->parray;
  ASSERT_EQ(SafeArrayLock(held), S_OK);
  EXPECT_EQ(Query(L"COM3", result.get()), 0);
  EXPECT_EQ(QKGetLastError(), 13u);
  // Wine's VariantClear sets VT_EMPTY even when it fails; the locked array
  // itself is the caller's still, neither freed nor replaced.
  EXPECT_TRUE(result->vt == VT_EMPTY || (result->vt == (VT_ARRAY | VT_BSTR) && result->parray == held));
  EXPECT_EQ(Log().requests, 0u);
  EXPECT_EQ(SafeArrayUnlock(held), S_OK);
  EXPECT_EQ(SafeArrayDestroy(held), S_OK);
  VariantInit(result.get());
}

TEST_F(Part5_2_SharedGetPortApplications, NonAsciiApplicationNamesArriveUnchanged) {
  ASSERT_EQ(StandinSetAnswer(BuildAnswer({{u"COM3", u"\u00C9diteur \u65E5\u672C.exe"}})), 0u);
  Var result;
  EXPECT_EQ(Query(L"COM3", result.get()), 1);
  EXPECT_EQ(NamesOf(Rows(*result)), (Names{L"\u00C9diteur \u65E5\u672C.exe"}));
}
