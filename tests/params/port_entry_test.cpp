// Part 4.1: splitting a port entry (steps 5 to 9 of ReadPortEntry; plain code).
#include <gtest/gtest.h>

#include "params/port_entry.h"

using namespace lumbrex;

namespace {
struct Split {
  Text text = L"sentinel";
  bool high = false, low = false;  // callers preset both bits clear
  Split(const Text& entry, bool presetLow = false) {
    low = presetLow;
    SplitPortEntry(entry, &text, &high, &low);
  }
};
}  // namespace

TEST(Part4_1_SplitPortEntry, UpperCaseEntryIsLowerCasedAndSplit) {
  Split s(L"R|9600,N,8,0,X|1|0");
  EXPECT_EQ(s.text, L"9600,n,8,0,x");
  EXPECT_TRUE(s.high);
  EXPECT_FALSE(s.low);
}

TEST(Part4_1_SplitPortEntry, EntriesWithoutBarAfterParametersAreEmptyWithBothBitsSet) {
  for (const wchar_t* entry : {L"r", L"r|", L"r|9600,n,8,0", L"", L"V", L"|", L"|||", L"|||r"}) {
    Split s(entry);
    EXPECT_EQ(s.text, L"") << entry;
    EXPECT_TRUE(s.high) << entry;
    EXPECT_TRUE(s.low) << entry;
  }
}

TEST(Part4_1_SplitPortEntry, LeadingBarsAreSkipped) {
  Split s(L"|r|9600,n,8,0|1|1");
  EXPECT_EQ(s.text, L"9600,n,8,0");
  EXPECT_TRUE(s.high);
  EXPECT_TRUE(s.low);
  Split t(L"|||r|9600,n,8,0|0|1");
  EXPECT_EQ(t.text, L"9600,n,8,0");
  EXPECT_FALSE(t.high);
  EXPECT_TRUE(t.low);
}

TEST(Part4_1_SplitPortEntry, EmptyParameterTextWithFlags) {
  Split s(L"r||1|1");
  EXPECT_EQ(s.text, L"");
  EXPECT_TRUE(s.high);
  EXPECT_TRUE(s.low);
}

TEST(Part4_1_SplitPortEntry, BarAtTheEndGivesBothBitsClear) {
  Split s(L"r|9600,n,8,0|");
  EXPECT_EQ(s.text, L"9600,n,8,0");
  EXPECT_FALSE(s.high);
  EXPECT_FALSE(s.low);
}

TEST(Part4_1_SplitPortEntry, MissingField4LeavesTheLowBitAsTheCallerSetIt) {
  Split s(L"r|9600,n,8,0|1");
  EXPECT_EQ(s.text, L"9600,n,8,0");
  EXPECT_TRUE(s.high);
  EXPECT_FALSE(s.low);
  // Step 8: "the low bit stays as the caller set it".
  Split t(L"r|9600,n,8,0|1", /*presetLow=*/true);
  EXPECT_TRUE(t.low);
  Split u(L"r|9600,n,8,0|1|", /*presetLow=*/true);
  EXPECT_TRUE(u.high);
  EXPECT_TRUE(u.low);
  Split v(L"r|9600,n,8,0|", /*presetLow=*/true);
  EXPECT_FALSE(v.high);
  EXPECT_TRUE(v.low);
}

TEST(Part4_1_SplitPortEntry, OnlyADigitOneSetsABit) {
  Split s(L"r|9600,n,8,0|yes|1");
  EXPECT_FALSE(s.high);
  EXPECT_TRUE(s.low);
  Split t(L"r|9600,n,8,0|10|1x");
  EXPECT_TRUE(t.high);  // only the first character counts
  EXPECT_TRUE(t.low);
  Split u(L"r|9600,n,8,0|2|01");
  EXPECT_FALSE(u.high);
  EXPECT_FALSE(u.low);
}

TEST(Part4_1_SplitPortEntry, EmptyField3EndsRightAfterItsBar) {
  Split s(L"r|x||1");
  EXPECT_EQ(s.text, L"x");
  EXPECT_FALSE(s.high);
  EXPECT_TRUE(s.low);
}

TEST(Part4_1_SplitPortEntry, CharactersAfterField4AreIgnored) {
  Split s(L"r|9600,n,8,0|0|1|1|junk");
  EXPECT_EQ(s.text, L"9600,n,8,0");
  EXPECT_FALSE(s.high);
  EXPECT_TRUE(s.low);
}

TEST(Part4_1_SplitPortEntry, OnlyAsciiLettersAreFolded) {
  Split s(L"R|9600,\x00C4,8,0|1|1");
  EXPECT_EQ(s.text, L"9600,\x00C4,8,0");
}
