// The names' rules shared by lumbrexctl and the stand-in service: which names
// are one name (in UTF-8 as the documents hold them and in UTF-16 as the
// exports and the registry do, alike), and which can never travel in a command.
#include <gtest/gtest.h>

#include "common/name_rules.h"

namespace {

// The UTF-16 form of a UTF-8 text whose characters are all in the BMP.
lumbrex::Text Utf16(std::string_view utf8) {
  const std::u32string folded = lumbrex::FoldedName(utf8);  // case aside, the code points
  lumbrex::Text text;
  size_t at = 0;
  for (size_t i = 0; i < utf8.size(); i = at) {
    const unsigned char lead = static_cast<unsigned char>(utf8[i]);
    const size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : 3;
    char32_t c = length == 1 ? lead : length == 2 ? lead & 0x1F : lead & 0x0F;
    for (size_t k = 1; k < length; ++k) c = (c << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    text.push_back(static_cast<lumbrex::Char16>(c));
    at = i + length;
  }
  EXPECT_EQ(lumbrex::FoldedName(lumbrex::TextView(text)), folded);
  return text;
}

TEST(NameRules, NamesCompareAsTheServiceComparesThem) {
  const struct {
    const char *a, *b;
    bool same;
  } cases[] = {
      {"COM1", "com1", true},       {"\xC3\x89T\xC3\x89", "\xC3\xA9t\xC3\xA9", true},  // ÉTÉ, été
      {"\xC5\x81", "\xC5\x82", true},                                                  // Ł, ł
      {"\xD0\x9F\xD0\x9E", "\xD0\xBF\xD0\xBE", true},                                  // ПО, по
      {"\xD4\xB1", "\xD5\xA1", true},                                                  // Armenian Ա, ա
      {"\xC5\x81ukasz", "Lukasz", false},                                              // Łukasz: no look-alike
      {"\xC4\xB0", "i", false},                                                        // İ stays apart
      {"STRASSE", "stra\xC3\x9F" "e", false},                                          // straße
      {"COM1", "COM10", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(lumbrex::SameName(c.a, c.b), c.same) << c.a << " " << c.b;
    EXPECT_EQ(lumbrex::SameName(Utf16(c.a), Utf16(c.b)), c.same) << c.a << " " << c.b;
  }
  EXPECT_FALSE(lumbrex::SameName("a\xFF", "a\xFE"));  // malformed bytes stay apart
  const lumbrex::Char16 lone[] = {0xD800, 0}, other[] = {0xD801, 0};
  EXPECT_FALSE(lumbrex::SameName(lumbrex::TextView(lone), lumbrex::TextView(other)));
}

// The part of the road's check that holds on every machine; the code page's
// part is checked under Wine (the configuration tests).
TEST(NameRules, WhatNoNameCarriesInACommand) {
  const struct {
    const char* name;
    const char *asName, *asApplication;  // a word of the reason, or null when it passes
  } cases[] = {
      {"Demo", nullptr, nullptr},
      {"x!DEL_BUNDLE Victim", "'!'", nullptr},  // the library escapes "!" in application names
      {"a,b", "','", nullptr},
      {"a\nb", "control", "control"},
      {"a\xC2\x85" "b", "control", "control"},  // U+0085, a C1 control
      {"\xD0\x9F\xD1\x80\xD0\xB8", nullptr, nullptr},  // Cyrillic: the code page decides
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    for (const bool application : {false, true}) {
      const char* expected = application ? c.asApplication : c.asName;
      const char* got = lumbrex::NameTextProblem(std::string_view(c.name), application);
      const char* got16 = lumbrex::NameTextProblem(lumbrex::TextView(Utf16(c.name)), application);
      EXPECT_EQ(got16 == nullptr ? std::string() : got16, got == nullptr ? std::string() : got);
      if (expected == nullptr) EXPECT_EQ(got, nullptr) << got;
      else EXPECT_NE(std::string(got == nullptr ? "" : got).find(expected), std::string::npos);
    }
  }
}

}  // namespace
