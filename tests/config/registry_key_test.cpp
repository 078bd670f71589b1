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

TEST_F(Part3_4_RegistryKey, ExpandStringWithoutFinalNulGives13) {
  std::vector<wchar_t> data = {L'a', L'b', L'\x7F7F'};
  ASSERT_EQ(SetRaw(kPath, L"v", REG_EXPAND_SZ, data.data(), 4), ERROR_SUCCESS);
  OpenKey();
  Text text = L"untouched";
  EXPECT_EQ(key_.QueryString(L"v", &text), ERROR_INVALID_DATA);
  EXPECT_EQ(text, L"untouched");
}

TEST_F(Part3_4_RegistryKey, StringOfOneByteGives234) {
  const char bytes[2] = {'a', 0x7F};
  ASSERT_EQ(SetRaw(kPath, L"v", REG_SZ, bytes, 1), ERROR_SUCCESS);
  OpenKey();
  Text text = L"untouched";
  EXPECT_EQ(key_.QueryString(L"v", &text), ERROR_MORE_DATA);
  EXPECT_EQ(text, L"untouched");
}

TEST_F(Part3_4_RegistryKey, StringOfOtherTypesGives13) {
  const wchar_t multi[] = L"a\0b\0";
  ASSERT_EQ(SetRaw(kPath, L"multi", REG_MULTI_SZ, multi, sizeof(multi)), ERROR_SUCCESS);
  ASSERT_EQ(SetRaw(kPath, L"bin", REG_BINARY, L"ab", 6), ERROR_SUCCESS);
  const uint64_t wide = 1;
  ASSERT_EQ(SetRaw(kPath, L"q", REG_QWORD, &wide, 8), ERROR_SUCCESS);
  ASSERT_EQ(SetRaw(kPath, L"none", REG_NONE, nullptr, 0), ERROR_SUCCESS);
  OpenKey();
  Text text;
  for (const wchar_t* name : {L"multi", L"bin", L"q", L"none"}) {
    EXPECT_EQ(key_.QueryString(name, &text), ERROR_INVALID_DATA) << name;
  }
}

TEST_F(Part3_4_RegistryKey, DwordOfOtherTypesAndSizes) {
  const uint32_t four = 0x01020304;
  ASSERT_EQ(SetRaw(kPath, L"big", REG_DWORD_BIG_ENDIAN, &four, 4), ERROR_SUCCESS);
  ASSERT_EQ(SetString(kPath, L"sz", L"1"), ERROR_SUCCESS);       // 4 bytes of REG_SZ
  ASSERT_EQ(SetString(kPath, L"long", L"12345"), ERROR_SUCCESS); // 12 bytes
  ASSERT_EQ(SetRaw(kPath, L"short", REG_DWORD, &four, 2), ERROR_SUCCESS);
  OpenKey();
  uint32_t value = 7;
  EXPECT_EQ(key_.QueryDword(L"big", &value), ERROR_INVALID_DATA);
  EXPECT_EQ(key_.QueryDword(L"sz", &value), ERROR_INVALID_DATA);
  EXPECT_EQ(key_.QueryDword(L"long", &value), ERROR_MORE_DATA);
  EXPECT_EQ(value, 7u);
  // A REG_DWORD shorter than four bytes: the bytes stored, the rest 0.
  EXPECT_EQ(key_.QueryDword(L"short", &value), ERROR_SUCCESS);
  EXPECT_EQ(value, 0x0304u);
}

TEST_F(Part3_4_RegistryKey, EmptyKeyEnumeratesNothing) {
  OpenKey();
  std::vector<Text> subkeys, values;
  EXPECT_EQ(key_.EnumSubkeyNames(&subkeys), ERROR_SUCCESS);
  EXPECT_EQ(key_.EnumValueNames(&values), ERROR_SUCCESS);
  EXPECT_TRUE(subkeys.empty());
  EXPECT_TRUE(values.empty());
}

TEST_F(Part3_4_RegistryKey, EnumerationsAppendToTheList) {
  ASSERT_EQ(SetString(kPath, L"v", L"r"), ERROR_SUCCESS);
  OpenKey();
  std::vector<Text> values = {L"before"};
  EXPECT_EQ(key_.EnumValueNames(&values), ERROR_SUCCESS);
  EXPECT_EQ(values, (std::vector<Text>{L"before", L"v"}));
}

TEST_F(Part3_4_RegistryKey, UnnamedValueEnumeratesAsAnEmptyName) {
  ASSERT_EQ(SetString(kPath, L"", L"r"), ERROR_SUCCESS);
  OpenKey();
  std::vector<Text> values;
  EXPECT_EQ(key_.EnumValueNames(&values), ERROR_SUCCESS);
  EXPECT_EQ(values, std::vector<Text>{L""});
}

