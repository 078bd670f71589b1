// Parts 3.1, 3.3: the layout readers and the option readers, against fixtures
// in the private prefix.
#include <gtest/gtest.h>

#include <algorithm>

#include "config/layout.h"
#include "config/options.h"
#include "config_fixture.h"

using namespace lumbrex;
using namespace testsupport;
using namespace configtest;

namespace {
class Part3_1_Layout : public ::testing::Test {
 protected:
  ConfigTree tree_;
};
class Part3_3_ReadOption : public ::testing::Test {
 protected:
  ConfigTree tree_;
};
}  // namespace

TEST(Part3_1_KeyPaths, NamesInsertedUnchanged) {
  EXPECT_EQ(BundleKeyPath(L"B1"), L"Software\\OSTREL Software\\Lumbrex\\B1");
  EXPECT_EQ(SideKeyPath(L"b 1", 0), L"Software\\OSTREL Software\\Lumbrex\\b 1\\IN");
  EXPECT_EQ(SideKeyPath(L"B1", 1), L"Software\\OSTREL Software\\Lumbrex\\B1\\OUT");
  EXPECT_EQ(SideKeyPath(L"B1", 7), L"Software\\OSTREL Software\\Lumbrex\\B1\\OUT");  // Part 4.3: non-zero is output
  EXPECT_STREQ(MainPortValueName(0), L"InMain");
  EXPECT_STREQ(MainPortValueName(1), L"OutMain");
  EXPECT_STREQ(kDriverServiceKeyPath, L"SYSTEM\\CurrentControlSet\\Services\\korrin9");
  EXPECT_STREQ(kSerialMapKeyPath, L"HARDWARE\\DEVICEMAP\\SERIALCOMM");
}

TEST(Part3_1_KeyPaths, AccessMasksOfTheTable) {
  EXPECT_EQ(kLayoutAccess, 0x20019u);
  EXPECT_EQ(kRootOptionAccess, 0x20219u);
  EXPECT_EQ(kDriverOptionAccess, 0x20019u);
  EXPECT_EQ(kSerialMapAccess, 0x2001Fu);
}

TEST_F(Part3_1_Layout, RootWithTheFourOptionsAndNoSubkeysGivesNoBundles) {
  for (const wchar_t* name : {L"SendDataOnlyMainPort", L"IgnoreError", L"AutoOpen", L"Prints"}) {
    ASSERT_EQ(SetDword(kRoot, name, 1), ERROR_SUCCESS);
  }
  std::vector<Text> names;
  EXPECT_EQ(ReadBundleNames(&names), ERROR_SUCCESS);
  EXPECT_TRUE(names.empty());
}

TEST_F(Part3_1_Layout, BundlesAreTheRootSubkeysInRegistryOrder) {
  for (const wchar_t* b : {L"zz", L"B1", L"a2"}) ASSERT_EQ(CreateKey(BundleKey(b)), ERROR_SUCCESS);
  std::vector<Text> names;
  EXPECT_EQ(ReadBundleNames(&names), ERROR_SUCCESS);
  EXPECT_EQ(names, EnumSubkeyNamesDirect(kRoot));
  EXPECT_EQ(names.size(), 3u);
}

TEST_F(Part3_1_Layout, BundlesAreReadFromTheNativeViewOnly) {
  ASSERT_EQ(CreateKey(BundleKey(L"Only32"), kView32), ERROR_SUCCESS);
  std::vector<Text> names;
  EXPECT_EQ(ReadBundleNames(&names), ERROR_FILE_NOT_FOUND);
  EXPECT_TRUE(names.empty());
  ASSERT_EQ(CreateKey(BundleKey(L"Only64"), kView64), ERROR_SUCCESS);
  EXPECT_EQ(ReadBundleNames(&names), ERROR_SUCCESS);
  EXPECT_EQ(names, std::vector<Text>{L"Only64"});
}

TEST_F(Part3_1_Layout, BundleWithoutInKeyFailsOnlyItsInputSide) {
  ASSERT_EQ(SetString(SideKey(L"B1", 1), L"COM2", L"r|"), ERROR_SUCCESS);
  std::vector<Text> in, out;
  EXPECT_EQ(ReadSidePortNames(L"B1", 0, &in), ERROR_FILE_NOT_FOUND);
  EXPECT_TRUE(in.empty());
  EXPECT_EQ(ReadSidePortNames(L"B1", 1, &out), ERROR_SUCCESS);
  EXPECT_EQ(out, std::vector<Text>{L"COM2"});
}

TEST_F(Part3_1_Layout, UnnamedValueOfASideKeyIsAPortWithAnEmptyName) {
  ASSERT_EQ(SetString(SideKey(L"B1", 0), L"", L"r|"), ERROR_SUCCESS);
  ASSERT_EQ(SetString(SideKey(L"B1", 0), L"COM1", L"r|"), ERROR_SUCCESS);
  std::vector<Text> names;
  EXPECT_EQ(ReadSidePortNames(L"B1", 0, &names), ERROR_SUCCESS);
  EXPECT_EQ(names, EnumValueNamesDirect(SideKey(L"B1", 0)));
  ASSERT_EQ(names.size(), 2u);
  EXPECT_NE(std::find(names.begin(), names.end(), Text()), names.end());
}

