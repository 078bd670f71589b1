// Part 4.1 through the real lumbrex.dll: the port entry examples as the reading
// exports of Parts 4.2 and 4.3 report them.
#include "params/dll_test_support.h"

using namespace paramstest;
using namespace testsupport;

namespace {
class Part4_1_PortEntryThroughExports : public ParamsDllTest {
 protected:
  // The permission mask of port COM3 on the input side, or -1 when the getter fails.
  int MaskOf(const std::wstring& port) {
    Var result;
    if (BundlePortGetPermissions(Str(kBundle), 0, Str(port), result.get()) != 1) return -1;
    EXPECT_EQ(result->vt, VT_I4);
    return result->lVal;
  }
  int Dynamic(const std::wstring& port) { return BundleRealPortAreParametersDynamic(Str(kBundle), 0, Str(port)); }
};
}  // namespace

TEST_F(Part4_1_PortEntryThroughExports, UpperCaseEntryReadsLowerCasedAndParses) {
  Entry(L"COM3", L"R|9600,N,8,0,X|1|0");
  PresetLastError2();
  Five f;
  EXPECT_EQ(f.Get(Str(kBundle), 0, Str(L"COM3")), 1);
  EXPECT_EQ(f.baudrate, 9600);
  EXPECT_EQ(f.parity, 0);
  EXPECT_EQ(f.dataBits, 8);
  EXPECT_EQ(f.stopBits, 0);
  EXPECT_EQ(f.flowControl, 1);
  EXPECT_EQ(MaskOf(L"COM3"), 2);
  EXPECT_EQ(Dynamic(L"COM3"), 0);
  EXPECT_EQ(QKGetLastError(), 2u);
}

TEST_F(Part4_1_PortEntryThroughExports, EntriesWithoutBarAfterParametersReadAsDynamicWithMask3) {
  const wchar_t* entries[] = {L"r", L"r|", L"r|9600,n,8,0", L""};
  const wchar_t* ports[] = {L"P1", L"P2", L"P3", L"P4"};
  for (int i = 0; i < 4; ++i) Entry(ports[i], entries[i]);
  PresetLastError13();
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(MaskOf(ports[i]), 3) << entries[i];
    EXPECT_EQ(Dynamic(ports[i]), 1) << entries[i];
    Five f;
    EXPECT_EQ(f.Get(Str(kBundle), 0, Str(ports[i])), 0) << entries[i];
    EXPECT_TRUE(f.Untouched()) << entries[i];
  }
  EXPECT_EQ(QKGetLastError(), 13u);
}

TEST_F(Part4_1_PortEntryThroughExports, LeadingBarIsSkipped) {
  Entry(L"COM3", L"|r|9600,n,8,0|1|1");
  Five f;
  EXPECT_EQ(f.Get(Str(kBundle), 0, Str(L"COM3")), 1);
  EXPECT_EQ(f.baudrate, 9600);
  EXPECT_EQ(f.parity, 0);
  EXPECT_EQ(f.dataBits, 8);
  EXPECT_EQ(f.stopBits, 0);
  EXPECT_EQ(f.flowControl, kSentinel);
  EXPECT_EQ(MaskOf(L"COM3"), 3);
  EXPECT_EQ(Dynamic(L"COM3"), 0);
}

TEST_F(Part4_1_PortEntryThroughExports, FlagFieldExamples) {
  Entry(L"A", L"r||1|1");
  Entry(L"B", L"r|9600,n,8,0|");
  Entry(L"C", L"r|9600,n,8,0|1");
  Entry(L"D", L"r|9600,n,8,0|yes|1");
  EXPECT_EQ(MaskOf(L"A"), 3);
  EXPECT_EQ(Dynamic(L"A"), 1);
  EXPECT_EQ(MaskOf(L"B"), 0);
  EXPECT_EQ(Dynamic(L"B"), 0);
  EXPECT_EQ(MaskOf(L"C"), 2);
  EXPECT_EQ(MaskOf(L"D"), 1);
}

TEST_F(Part4_1_PortEntryThroughExports, DwordEntryGives13) {
  ASSERT_EQ(SetDword(SideKey(L"IN"), L"COM3", 3), ERROR_SUCCESS);
  PresetLastError2();
  Var result;
  *result = I4(kSentinel);
  EXPECT_EQ(BundlePortGetPermissions(Str(kBundle), 0, Str(L"COM3"), result.get()), 0);
  EXPECT_EQ(QKGetLastError(), 13u);
  EXPECT_EQ(result->vt, VT_I4);
  EXPECT_EQ(result->lVal, kSentinel);
}