TEST_F(Part3_4_RegistryKey, ValueNameOf127CharactersFitsTheBuffer) {
  ASSERT_EQ(SetString(kPath, std::wstring(127, L'n'), L"r"), ERROR_SUCCESS);
  ASSERT_EQ(SetString(kPath, std::wstring(128, L'm'), L"r"), ERROR_SUCCESS);
  OpenKey();
  std::vector<Text> values;
  EXPECT_EQ(key_.EnumValueNames(&values), ERROR_SUCCESS);
  EXPECT_EQ(values, std::vector<Text>{std::wstring(127, L'n')});
}

TEST_F(Part3_4_RegistryKey, ViewIsChosenByTheAccessMask) {
  ScopedTree tree32{L"Software\\LumbrexTests", kView32};
  ASSERT_EQ(SetDword(kPath, L"d", 64, kView64), ERROR_SUCCESS);
  ASSERT_EQ(SetDword(kPath, L"d", 32, kView32), ERROR_SUCCESS);
  uint32_t value = 0;
  ASSERT_EQ(key_.Open(kPath, KEY_READ | KEY_WOW64_32KEY), ERROR_SUCCESS);
  EXPECT_EQ(key_.QueryDword(L"d", &value), ERROR_SUCCESS);
  EXPECT_EQ(value, 32u);
  ASSERT_EQ(key_.Open(kPath, KEY_READ), ERROR_SUCCESS);  // reopening closes the first handle
  EXPECT_EQ(key_.QueryDword(L"d", &value), ERROR_SUCCESS);
  EXPECT_EQ(value, 64u);
}

TEST_F(Part3_4_RegistryKey, FailedOpenLeavesTheKeyClosed) {
  OpenKey();
  EXPECT_EQ(key_.Open(kPath + L"\\missing", KEY_READ), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(key_.IsOpen());
}

// GetRealPortsList's read (Part 3.2 step 4): always gives a text.
TEST_F(Part3_4_RegistryKey, QueryStringAnywayReadsStrings) {
  ASSERT_EQ(SetString(kPath, L"sz", L"COM1"), ERROR_SUCCESS);
  ASSERT_EQ(SetString(kPath, L"exp", L"%X%", REG_EXPAND_SZ), ERROR_SUCCESS);
  const wchar_t cut[] = L"COM7\0junk";
  ASSERT_EQ(SetRaw(kPath, L"cut", REG_SZ, cut, sizeof(cut)), ERROR_SUCCESS);
  ASSERT_EQ(SetRaw(kPath, L"empty", REG_SZ, L"", 0), ERROR_SUCCESS);
  OpenKey();
  Text text = L"old";
  EXPECT_EQ(key_.QueryStringAnyway(L"sz", &text), ERROR_SUCCESS);
  EXPECT_EQ(text, L"COM1");
  EXPECT_EQ(key_.QueryStringAnyway(L"exp", &text), ERROR_SUCCESS);
  EXPECT_EQ(text, L"%X%");
  EXPECT_EQ(key_.QueryStringAnyway(L"cut", &text), ERROR_SUCCESS);
  EXPECT_EQ(text, L"COM7");
  EXPECT_EQ(key_.QueryStringAnyway(L"empty", &text), ERROR_SUCCESS);
  EXPECT_EQ(text, L"");
}

TEST_F(Part3_4_RegistryKey, QueryStringAnywayStatusesAndTexts) {
  ASSERT_EQ(SetDword(kPath, L"dword", 5), ERROR_SUCCESS);
  ASSERT_EQ(SetRaw(kPath, L"bin0", REG_BINARY, nullptr, 0), ERROR_SUCCESS);
  ASSERT_EQ(SetStringWithoutNul(kPath, L"nonul", L"abc"), ERROR_SUCCESS);
  const char odd[6] = {'a', 0, 'b', 0, 0, 0x7F};
  ASSERT_EQ(SetRaw(kPath, L"odd", REG_SZ, odd, 5), ERROR_SUCCESS);
  OpenKey();
  Text text = L"old";
  // Non-string data: the text is sized to 0 characters, the second query too short.
  EXPECT_EQ(key_.QueryStringAnyway(L"dword", &text), ERROR_MORE_DATA);
  EXPECT_EQ(text, L"");
  text = L"old";
  EXPECT_EQ(key_.QueryStringAnyway(L"bin0", &text), ERROR_INVALID_DATA);  // fits, wrong type
  EXPECT_EQ(text, L"");
  EXPECT_EQ(key_.QueryStringAnyway(L"nonul", &text), ERROR_INVALID_DATA);
  EXPECT_EQ(text, L"abc");  // the text read is kept
  text = L"old";
  EXPECT_EQ(key_.QueryStringAnyway(L"odd", &text), ERROR_MORE_DATA);
  EXPECT_EQ(text, L"");
  text = L"old";
  EXPECT_EQ(key_.QueryStringAnyway(L"missing", &text), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(text, L"");
}
