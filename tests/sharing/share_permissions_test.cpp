// Part 5.1: the permission readers, with the library's objects linked in.
#include <gtest/gtest.h>

#include "sharing/share_permissions.h"
#include "support/registry_fixture.h"

using namespace lumbrex;
using namespace testsupport;

namespace {
const std::wstring kPortKey = L"Software\\OSTREL Software\\Quillane2\\COM7";
const std::wstring kPermissions = kPortKey + L"\\Permissions";
}  // namespace

TEST(Part5_1_SharePermissions, KeyPathIsSharedPortsPortPermissions) {
  EXPECT_EQ(SharePermissionsKeyPath(L"COM7"), L"Software\\OSTREL Software\\Quillane2\\COM7\\Permissions");
  EXPECT_EQ(kSharePermissionsAccess, 0x20119u);
  EXPECT_EQ(kSharePermissionsAccess, static_cast<REGSAM>(KEY_READ | KEY_WOW64_64KEY));
}

TEST(Part5_1_SharePermissions, MissingKeyGives2AndAnEmptyList) {
  ScopedTree tree(kPortKey);
  std::vector<Text> names{L"stale"};
  EXPECT_EQ(ListPermissionApplications(L"COM7", &names), 2);
  EXPECT_TRUE(names.empty());
  uint32_t value = 77;
  EXPECT_EQ(ReadSharePermission(L"COM7", L"app", &value), 2);
  EXPECT_EQ(value, 77u);
}

TEST(Part5_1_SharePermissions, ListsValueNamesInRegistryOrder) {
  ScopedTree tree(kPortKey);
  ASSERT_EQ(SetDword(kPermissions, L"zeta.exe", 3), 0);
  ASSERT_EQ(SetDword(kPermissions, L"alpha.exe", 1), 0);
  ASSERT_EQ(SetString(kPermissions, L"text", L"x"), 0);  // listed: any type
  std::vector<Text> names;
  EXPECT_EQ(ListPermissionApplications(L"com7", &names), 0);  // key names ignore case
  const auto direct = EnumValueNamesDirect(kPermissions);
  EXPECT_EQ(names, std::vector<Text>(direct.begin(), direct.end()));
  EXPECT_EQ(names.size(), 3u);
}

TEST(Part5_1_SharePermissions, ReadsDwordsAndRefusesOtherForms) {
  ScopedTree tree(kPortKey);
  ASSERT_EQ(SetDword(kPermissions, L"app", 0xFFFFFFFF), 0);
  ASSERT_EQ(SetString(kPermissions, L"sz", L"3"), 0);
  const uint64_t q = 3;
  ASSERT_EQ(SetRaw(kPermissions, L"qword", REG_QWORD, &q, sizeof q), 0);
  const uint32_t b = 3;
  ASSERT_EQ(SetRaw(kPermissions, L"binary", REG_BINARY, &b, sizeof b), 0);
  uint32_t value = 0;
  EXPECT_EQ(ReadSharePermission(L"COM7", L"app", &value), 0);
  EXPECT_EQ(value, 0xFFFFFFFFu);
  EXPECT_EQ(ReadSharePermission(L"COM7", L"sz", &value), 13);
  EXPECT_EQ(ReadSharePermission(L"COM7", L"qword", &value), 234);
  EXPECT_EQ(ReadSharePermission(L"COM7", L"binary", &value), 13);
  EXPECT_EQ(ReadSharePermission(L"COM7", L"missing", &value), 2);
}

TEST(Part5_1_SharePermissions, ReadsThe64BitViewOnly) {
  ScopedTree tree64(kPortKey, kView64);
  ScopedTree tree32(kPortKey, kView32);
  ASSERT_EQ(SetDword(kPermissions, L"only32", 5, kView32), 0);
  std::vector<Text> names;
  EXPECT_EQ(ListPermissionApplications(L"COM7", &names), 2) << "the 32-bit view's key is not seen";
  ASSERT_EQ(SetDword(kPermissions, L"only64", 6, kView64), 0);
  EXPECT_EQ(ListPermissionApplications(L"COM7", &names), 0);
  EXPECT_EQ(names, std::vector<Text>{L"only64"});
}
