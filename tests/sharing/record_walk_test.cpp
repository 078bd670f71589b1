// Part 5.2: the record walk and the request loop, as plain code over
// hand-made buffers (no driver).
#include <gtest/gtest.h>

#include "sharing/answer_builder.h"
#include "sharing/record_walk.h"

using namespace lumbrex;
using namespace sharingtest;

namespace {

std::vector<PortApplication> Walk(const std::vector<uint8_t>& bytes, const std::wstring& port) {
  return WalkPortApplicationRecords(bytes.data(), bytes.size(), TextView(port.data(), port.size()));
}

std::vector<std::wstring> Names(const std::vector<PortApplication>& apps) {
  std::vector<std::wstring> names;
  for (const auto& a : apps) names.emplace_back(a.name.begin(), a.name.end());
  return names;
}

using Names_t = std::vector<std::wstring>;

}  // namespace

TEST(Part5_2_RecordWalk, BufferBeginningWithZeroListsNothing) {
  std::vector<uint8_t> bytes(1024, 0);
  EXPECT_TRUE(Walk(bytes, L"COM3").empty());
  // Even when records follow the 0.
  std::vector<uint8_t> hidden(4, 0);
  auto rec = BuildAnswer({{u"COM3", u"A"}});
  hidden.insert(hidden.end(), rec.begin(), rec.end());
  EXPECT_TRUE(Walk(hidden, L"COM3").empty());
}

TEST(Part5_2_RecordWalk, EmptyAndTinyBuffersListNothing) {
  EXPECT_TRUE(WalkPortApplicationRecords(nullptr, 0, TextView()).empty());
  EXPECT_TRUE(WalkPortApplicationRecords(nullptr, 100, TextView()).empty());
  std::vector<uint8_t> three = {1, 0, 0};
  EXPECT_TRUE(Walk(three, L"COM3").empty());
}

TEST(Part5_2_RecordWalk, NamesComparedIgnoringCaseInBufferOrder) {
  auto bytes = BuildAnswer({{u"COM3", u"A"}, {u"com3", u"B"}, {u"COM4", u"C"}});
  EXPECT_EQ(Names(Walk(bytes, L"Com3")), (Names_t{L"A", L"B"}));
  EXPECT_EQ(Names(Walk(bytes, L"COM4")), (Names_t{L"C"}));
  EXPECT_TRUE(Walk(bytes, L"COM5").empty());
}

TEST(Part5_2_RecordWalk, PortNamesComparedWhole) {
  auto bytes = BuildAnswer({{u"COM3", u"A"}, {u"COM33", u"B"}});
  EXPECT_EQ(Names(Walk(bytes, L"COM33")), (Names_t{L"B"}));
  EXPECT_EQ(Names(Walk(bytes, L"COM3")), (Names_t{L"A"}));
  EXPECT_TRUE(Walk(bytes, L"COM").empty());
  EXPECT_TRUE(Walk(bytes, L"").empty());
}

TEST(Part5_2_RecordWalk, QueryNameCountsUpToItsFirstNul) {
  auto bytes = BuildAnswer({{u"COM3", u"A"}});
  EXPECT_EQ(Names(Walk(bytes, std::wstring(L"COM3\0X", 6))), (Names_t{L"A"}));
}

TEST(Part5_2_RecordWalk, OnlyAsciiLettersAreFolded) {
  auto bytes = BuildAnswer({{u"\u00C9COM", u"A"}});
  EXPECT_EQ(Names(Walk(bytes, L"\u00C9com")), (Names_t{L"A"}));
  EXPECT_TRUE(Walk(bytes, L"\u00E9com").empty());  // É and é differ (C-locale _wcsicmp)
}

TEST(Part5_2_RecordWalk, EntryKindNotZeroOrNoAppNameIsNotListed) {
  RecordSpec kind1{u"COM3", u"K"};
  kind1.kind = 1;
  RecordSpec noApp{u"COM3", u"N"};
  noApp.noApp = true;
  auto bytes = BuildAnswer({kind1, noApp, {u"COM3", u"OK"}});
  EXPECT_EQ(Names(Walk(bytes, L"COM3")), (Names_t{L"OK"}));
}