TEST_F(Part3_1_Layout, MainPortAndPortEntry) {
  ASSERT_EQ(SetString(BundleKey(L"B1"), L"InMain", L"COM1"), ERROR_SUCCESS);
  ASSERT_EQ(SetDword(BundleKey(L"B1"), L"OutMain", 3), ERROR_SUCCESS);
  ASSERT_EQ(SetString(SideKey(L"B1", 1), L"COM3", L"Shared|x", REG_EXPAND_SZ), ERROR_SUCCESS);
  Text text = L"old";
  EXPECT_EQ(ReadMainPort(L"b1", 0, &text), ERROR_SUCCESS);  // names match without regard to case
  EXPECT_EQ(text, L"COM1");
  EXPECT_EQ(ReadMainPort(L"B1", 1, &text), ERROR_INVALID_DATA);
  EXPECT_EQ(ReadMainPort(L"B2", 0, &text), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(ReadPortEntryText(L"B1", 1, L"com3", &text), ERROR_SUCCESS);
  EXPECT_EQ(text, L"Shared|x");
  EXPECT_EQ(ReadPortEntryText(L"B1", 0, L"COM3", &text), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(ReadPortEntryText(L"B1", 1, L"COM4", &text), ERROR_FILE_NOT_FOUND);
}

TEST_F(Part3_3_ReadOption, RootOptionsComeFromThe32BitView) {
  ASSERT_EQ(SetDword(kRoot, L"AutoOpen", 5, kView32), ERROR_SUCCESS);
  ASSERT_EQ(SetDword(kRoot, L"IgnoreError", 6, kView32), ERROR_SUCCESS);
  ASSERT_EQ(SetDword(kRoot, L"Prints", 7, kView32), ERROR_SUCCESS);
  ASSERT_EQ(SetDword(kRoot, L"SendDataOnlyMainPort", 0xFFFFFFFFu, kView32), ERROR_SUCCESS);
  ASSERT_EQ(SetDword(kRoot, L"AutoOpen", 99, kView64), ERROR_SUCCESS);
  ASSERT_EQ(SetDword(kDriverKey, L"StrictBaudrate", 9), ERROR_SUCCESS);
  const uint32_t expected[] = {5, 6, 7, 0xFFFFFFFFu, 9};
  for (size_t i = 0; i < 5; ++i) {
    uint32_t value = 0;
    EXPECT_EQ(ReadOption(kAllOptions[i], &value), ERROR_SUCCESS) << i;
    EXPECT_EQ(value, expected[i]) << i;
  }
}

TEST_F(Part3_3_ReadOption, ValueNamesInUpdateSettingsOrder) {
  const wchar_t* names[] = {L"AutoOpen", L"IgnoreError", L"Prints", L"SendDataOnlyMainPort", L"StrictBaudrate"};
  for (size_t i = 0; i < 5; ++i) EXPECT_STREQ(OptionValueName(kAllOptions[i]), names[i]);
}

TEST_F(Part3_3_ReadOption, RootOptionFailuresLeaveTheValueAlone) {
  uint32_t value = 42;
  EXPECT_EQ(ReadOption(Option::Prints, &value), ERROR_FILE_NOT_FOUND);  // no root key
  EXPECT_EQ(value, 42u);
  ASSERT_EQ(CreateKey(kRoot, kView32), ERROR_SUCCESS);
  EXPECT_EQ(ReadOption(Option::Prints, &value), ERROR_FILE_NOT_FOUND);  // no value
  const uint64_t wide = 1;
  ASSERT_EQ(SetRaw(kRoot, L"Prints", REG_QWORD, &wide, 8, kView32), ERROR_SUCCESS);
  EXPECT_EQ(ReadOption(Option::Prints, &value), ERROR_MORE_DATA);
  ASSERT_EQ(SetRaw(kRoot, L"Prints", REG_BINARY, &value, 4, kView32), ERROR_SUCCESS);
  EXPECT_EQ(ReadOption(Option::Prints, &value), ERROR_INVALID_DATA);
  EXPECT_EQ(value, 42u);
}

TEST_F(Part3_3_ReadOption, StrictBaudrateFailuresSetTheValueTo0) {
  uint32_t value = 42;
  EXPECT_EQ(ReadOption(Option::StrictBaudrate, &value), ERROR_FILE_NOT_FOUND);  // no driver key
  EXPECT_EQ(value, 0u);
  value = 42;
  ASSERT_EQ(SetString(kDriverKey, L"StrictBaudrate", L"1"), ERROR_SUCCESS);
  EXPECT_EQ(ReadOption(Option::StrictBaudrate, &value), ERROR_INVALID_DATA);
  EXPECT_EQ(value, 0u);
}

namespace {
class Part3_2_ReadRealPorts : public ::testing::Test {
 protected:
  ScopedSerialMap map_;
};
}  // namespace

TEST_F(Part3_2_ReadRealPorts, EarlierUnreadableValuesAreListedAndTheLastStatusCounts) {
  ASSERT_EQ(SetString(kSerialMap, L"\\Device\\Serial1", L"COM1"), ERROR_SUCCESS);
  ASSERT_EQ(SetString(kSerialMap, L"\\Device\\Serial2", L"COM2"), ERROR_SUCCESS);
  ASSERT_EQ(SetString(kSerialMap, L"\\Device\\Serial3", L"COM3"), ERROR_SUCCESS);
  const auto order = EnumValueNamesDirect(kSerialMap);
  ASSERT_EQ(order.size(), 3u);
  // The first one has no final NUL: its text is listed all the same.
  ASSERT_EQ(SetStringWithoutNul(kSerialMap, order[0], L"abc"), ERROR_SUCCESS);
  std::vector<Text> ports;
  EXPECT_EQ(ReadRealPorts(&ports), ERROR_SUCCESS);
  ASSERT_EQ(ports.size(), 3u);
  EXPECT_EQ(ports[0], L"abc");
  // The last one without NUL: the status is 13, the list holds what was read.
  ASSERT_EQ(SetStringWithoutNul(kSerialMap, order[2], L"xyz"), ERROR_SUCCESS);
  ports.clear();
  EXPECT_EQ(ReadRealPorts(&ports), ERROR_INVALID_DATA);
  EXPECT_EQ(ports.size(), 3u);
}
