// Part 3.4: RegistryKey against fixtures in the private prefix.
#include <gtest/gtest.h>

#include "config/registry_key.h"
#include "support/registry_fixture.h"

using namespace lumbrex;
using namespace testsupport;

namespace {
const std::wstring kPath = L"Software\\LumbrexTests\\RegistryKey";

class Part3_4_RegistryKey : public ::testing::Test {
 protected:
  ScopedTree tree_{L"Software\\LumbrexTests"};
  RegistryKey key_;
  void OpenKey() {
    ASSERT_EQ(CreateKey(kPath), ERROR_SUCCESS);
    ASSERT_EQ(key_.Open(kPath, KEY_READ), ERROR_SUCCESS);
  }
};
}  // namespace

TEST_F(Part3_4_RegistryKey, OpenOfMissingKeyGives2AndStaysClosed) {
  EXPECT_EQ(key_.Open(kPath, KEY_READ), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(key_.IsOpen());
}

TEST_F(Part3_4_RegistryKey, StringWithoutFinalNulGives13) {
  ASSERT_EQ(SetStringWithoutNul(kPath, L"v", L"abc"), ERROR_SUCCESS);
  OpenKey();
  Text text = L"untouched";
  EXPECT_EQ(key_.QueryString(L"v", &text), ERROR_INVALID_DATA);
}

TEST_F(Part3_4_RegistryKey, StringOfZeroBytesIsEmptyText) {
  ASSERT_EQ(SetRaw(kPath, L"v", REG_SZ, L"", 0), ERROR_SUCCESS);
  OpenKey();
  Text text = L"x";
  EXPECT_EQ(key_.QueryString(L"v", &text), ERROR_SUCCESS);
  EXPECT_EQ(text, L"");
}

TEST_F(Part3_4_RegistryKey, StringOfFiveBytesGives234) {
  const char bytes[6] = {'a', 0, 'b', 0, 0, 0x7F};
  ASSERT_EQ(SetRaw(kPath, L"v", REG_SZ, bytes, 5), ERROR_SUCCESS);
  OpenKey();
  Text text;
  EXPECT_EQ(key_.QueryString(L"v", &text), ERROR_MORE_DATA);
}

TEST_F(Part3_4_RegistryKey, ExpandStringIsReadUnexpanded) {
  ASSERT_EQ(SetString(kPath, L"v", L"%SystemRoot%\\x", REG_EXPAND_SZ), ERROR_SUCCESS);
  OpenKey();
  Text text;
  EXPECT_EQ(key_.QueryString(L"v", &text), ERROR_SUCCESS);
  EXPECT_EQ(text, L"%SystemRoot%\\x");
}

TEST_F(Part3_4_RegistryKey, StringIsCutAtItsFirstNul) {
  const wchar_t data[] = L"ab\0cd";
  ASSERT_EQ(SetRaw(kPath, L"v", REG_SZ, data, sizeof(data)), ERROR_SUCCESS);
  OpenKey();
  Text text;
  EXPECT_EQ(key_.QueryString(L"v", &text), ERROR_SUCCESS);
  EXPECT_EQ(text, L"ab");
}

TEST_F(Part3_4_RegistryKey, StringOfWrongTypeGives13AndMissingGives2) {
  ASSERT_EQ(SetDword(kPath, L"d", 5), ERROR_SUCCESS);
  OpenKey();
  Text text;
  EXPECT_EQ(key_.QueryString(L"d", &text), ERROR_INVALID_DATA);
  EXPECT_EQ(key_.QueryString(L"missing", &text), ERROR_FILE_NOT_FOUND);
}

TEST_F(Part3_4_RegistryKey, DwordReads) {
  ASSERT_EQ(SetDword(kPath, L"d", 0xFFFFFFFFu), ERROR_SUCCESS);
  const uint32_t four = 4;
  ASSERT_EQ(SetRaw(kPath, L"bin", REG_BINARY, &four, 4), ERROR_SUCCESS);
  const uint64_t wide = 1;
  ASSERT_EQ(SetRaw(kPath, L"q", REG_QWORD, &wide, 8), ERROR_SUCCESS);
  OpenKey();
  uint32_t value = 7;
  EXPECT_EQ(key_.QueryDword(L"d", &value), ERROR_SUCCESS);
  EXPECT_EQ(value, 0xFFFFFFFFu);
  value = 7;
  EXPECT_EQ(key_.QueryDword(L"bin", &value), ERROR_INVALID_DATA);  // REG_BINARY of 4 bytes
  EXPECT_EQ(key_.QueryDword(L"q", &value), ERROR_MORE_DATA);       // REG_QWORD
  EXPECT_EQ(key_.QueryDword(L"missing", &value), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(value, 7u);
}

TEST_F(Part3_4_RegistryKey, EnumerationsFollowTheRegistryOrder) {
  for (const wchar_t* n : {L"zeta", L"Alpha", L"mid"}) {
    ASSERT_EQ(CreateKey(kPath + L"\\" + n), ERROR_SUCCESS);
    ASSERT_EQ(SetString(kPath, n, L"r"), ERROR_SUCCESS);
  }
  OpenKey();
  std::vector<Text> subkeys, values;
  EXPECT_EQ(key_.EnumSubkeyNames(&subkeys), ERROR_SUCCESS);
  EXPECT_EQ(key_.EnumValueNames(&values), ERROR_SUCCESS);
  EXPECT_EQ(subkeys, EnumSubkeyNamesDirect(kPath));
  EXPECT_EQ(values, EnumValueNamesDirect(kPath));
  EXPECT_EQ(values.size(), 3u);
}

TEST_F(Part3_4_RegistryKey, ValueNameLongerThanTheBufferIsSkippedAndTheEnumerationEnds) {
  ASSERT_EQ(SetString(kPath, std::wstring(200, L'n'), L"r"), ERROR_SUCCESS);
  ASSERT_EQ(SetString(kPath, L"short", L"r"), ERROR_SUCCESS);
  OpenKey();
  std::vector<Text> values;
  EXPECT_EQ(key_.EnumValueNames(&values), ERROR_SUCCESS);
  EXPECT_EQ(values, std::vector<Text>{L"short"});
}

TEST_F(Part3_4_RegistryKey, CloseClearsAndIsIdempotent) {
  OpenKey();
  EXPECT_EQ(key_.Close(), ERROR_SUCCESS);
  EXPECT_FALSE(key_.IsOpen());
  EXPECT_EQ(key_.Close(), ERROR_SUCCESS);
}