TEST(Part5_2_RecordWalk, DataValuesArePassedOnUnchanged) {
  RecordSpec r{u"COM3", u"App"};
  r.data0 = 10;
  r.data1 = 11;
  r.data2 = 12;
  RecordSpec big{u"COM3", u"Big"};
  big.data0 = 0xFFFFFFFF;
  big.data1 = 0x80000000;
  big.data2 = 0x12345678;
  auto apps = Walk(BuildAnswer({r, big}), L"COM3");
  ASSERT_EQ(apps.size(), 2u);
  EXPECT_EQ(apps[0].data0, 10u);
  EXPECT_EQ(apps[0].data1, 11u);
  EXPECT_EQ(apps[0].data2, 12u);
  EXPECT_EQ(apps[1].data0, 0xFFFFFFFFu);
  EXPECT_EQ(apps[1].data1, 0x80000000u);
  EXPECT_EQ(apps[1].data2, 0x12345678u);
}

TEST(Part5_2_RecordWalk, AppNameAtItsOwnLength) {
  auto apps = Walk(BuildAnswer({{u"COM3", u"C:\\Program Files\\Term\\term.exe"}}), L"com3");
  ASSERT_EQ(apps.size(), 1u);
  EXPECT_EQ(Names(apps), (Names_t{L"C:\\Program Files\\Term\\term.exe"}));
  auto empty = Walk(BuildAnswer({{u"COM3", u""}}), L"COM3");
  ASSERT_EQ(empty.size(), 1u);
  EXPECT_TRUE(empty[0].name.empty());
}

TEST(Part5_2_RecordWalk, ListEndsWithoutTerminatorAtTheEndOfTheBytes) {
  // The last record's EntryLength leads exactly to the end: the walk ends.
  auto bytes = BuildAnswer({{u"COM3", u"A"}, {u"COM3", u"B"}}, /*terminate=*/false);
  EXPECT_EQ(Names(Walk(bytes, L"COM3")), (Names_t{L"A", L"B"}));
}

TEST(Part5_2_RecordWalk, EntryLengthLeadingOutsideEndsTheWalk) {
  auto bytes = BuildAnswer({{u"COM3", u"A"}, {u"COM3", u"B"}});
  const auto starts = RecordStarts(bytes);
  PutU32(&bytes, starts[0], 0xFFFFFFF0);  // far past the end
  EXPECT_EQ(Names(Walk(bytes, L"COM3")), (Names_t{L"A"}));
  PutU32(&bytes, starts[0], uint32_t(bytes.size() - 2));  // into the last 2 bytes
  EXPECT_EQ(Names(Walk(bytes, L"COM3")), (Names_t{L"A"}));
}

TEST(Part5_2_RecordWalk, EntryLengthZeroInsideARecordChainEndsIt) {
  auto bytes = BuildAnswer({{u"COM3", u"A"}, {u"COM3", u"B"}, {u"COM3", u"C"}});
  PutU32(&bytes, RecordStarts(bytes)[1], 0);  // the second record's EntryLength
  EXPECT_EQ(Names(Walk(bytes, L"COM3")), (Names_t{L"A"}));
}

TEST(Part5_2_RecordWalk, SmallEntryLengthStillMovesForwardAndEnds) {
  // EntryLength 1 on every step: overlapping "records", but the walk ends.
  std::vector<uint8_t> bytes(300, 1);
  EXPECT_TRUE(Walk(bytes, L"COM3").empty());
}

TEST(Part5_2_RecordWalk, RecordWhoseFixedPartDoesNotFitIsNotRead) {
  auto bytes = BuildAnswer({{u"COM3", u"A"}}, false);
  std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + 43);
  EXPECT_TRUE(Walk(cut, L"COM3").empty());
}

TEST(Part5_2_RecordWalk, NameOffsetsPastTheEndAreNotListed) {
  auto bytes = BuildAnswer({{u"COM3", u"A"}, {u"COM3", u"B"}, {u"COM3", u"C"}});
  const auto starts = RecordStarts(bytes);
  PutU32(&bytes, starts[0] + 12, 0xFFFFFFFF);                        // port name far away
  PutU32(&bytes, starts[1] + 16, uint32_t(bytes.size() - starts[1]));  // app name exactly at the end
  EXPECT_EQ(Names(Walk(bytes, L"COM3")), (Names_t{L"C"}));
}