TEST_F(Part4_1_PortEntryThroughExports, StringWithoutNulGives13) {
  ASSERT_EQ(SetStringWithoutNul(SideKey(L"IN"), L"COM3", L"r|9600,n,8,0|1|0"), ERROR_SUCCESS);
  PresetLastError2();
  Var result;
  *result = I4(kSentinel);
  EXPECT_EQ(BundlePortGetPermissions(Str(kBundle), 0, Str(L"COM3"), result.get()), 0);
  EXPECT_EQ(QKGetLastError(), 13u);
  EXPECT_EQ(result->lVal, kSentinel);
}

TEST_F(Part4_1_PortEntryThroughExports, MissingValueGives2) {
  Entry(L"COM4", L"r|9600,n,8,0|1|0");
  PresetLastError13();
  Var result;
  *result = I4(kSentinel);
  EXPECT_EQ(BundlePortGetPermissions(Str(kBundle), 0, Str(L"COM3"), result.get()), 0);
  EXPECT_EQ(QKGetLastError(), 2u);
  EXPECT_EQ(result->lVal, kSentinel);
}

// The readers of Part 4.2 do not look at the read status: an unreadable entry
// is empty parameter text, and the last-error code stays as it was.
TEST_F(Part4_1_PortEntryThroughExports, UnreadableEntriesAreEmptyTextForThePart4_2Readers) {
  ASSERT_EQ(SetDword(SideKey(L"IN"), L"D", 3), ERROR_SUCCESS);
  ASSERT_EQ(SetStringWithoutNul(SideKey(L"IN"), L"N", L"r|9600,n,8,0|1|0"), ERROR_SUCCESS);
  PresetLastError2();
  for (const wchar_t* port : {L"D", L"N"}) {
    EXPECT_EQ(Dynamic(port), 1) << port;
    Five f;
    EXPECT_EQ(f.Get(Str(kBundle), 0, Str(port)), 0) << port;
    EXPECT_TRUE(f.Untouched()) << port;
  }
  EXPECT_EQ(QKGetLastError(), 2u);
}

// ParsePortParameters's examples, stored as entries and read with the export:
// the outputs that the parser reaches are written, the others keep the sentinel.
TEST_F(Part4_1_PortEntryThroughExports, ParserExamplesThroughBundleGetRealPortParameters) {
  struct Case {
    const wchar_t* params;
    int result, baudrate, parity, dataBits, stopBits, flowControl;
  } cases[] = {
      {L"9600", 0, kSentinel, kSentinel, kSentinel, kSentinel, kSentinel},
      {L"9600,n", 0, 9600, kSentinel, kSentinel, kSentinel, kSentinel},
      {L"9600,n,8", 0, 9600, 0, kSentinel, kSentinel, kSentinel},
      {L"9600,n,8,", 1, 9600, 0, 8, 0, kSentinel},
      {L"9600,q,8,1", 1, 9600, kSentinel, 8, 1, kSentinel},
      {L"abc,n,8,1", 1, 0, 0, 8, 1, kSentinel},
      {L"9600,n,8,1,p", 1, 9600, 0, 8, 1, 2},
      {L"9600,n,8,1,z", 1, 9600, 0, 8, 1, 0},
      {L"0,n,12,7", 1, 0, 0, 12, 7, kSentinel},
      {L" +19200,S,7,2,X", 1, 19200, 4, 7, 2, 1},
  };
  PresetLastError2();
  for (const auto& c : cases) {
    Entry(L"COM3", std::wstring(L"r|") + c.params + L"|1|1");
    Five f;
    EXPECT_EQ(f.Get(Str(kBundle), 0, Str(L"COM3")), c.result) << c.params;
    EXPECT_EQ(f.baudrate, c.baudrate) << c.params;
    EXPECT_EQ(f.parity, c.parity) << c.params;
    EXPECT_EQ(f.dataBits, c.dataBits) << c.params;
    EXPECT_EQ(f.stopBits, c.stopBits) << c.params;
    EXPECT_EQ(f.flowControl, c.flowControl) << c.params;
  }
  EXPECT_EQ(QKGetLastError(), 2u);
}
