// Part 1.1: QKGetLastError through the real lumbrex.dll.
#include <gtest/gtest.h>

#include "lumbrex.h"

TEST(Part1_1_LastError, ZeroRightAfterLoad) { EXPECT_EQ(QKGetLastError(), 0u); }

TEST(Part1_1_LastError, ExportedUnderItsPlainName) {
  HMODULE module = GetModuleHandleW(L"lumbrex.dll");
  ASSERT_NE(module, nullptr);
  EXPECT_NE(GetProcAddress(module, "QKGetLastError"), nullptr);
  EXPECT_EQ(GetProcAddress(module, "_QKGetLastError@0"), nullptr);
}