TEST(Part5_2_RecordWalk, NamesWithoutTerminatorInsideTheBytesAreNotListed) {
  // The application name runs to the very end of the bytes without its 0.
  auto bytes = BuildAnswer({{u"COM3", u"First"}, {u"COM3", u"ABCD"}}, false);
  ASSERT_EQ(bytes.size() % 4, 0u) << "no padding after ABCD";
  bytes.resize(bytes.size() - 2);  // drop the 0 unit
  EXPECT_EQ(Names(Walk(bytes, L"COM3")), (Names_t{L"First"}));
  bytes.resize(bytes.size() - 1);  // and half of the last unit
  EXPECT_EQ(Names(Walk(bytes, L"COM3")), (Names_t{L"First"}));

  // The port name without a terminator: its record is not listed.
  std::vector<uint8_t> rec(44, 0);
  PutU32(&rec, 0, 60);
  PutU32(&rec, 12, 44);
  PutU32(&rec, 16, 44);
  for (char16_t c : std::u16string(u"COM3COM3")) {
    rec.push_back(uint8_t(c));
    rec.push_back(0);
  }
  EXPECT_TRUE(Walk(rec, L"COM3COM3").empty());
}

TEST(Part5_2_RecordWalk, OddNameOffsetsAreReadAsBytes) {
  std::vector<uint8_t> rec(45, 0);
  PutU32(&rec, 0, 80);
  PutU32(&rec, 12, 45);
  for (char16_t c : std::u16string(u"COM3")) {
    rec.push_back(uint8_t(c));
    rec.push_back(0);
  }
  rec.push_back(0);
  rec.push_back(0);
  PutU32(&rec, 16, 45);  // same name as application
  rec.resize(80, 0);
  EXPECT_EQ(Names(Walk(rec, L"COM3")), (Names_t{L"COM3"}));
}

TEST(Part5_2_RecordWalk, NamesMayPointBeforeOrIntoTheFixedPartOfLaterBytes) {
  // A name offset into the record's own fixed part reads those bytes as text.
  std::vector<uint8_t> rec(48, 0);
  PutU32(&rec, 0, 48);
  PutU32(&rec, 12, 44);  // port name: empty text at 44
  PutU32(&rec, 16, 44);
  EXPECT_EQ(Walk(rec, L"").size(), 1u);
}

TEST(Part5_2_RecordWalk, OverlappingRecordsAreEachListed) {
  // EntryLength 12 (less than the 44-byte fixed part): the second record's
  // fields overlap the first one's, and both are listed from 70 bytes, so
  // listed rows can outnumber size / 44 (found while writing the record walk
  // fuzzer; also a seed of fuzz/corpus/record_walk).
  std::vector<uint8_t> bytes(56, 0);
  PutU32(&bytes, 0, 12);       // record 0: EntryLength
  PutU32(&bytes, 12, 56);      // record 0: PortNameOffset = record 12's EntryLength
  PutU32(&bytes, 16, 66);      // record 0: AppNameOffset
  PutU32(&bytes, 24, 56 - 12);  // record 12: PortNameOffset, the same name
  PutU32(&bytes, 28, 66 - 12);  // record 12: AppNameOffset, the same name
  PutU32(&bytes, 32, 7);       // record 0: Data0
  PutU32(&bytes, 44, 9);       // record 12: Data0
  for (char16_t c : std::u16string(u"COM3\0A\0", 7)) {
    bytes.push_back(uint8_t(c));
    bytes.push_back(0);
  }
  ASSERT_EQ(bytes.size(), 70u);
  const auto listed = Walk(bytes, L"COM3");
  EXPECT_EQ(Names(listed), (Names_t{L"A", L"A"}));
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_EQ(listed[0].data0, 7u);
  EXPECT_EQ(listed[1].data0, 9u);
}

// The request loop (Part 5.2 step 4), over a scripted request.
namespace {
struct Script {
  std::vector<uint32_t> errors;  // per request; past the end: success
  std::vector<size_t> sizes;
  std::vector<unsigned> waits;
  std::vector<std::string> events;
  std::vector<uint8_t> answer = {9, 9, 9, 9, 9};
  AnswerRequest Request() {
    return [this](std::vector<uint8_t>& buffer, size_t* returned) -> uint32_t {
      sizes.push_back(buffer.size());
      events.push_back("request");
      for (uint8_t b : buffer) EXPECT_EQ(b, 0) << "a fresh, zeroed buffer every time";
      const size_t i = sizes.size() - 1;
      if (i < errors.size() && errors[i] != 0) return errors[i];
      std::copy(answer.begin(), answer.end(), buffer.begin());
      *returned = answer.size();
      return 0;
    };
  }
  Waiter Wait() {
    return [this](unsigned ms) {
      waits.push_back(ms);
      events.push_back("wait");
    };
  }
};
}  // namespace

