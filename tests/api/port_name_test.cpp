// Part 1.1: IsValidPortName.
#include <gtest/gtest.h>

#include "api/port_name.h"

using lumbrex::IsValidPortName;

TEST(Part1_1_IsValidPortName, ValidNames) {
  EXPECT_TRUE(IsValidPortName(L"COM1"));
  EXPECT_TRUE(IsValidPortName(L"@1"));
  EXPECT_TRUE(IsValidPortName(L"a_b"));
  EXPECT_TRUE(IsValidPortName(std::wstring(33, L'A')));
  EXPECT_TRUE(IsValidPortName(L"Z"));
  EXPECT_TRUE(IsValidPortName(L"_"));
  EXPECT_TRUE(IsValidPortName(L"0123456789"));
}

TEST(Part1_1_IsValidPortName, InvalidNames) {
  EXPECT_FALSE(IsValidPortName(L""));
  EXPECT_FALSE(IsValidPortName(L" COM1"));
  EXPECT_FALSE(IsValidPortName(L"COM-1"));
  EXPECT_FALSE(IsValidPortName(L"COM 1"));
  EXPECT_FALSE(IsValidPortName(L"COM1 "));
  EXPECT_FALSE(IsValidPortName(std::wstring(34, L'A')));
}

TEST(Part1_1_IsValidPortName, RangeBoundaries) {
  EXPECT_FALSE(IsValidPortName(L"?"));   // 0x3F, just before "@"
  EXPECT_TRUE(IsValidPortName(L"@"));    // 0x40
  EXPECT_FALSE(IsValidPortName(L"["));   // 0x5B, just after "Z"
  EXPECT_FALSE(IsValidPortName(L"`"));   // 0x60, just before "a"
  EXPECT_FALSE(IsValidPortName(L"{"));   // 0x7B, just after "z"
  EXPECT_FALSE(IsValidPortName(L"/"));   // just before "0"
  EXPECT_FALSE(IsValidPortName(L":"));   // just after "9"
  EXPECT_FALSE(IsValidPortName(L"\u00C4"));  // a letter outside ASCII
  EXPECT_FALSE(IsValidPortName(std::wstring(L"A\0B", 3)));
}
