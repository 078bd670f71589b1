// Part 4.1: ReadPortEntry against registry fixtures in the private prefix.
#include <gtest/gtest.h>

#include "api/library_objects.h"
#include "params/port_entry.h"
#include "support/registry_fixture.h"

using namespace lumbrex;
using namespace testsupport;

namespace {
const std::wstring kBundle = L"ParamsUnitBundle";

class Part4_1_ReadPortEntry : public ::testing::Test {
 protected:
  const std::wstring bundlePath_ = g_rootKeyPath + L"\\" + kBundle;
  ScopedTree tree_{bundlePath_};
  std::wstring SideKey(const wchar_t* side) const { return bundlePath_ + L"\\" + side; }

  // Outputs preset to values that no successful read of the fixtures gives.
  Text text_ = L"untouched";
  bool high_ = true, low_ = false;
  uint32_t Read(const std::wstring& bundle, int32_t side, const std::wstring& port) {
    return ReadPortEntry(bundle, side, port, &text_, &high_, &low_);
  }
  void ExpectUntouched() {
    EXPECT_EQ(text_, L"untouched");
    EXPECT_TRUE(high_);
    EXPECT_FALSE(low_);
  }
};
}  // namespace

TEST_F(Part4_1_ReadPortEntry, ReadsAndSplitsTheInputSideEntry) {
  ASSERT_EQ(SetString(SideKey(L"IN"), L"COM3", L"R|9600,N,8,0,X|1|0"), ERROR_SUCCESS);
  high_ = false;
  EXPECT_EQ(Read(kBundle, 0, L"COM3"), 0u);
  EXPECT_EQ(text_, L"9600,n,8,0,x");
  EXPECT_TRUE(high_);
  EXPECT_FALSE(low_);
}

TEST_F(Part4_1_ReadPortEntry, Side0ReadsInAndEveryOtherSideReadsOut) {
  ASSERT_EQ(SetString(SideKey(L"IN"), L"COM3", L"r|in|0|1"), ERROR_SUCCESS);
  ASSERT_EQ(SetString(SideKey(L"OUT"), L"COM3", L"r|out|1|0"), ERROR_SUCCESS);
  EXPECT_EQ(Read(kBundle, 0, L"COM3"), 0u);
  EXPECT_EQ(text_, L"in");
  for (int32_t side : {1, 2, 7, -1, INT32_MIN}) {
    text_ = L"untouched";
    EXPECT_EQ(Read(kBundle, side, L"COM3"), 0u) << side;
    EXPECT_EQ(text_, L"out") << side;
  }
}

TEST_F(Part4_1_ReadPortEntry, DwordValueGives13AndLeavesOutputsUntouched) {
  ASSERT_EQ(SetDword(SideKey(L"IN"), L"COM3", 1), ERROR_SUCCESS);
  EXPECT_EQ(Read(kBundle, 0, L"COM3"), 13u);
  ExpectUntouched();
}

TEST_F(Part4_1_ReadPortEntry, StringWithoutNulGives13AndLeavesOutputsUntouched) {
  ASSERT_EQ(SetStringWithoutNul(SideKey(L"IN"), L"COM3", L"r|9600,n,8,0|1|1"), ERROR_SUCCESS);
  EXPECT_EQ(Read(kBundle, 0, L"COM3"), 13u);
  ExpectUntouched();
}

TEST_F(Part4_1_ReadPortEntry, MissingValueGives2AndLeavesOutputsUntouched) {
  ASSERT_EQ(SetString(SideKey(L"IN"), L"COM4", L"r|9600,n,8,0|1|1"), ERROR_SUCCESS);
  EXPECT_EQ(Read(kBundle, 0, L"COM3"), 2u);
  ExpectUntouched();
}

TEST_F(Part4_1_ReadPortEntry, MissingSideKeyOrBundleGives2) {
  ASSERT_EQ(SetString(SideKey(L"IN"), L"COM3", L"r|9600,n,8,0|1|1"), ERROR_SUCCESS);
  EXPECT_EQ(Read(kBundle, 1, L"COM3"), 2u);
  ExpectUntouched();
  EXPECT_EQ(Read(L"NoSuchParamsBundle", 0, L"COM3"), 2u);
  ExpectUntouched();
}

TEST_F(Part4_1_ReadPortEntry, OddByteSizeGives234) {
  const char bytes[8] = {'r', 0, '|', 0, 0, 0x7F, 0x7F, 0x7F};
  ASSERT_EQ(SetRaw(SideKey(L"IN"), L"COM3", REG_SZ, bytes, 5), ERROR_SUCCESS);
  EXPECT_EQ(Read(kBundle, 0, L"COM3"), 234u);
  ExpectUntouched();
}

TEST_F(Part4_1_ReadPortEntry, EmptyValueReadsAsDefault) {
  ASSERT_EQ(SetRaw(SideKey(L"IN"), L"COM3", REG_SZ, L"", 0), ERROR_SUCCESS);
  high_ = false;
  EXPECT_EQ(Read(kBundle, 0, L"COM3"), 0u);
  EXPECT_EQ(text_, L"");
  EXPECT_TRUE(high_);
  EXPECT_TRUE(low_);
}

TEST_F(Part4_1_ReadPortEntry, ExpandStringIsReadUnexpanded) {
  ASSERT_EQ(SetString(SideKey(L"IN"), L"COM3", L"R|%SystemRoot%,N,8,0|0|1", REG_EXPAND_SZ), ERROR_SUCCESS);
  EXPECT_EQ(Read(kBundle, 0, L"COM3"), 0u);
  EXPECT_EQ(text_, L"%systemroot%,n,8,0");
  EXPECT_FALSE(high_);
  EXPECT_TRUE(low_);
}

TEST_F(Part4_1_ReadPortEntry, NamesAreMatchedWithoutRegardToCase) {
  ASSERT_EQ(SetString(SideKey(L"OUT"), L"COM3", L"r|9600,n,8,0|1|1"), ERROR_SUCCESS);
  EXPECT_EQ(Read(L"paramsunitbundle", 1, L"com3"), 0u);
  EXPECT_EQ(text_, L"9600,n,8,0");
}

TEST_F(Part4_1_ReadPortEntry, DefaultValueIsThePortWithTheEmptyName) {
  ASSERT_EQ(SetString(SideKey(L"IN"), L"", L"r|1,n,8,0|0|0"), ERROR_SUCCESS);
  EXPECT_EQ(Read(kBundle, 0, L""), 0u);
  EXPECT_EQ(text_, L"1,n,8,0");
}