TEST(Part5_2_RequestLoop, FirstRequestOffers1024Bytes) {
  Script s;
  std::vector<uint8_t> answer;
  EXPECT_TRUE(RunAnswerRequests(s.Request(), s.Wait(), &answer));
  EXPECT_EQ(s.sizes, (std::vector<size_t>{1024}));
  EXPECT_EQ(answer, s.answer) << "exactly the bytes returned";
  EXPECT_TRUE(s.waits.empty());
}

TEST(Part5_2_RequestLoop, InsufficientBufferDoublesWithoutCounting) {
  Script s;
  s.errors = {122, 122, 0};
  std::vector<uint8_t> answer;
  EXPECT_TRUE(RunAnswerRequests(s.Request(), s.Wait(), &answer));
  EXPECT_EQ(s.sizes, (std::vector<size_t>{1024, 2048, 4096}));
  EXPECT_TRUE(s.waits.empty());
}

TEST(Part5_2_RequestLoop, TwoOtherFailuresEachFollowedByAWait) {
  Script s;
  s.errors = {31, 31, 0};
  std::vector<uint8_t> answer;
  EXPECT_FALSE(RunAnswerRequests(s.Request(), s.Wait(), &answer));
  EXPECT_EQ(s.events, (std::vector<std::string>{"request", "wait", "request", "wait"}));
  EXPECT_EQ(s.waits, (std::vector<unsigned>{50, 50}));
  EXPECT_TRUE(answer.empty());
}

TEST(Part5_2_RequestLoop, MoreDataIsAnOrdinaryFailure) {
  Script s;
  s.errors = {234, 0};
  std::vector<uint8_t> answer;
  EXPECT_TRUE(RunAnswerRequests(s.Request(), s.Wait(), &answer));
  EXPECT_EQ(s.sizes, (std::vector<size_t>{1024, 1024}));
  EXPECT_EQ(s.waits, (std::vector<unsigned>{50}));
}

TEST(Part5_2_RequestLoop, DoublingDoesNotResetTheAttemptCount) {
  Script s;
  s.errors = {31, 122, 31, 0};
  std::vector<uint8_t> answer;
  EXPECT_FALSE(RunAnswerRequests(s.Request(), s.Wait(), &answer));
  EXPECT_EQ(s.sizes, (std::vector<size_t>{1024, 1024, 2048}));
}

TEST(Part5_2_RequestLoop, DoublingStopsAtTheBound) {
  Script s;
  s.errors.assign(100, 122);
  std::vector<uint8_t> answer;
  EXPECT_FALSE(RunAnswerRequests(s.Request(), s.Wait(), &answer));
  std::vector<size_t> expected;
  for (size_t size = 1024; size <= kMaxAnswerBufferSize; size *= 2) expected.push_back(size);
  EXPECT_EQ(s.sizes, expected);
  EXPECT_EQ(s.sizes.size(), 11u);
  EXPECT_EQ(s.sizes.back(), size_t(1) << 20);
  EXPECT_TRUE(s.waits.empty()) << "the bound ends the query without a wait";
}

TEST(Part5_2_RequestLoop, SuccessAtTheBoundIsStillAnAnswer) {
  Script s;
  s.errors.assign(10, 122);
  std::vector<uint8_t> answer;
  EXPECT_TRUE(RunAnswerRequests(s.Request(), s.Wait(), &answer));
  EXPECT_EQ(s.sizes.back(), kMaxAnswerBufferSize);
}

TEST(Part5_2_RequestLoop, ReturnedCountLargerThanTheBufferIsCut) {
  std::vector<uint8_t> answer;
  EXPECT_TRUE(RunAnswerRequests(
      [](std::vector<uint8_t>& buffer, size_t* returned) -> uint32_t {
        *returned = buffer.size() + 100;
        return 0;
      },
      [](unsigned) {}, &answer));
  EXPECT_EQ(answer.size(), 1024u);
}
