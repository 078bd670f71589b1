// Part 3.3: the five option getters through the real lumbrex.dll.
#include <gtest/gtest.h>

#include "config_fixture.h"
#include "lumbrex.h"

using namespace testsupport;
using namespace configtest;

namespace {
using Getter = int(WINAPI*)(unsigned int*);
struct RootOption {
  const wchar_t* name;
  Getter getter;
};
const RootOption kRootOptions[] = {{L"AutoOpen", OptionGetPortsAutoOpen},
                                   {L"IgnoreError", OptionGetIgnoreErrorsOnPortCreation},
                                   {L"Prints", OptionGetPortToPrint},
                                   {L"SendDataOnlyMainPort", OptionGetIfSendToMainSet}};

class Part3_3_OptionGetters : public ::testing::Test {
 protected:
  ConfigTree tree_;
};
}  // namespace

TEST_F(Part3_3_OptionGetters, AutoOpenStoredAs5Delivers5) {
  ASSERT_EQ(SetDword(kRoot, L"AutoOpen", 5, kView32), ERROR_SUCCESS);
  unsigned int value = 0;
  EXPECT_EQ(OptionGetPortsAutoOpen(&value), 1);
  EXPECT_EQ(value, 5u);
}

TEST_F(Part3_3_OptionGetters, EachGetterReadsItsOwnValueUnchanged) {
  const unsigned int stored[] = {0, 2, 0xFFFFFFFFu, 0x80000000u};
  for (size_t i = 0; i < 4; ++i) ASSERT_EQ(SetDword(kRoot, kRootOptions[i].name, stored[i], kView32), ERROR_SUCCESS);
  ASSERT_EQ(SetDword(kDriverKey, L"StrictBaudrate", 7), ERROR_SUCCESS);
  ASSERT_EQ(OptionGetPortsAutoOpen(nullptr), 0);  // puts 13 in the last-error code
  for (size_t i = 0; i < 4; ++i) {
    unsigned int value = 12345;
    EXPECT_EQ(kRootOptions[i].getter(&value), 1) << kRootOptions[i].name;
    EXPECT_EQ(value, stored[i]) << kRootOptions[i].name;
  }
  unsigned int value = 12345;
  EXPECT_EQ(OptionGetBaudrateEmulation(&value), 1);
  EXPECT_EQ(value, 7u);
  EXPECT_EQ(QKGetLastError(), 13u);  // successes leave it as it was
}

TEST_F(Part3_3_OptionGetters, RootPresentOnlyInThe64BitViewFailsWith2WhileBaudrateEmulationWorks) {
  for (const RootOption& option : kRootOptions) ASSERT_EQ(SetDword(kRoot, option.name, 1, kView64), ERROR_SUCCESS);
  ASSERT_EQ(SetDword(kDriverKey, L"StrictBaudrate", 1), ERROR_SUCCESS);
  for (const RootOption& option : kRootOptions) {
    unsigned int value = 77;
    EXPECT_EQ(option.getter(&value), 0) << option.name;
    EXPECT_EQ(QKGetLastError(), 2u) << option.name;
    EXPECT_EQ(value, 77u) << option.name;
  }
  unsigned int value = 77;
  EXPECT_EQ(OptionGetBaudrateEmulation(&value), 1);
  EXPECT_EQ(value, 1u);
}

TEST_F(Part3_3_OptionGetters, MissingValueFailsWith2AndLeavesTheIntegerAlone) {
  ASSERT_EQ(CreateKey(kRoot, kView32), ERROR_SUCCESS);
  ASSERT_EQ(CreateKey(kDriverKey), ERROR_SUCCESS);
  for (const RootOption& option : kRootOptions) {
    unsigned int value = 77;
    EXPECT_EQ(option.getter(&value), 0) << option.name;
    EXPECT_EQ(QKGetLastError(), 2u);
    EXPECT_EQ(value, 77u);
  }
  unsigned int value = 77;
  EXPECT_EQ(OptionGetBaudrateEmulation(&value), 0);
  EXPECT_EQ(QKGetLastError(), 2u);
  EXPECT_EQ(value, 77u);
}

TEST_F(Part3_3_OptionGetters, MissingDriverKeyFailsWith2) {
  unsigned int value = 77;
  EXPECT_EQ(OptionGetBaudrateEmulation(&value), 0);
  EXPECT_EQ(QKGetLastError(), 2u);
  EXPECT_EQ(value, 77u);
}

TEST_F(Part3_3_OptionGetters, ValuesOfOtherTypesFail) {
  const uint32_t four = 1;
  const uint64_t eight = 1;
  struct Case {
    DWORD type;
    const void* data;
    DWORD size;
    unsigned code;
  } cases[] = {{REG_BINARY, &four, 4, 13}, {REG_QWORD, &eight, 8, 234}, {REG_SZ, L"1", 4, 13},
               {REG_SZ, L"12345", 12, 234}, {REG_DWORD_BIG_ENDIAN, &four, 4, 13}, {REG_BINARY, &eight, 8, 234}};
  for (const Case& c : cases) {
    for (const RootOption& option : kRootOptions) {
      ASSERT_EQ(SetRaw(kRoot, option.name, c.type, c.data, c.size, kView32), ERROR_SUCCESS);
      unsigned int value = 77;
      EXPECT_EQ(option.getter(&value), 0) << option.name << c.type;
      EXPECT_EQ(QKGetLastError(), c.code) << option.name << c.type;
      EXPECT_EQ(value, 77u);
    }
    ASSERT_EQ(SetRaw(kDriverKey, L"StrictBaudrate", c.type, c.data, c.size), ERROR_SUCCESS);
    unsigned int value = 77;
    EXPECT_EQ(OptionGetBaudrateEmulation(&value), 0) << c.type;
    EXPECT_EQ(QKGetLastError(), c.code) << c.type;
    EXPECT_EQ(value, 77u);
  }
}

TEST_F(Part3_3_OptionGetters, StrictBaudrateIsNotReadFromTheRootKey) {
  ASSERT_EQ(SetDword(kRoot, L"StrictBaudrate", 1, kView32), ERROR_SUCCESS);
  ASSERT_EQ(SetDword(kRoot, L"StrictBaudrate", 1, kView64), ERROR_SUCCESS);
  unsigned int value = 77;
  EXPECT_EQ(OptionGetBaudrateEmulation(&value), 0);
  EXPECT_EQ(QKGetLastError(), 2u);
}

TEST_F(Part3_3_OptionGetters, NullPointerIsRefusedWith13) {
  ASSERT_EQ(SetDword(kRoot, L"Prints", 1, kView32), ERROR_SUCCESS);
  ASSERT_EQ(SetDword(kDriverKey, L"StrictBaudrate", 1), ERROR_SUCCESS);
  for (Getter getter : {OptionGetPortsAutoOpen, OptionGetIgnoreErrorsOnPortCreation, OptionGetPortToPrint,
                        OptionGetIfSendToMainSet, OptionGetBaudrateEmulation}) {
    unsigned int dummy = 0;
    ASSERT_EQ(OptionGetIfSendToMainSet(&dummy), 0);  // missing value: the code is 2 now
    ASSERT_EQ(QKGetLastError(), 2u);
    EXPECT_EQ(getter(nullptr), 0);
    EXPECT_EQ(QKGetLastError(), 13u);
  }
}
