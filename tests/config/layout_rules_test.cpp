// Parts 3.1, 3.2: the plain layout rules (port type letters, driver prefixes).
#include <gtest/gtest.h>

#include "config/layout_rules.h"

using namespace lumbrex;

TEST(Part3_2_PortTypeOfEntry, KindWordsOfTheCommandTable) {
  EXPECT_EQ(PortTypeOfEntry(L"Real|9600,n,8,0|1|0"), 1);
  EXPECT_EQ(PortTypeOfEntry(L"Virtual"), 2);
  EXPECT_EQ(PortTypeOfEntry(L"Shared|x"), 4);
  EXPECT_EQ(PortTypeOfEntry(L"Switcher|x"), 8);
  EXPECT_EQ(PortTypeOfEntry(L"KOLM"), 2);
}

TEST(Part3_1_PortTypeOfEntry, LetterCaseDoesNotMatter) {
  EXPECT_EQ(PortTypeOfEntry(L"real"), PortTypeOfEntry(L"REAL"));
  EXPECT_EQ(PortTypeOfEntry(L"switcher"), 8);
  EXPECT_EQ(PortTypeOfEntry(L"sHaReD"), 4);
  EXPECT_EQ(PortTypeOfEntry(L"kolm"), 2);
  EXPECT_EQ(PortTypeOfEntry(L"v"), 2);
  EXPECT_EQ(PortTypeOfEntry(L"r"), 1);
}

TEST(Part3_2_PortTypeOfEntry, EachTestComparesOnlyTheLettersItNames) {
  EXPECT_EQ(PortTypeOfEntry(L"Rx"), 1);
  EXPECT_EQ(PortTypeOfEntry(L"SH"), 4);
  EXPECT_EQ(PortTypeOfEntry(L"SWX"), 8);
  EXPECT_EQ(PortTypeOfEntry(L"KO"), 2);
  EXPECT_EQ(PortTypeOfEntry(L"Kobold"), 2);
}

TEST(Part3_2_PortTypeOfEntry, NoMatchingLettersGiveNoPortType) {
  EXPECT_EQ(PortTypeOfEntry(L""), kNoPortType);
  EXPECT_EQ(PortTypeOfEntry(L"S"), kNoPortType);
  EXPECT_EQ(PortTypeOfEntry(L"K"), kNoPortType);
  EXPECT_EQ(PortTypeOfEntry(L"KL"), kNoPortType);
  EXPECT_EQ(PortTypeOfEntry(L"Sx"), kNoPortType);
  EXPECT_EQ(PortTypeOfEntry(L" Real"), kNoPortType);
  EXPECT_EQ(PortTypeOfEntry(L"|Real"), kNoPortType);
  EXPECT_EQ(PortTypeOfEntry(L"XYZ"), kNoPortType);
  EXPECT_EQ(kNoPortType, 0);
}

TEST(Part3_1_IsDriverDeviceName, PrefixesComparedOverTheirLengthWithoutCase) {
  EXPECT_TRUE(IsDriverDeviceName(L"\\Device\\Dunvale"));
  EXPECT_TRUE(IsDriverDeviceName(L"\\Device\\Dunvale7"));
  EXPECT_TRUE(IsDriverDeviceName(L"\\Device\\Marrowby0"));
  EXPECT_TRUE(IsDriverDeviceName(L"\\DEVICE\\DUNVALE1"));
  EXPECT_TRUE(IsDriverDeviceName(L"\\device\\marrowbyX"));
  EXPECT_FALSE(IsDriverDeviceName(L"\\Device\\Dunval"));
  EXPECT_FALSE(IsDriverDeviceName(L"\\Device\\Serial0"));
  EXPECT_FALSE(IsDriverDeviceName(L"Device\\Dunvale0"));
  EXPECT_FALSE(IsDriverDeviceName(L" \\Device\\Dunvale0"));
  EXPECT_FALSE(IsDriverDeviceName(L""));
}
