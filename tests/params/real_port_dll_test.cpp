// Part 4.2: the reading exports of the real port parameters, through the real
// lumbrex.dll against registry fixtures.
#include "params/dll_test_support.h"

using namespace paramstest;
using namespace testsupport;

namespace {
class Part4_2_BundleRealPortAreParametersDynamic : public ParamsDllTest {};
class Part4_2_BundleGetRealPortParameters : public ParamsDllTest {};
const std::wstring k33(33, L'A');
const std::wstring k34(34, L'A');
}  // namespace

// ---- BundleRealPortAreParametersDynamic -----------------------------------

TEST_F(Part4_2_BundleRealPortAreParametersDynamic, PortWithoutEntryGives1AndLeavesLastError) {
  Entry(L"COM4", L"r|9600,n,8,0|1|1");
  PresetLastError13();
  EXPECT_EQ(BundleRealPortAreParametersDynamic(Str(kBundle), 0, Str(L"COM3")), 1);
  EXPECT_EQ(QKGetLastError(), 13u);
}

TEST_F(Part4_2_BundleRealPortAreParametersDynamic, MissingSideKeyOrBundleGives1) {
  Entry(L"COM3", L"r|9600,n,8,0|1|1");
  PresetLastError13();
  EXPECT_EQ(BundleRealPortAreParametersDynamic(Str(kBundle), 1, Str(L"COM3")), 1);
  EXPECT_EQ(BundleRealPortAreParametersDynamic(Str(L"NoSuchParamsBundle"), 0, Str(L"COM3")), 1);
  EXPECT_EQ(QKGetLastError(), 13u);
}

TEST_F(Part4_2_BundleRealPortAreParametersDynamic, FixedParametersGive0AndLeaveLastError) {
  Entry(L"COM3", L"r|9600,n,8,0|1|1");
  PresetLastError2();
  EXPECT_EQ(BundleRealPortAreParametersDynamic(Str(kBundle), 0, Str(L"COM3")), 0);
  EXPECT_EQ(QKGetLastError(), 2u);
}

TEST_F(Part4_2_BundleRealPortAreParametersDynamic, EmptyParameterTextGives1) {
  Entry(L"COM3", L"r||0|0");
  EXPECT_EQ(BundleRealPortAreParametersDynamic(Str(kBundle), 0, Str(L"COM3")), 1);
}

TEST_F(Part4_2_BundleRealPortAreParametersDynamic, Side1ReadsTheOutputSide) {
  Entry(L"COM3", L"r||1|1", L"IN");
  Entry(L"COM3", L"r|9600,n,8,0|1|1", L"OUT");
  EXPECT_EQ(BundleRealPortAreParametersDynamic(Str(kBundle), 0, Str(L"COM3")), 1);
  EXPECT_EQ(BundleRealPortAreParametersDynamic(Str(kBundle), 1, Str(L"COM3")), 0);
}

TEST_F(Part4_2_BundleRealPortAreParametersDynamic, PortNameOf34CharactersFails13) {
  PresetLastError2();
  EXPECT_EQ(BundleRealPortAreParametersDynamic(Str(kBundle), 0, Str(k34)), 0);
  EXPECT_EQ(QKGetLastError(), 13u);
}

TEST_F(Part4_2_BundleRealPortAreParametersDynamic, PortNameOf33CharactersIsRead) {
  Entry(k33, L"r|9600,n,8,0|1|1");
  EXPECT_EQ(BundleRealPortAreParametersDynamic(Str(kBundle), 0, Str(k33)), 0);
}

TEST_F(Part4_2_BundleRealPortAreParametersDynamic, InvalidPortNamesFail13EvenWithAnEntry) {
  for (const wchar_t* port : {L"", L"COM 1", L" COM1", L"COM-1"}) {
    Entry(port, L"r||1|1");
    PresetLastError2();
    EXPECT_EQ(BundleRealPortAreParametersDynamic(Str(kBundle), 0, Str(port)), 0) << port;
    EXPECT_EQ(QKGetLastError(), 13u) << port;
  }
}

TEST_F(Part4_2_BundleRealPortAreParametersDynamic, Side2Fails13BeforeAnythingIsRead) {
  // A read would give 1 (no entry); the refusal gives 0.
  for (int side : {2, -1, 256}) {
    PresetLastError2();
    EXPECT_EQ(BundleRealPortAreParametersDynamic(Str(kBundle), side, Str(L"COM3")), 0) << side;
    EXPECT_EQ(QKGetLastError(), 13u) << side;
  }
}

TEST_F(Part4_2_BundleRealPortAreParametersDynamic, NonStringBundleOrPortFails13) {
  PresetLastError2();
  EXPECT_EQ(BundleRealPortAreParametersDynamic(I4(1), 0, Str(L"COM3")), 0);
  EXPECT_EQ(QKGetLastError(), 13u);
  PresetLastError2();
  EXPECT_EQ(BundleRealPortAreParametersDynamic(Str(kBundle), 0, I4(3)), 0);
  EXPECT_EQ(QKGetLastError(), 13u);
  PresetLastError2();
  EXPECT_EQ(BundleRealPortAreParametersDynamic(Str(kBundle), 0, OfType(VT_EMPTY)), 0);
  EXPECT_EQ(QKGetLastError(), 13u);
}

TEST_F(Part4_2_BundleRealPortAreParametersDynamic, ByReferenceStringsAreAccepted) {
  Entry(L"COM3", L"r|9600,n,8,0|1|1");
  BSTR bundle = SysAllocString(kBundle.c_str());
  BSTR port = SysAllocString(L"COM3");
  Var b, p;
  *b = ByRefBstr(&bundle);
  *p = ByRefBstr(&port);
  // The export converts its by-value copies in place (Part 1.1 string rule);
  // the referenced BSTRs stay the caller's.
  EXPECT_EQ(BundleRealPortAreParametersDynamic(*b, 0, *p), 0);
  SysFreeString(bundle);
  SysFreeString(port);
}

TEST_F(Part4_2_BundleRealPortAreParametersDynamic, DwordEntryReadsAsDynamic) {
  ASSERT_EQ(SetDword(SideKey(L"IN"), L"COM3", 1), ERROR_SUCCESS);
  PresetLastError13();
  EXPECT_EQ(BundleRealPortAreParametersDynamic(Str(kBundle), 0, Str(L"COM3")), 1);
  EXPECT_EQ(QKGetLastError(), 13u);
}

// ---- BundleGetRealPortParameters -------------------------------------------

TEST_F(Part4_2_BundleGetRealPortParameters, ReadsAllFiveParameters) {
  Entry(L"COM3", L"r|115200,e,7,2,p|1|1");
  PresetLastError2();
  Five f;
  EXPECT_EQ(f.Get(Str(kBundle), 0, Str(L"COM3")), 1);
  EXPECT_EQ(f.baudrate, 115200);
  EXPECT_EQ(f.parity, 2);
  EXPECT_EQ(f.dataBits, 7);
  EXPECT_EQ(f.stopBits, 2);
  EXPECT_EQ(f.flowControl, 2);
  EXPECT_EQ(QKGetLastError(), 2u);
}

TEST_F(Part4_2_BundleGetRealPortParameters, EmptyParameterTextGives0AndTouchesNothing) {
  Entry(L"COM3", L"r||1|1");
  PresetLastError2();
  Five f;
  EXPECT_EQ(f.Get(Str(kBundle), 0, Str(L"COM3")), 0);
  EXPECT_TRUE(f.Untouched());
  EXPECT_EQ(QKGetLastError(), 2u);
}

TEST_F(Part4_2_BundleGetRealPortParameters, MissingPortGives0AndTouchesNothing) {
  Entry(L"COM4", L"r|115200,e,7,2,p|1|1");
  PresetLastError13();
  Five f;
  EXPECT_EQ(f.Get(Str(kBundle), 0, Str(L"COM3")), 0);
  EXPECT_TRUE(f.Untouched());
  EXPECT_EQ(QKGetLastError(), 13u);
  EXPECT_EQ(f.Get(Str(L"NoSuchParamsBundle"), 0, Str(L"COM3")), 0);
  EXPECT_TRUE(f.Untouched());
  EXPECT_EQ(QKGetLastError(), 13u);
}

TEST_F(Part4_2_BundleGetRealPortParameters, Side1ReadsTheOutputSide) {
  Entry(L"COM3", L"r|9600,n,8,0|1|1", L"IN");
  Entry(L"COM3", L"r|19200,o,7,1,x|1|1", L"OUT");
  Five f;
  EXPECT_EQ(f.Get(Str(kBundle), 1, Str(L"COM3")), 1);
  EXPECT_EQ(f.baudrate, 19200);
  EXPECT_EQ(f.parity, 1);
  EXPECT_EQ(f.dataBits, 7);
  EXPECT_EQ(f.stopBits, 1);
  EXPECT_EQ(f.flowControl, 1);
}

TEST_F(Part4_2_BundleGetRealPortParameters, Side2Fails13BeforeAnythingIsRead) {
  Entry(L"COM3", L"r|115200,e,7,2,p|1|1", L"IN");
  Entry(L"COM3", L"r|115200,e,7,2,p|1|1", L"OUT");
  for (int side : {2, -1, 7}) {
    PresetLastError2();
    Five f;
    EXPECT_EQ(f.Get(Str(kBundle), side, Str(L"COM3")), 0) << side;
    EXPECT_TRUE(f.Untouched()) << side;
    EXPECT_EQ(QKGetLastError(), 13u) << side;
  }
}

TEST_F(Part4_2_BundleGetRealPortParameters, NullOutputFails13AndWritesNothing) {
  Entry(L"COM3", L"r|115200,e,7,2,p|1|1");
  for (int missing = 0; missing < 5; ++missing) {
    PresetLastError2();
    int out[5] = {kSentinel, kSentinel, kSentinel, kSentinel, kSentinel};
    int* p[5] = {&out[0], &out[1], &out[2], &out[3], &out[4]};
    p[missing] = nullptr;
    EXPECT_EQ(BundleGetRealPortParameters(Str(kBundle), 0, Str(L"COM3"), p[0], p[1], p[2], p[3], p[4]), 0)
        << missing;
    EXPECT_EQ(QKGetLastError(), 13u) << missing;
    for (int i = 0; i < 5; ++i) EXPECT_EQ(out[i], kSentinel) << missing << " " << i;
  }
}

TEST_F(Part4_2_BundleGetRealPortParameters, PortNameIsNotCheckedForValidity) {
  Entry(k34, L"r|1200,m,5,0|1|1");
  Entry(L"COM 1", L"r|2400,s,6,1|1|1");
  Five f;
  EXPECT_EQ(f.Get(Str(kBundle), 0, Str(k34)), 1);
  EXPECT_EQ(f.baudrate, 1200);
  EXPECT_EQ(f.parity, 3);
  Five g;
  EXPECT_EQ(g.Get(Str(kBundle), 0, Str(L"COM 1")), 1);
  EXPECT_EQ(g.baudrate, 2400);
  EXPECT_EQ(g.parity, 4);
  EXPECT_EQ(g.dataBits, 6);
}

TEST_F(Part4_2_BundleGetRealPortParameters, NonStringBundleOrPortFails13AndWritesNothing) {
  Entry(L"COM3", L"r|115200,e,7,2,p|1|1");
  PresetLastError2();
  Five f;
  EXPECT_EQ(f.Get(I4(5), 0, Str(L"COM3")), 0);
  EXPECT_EQ(QKGetLastError(), 13u);
  PresetLastError2();
  EXPECT_EQ(f.Get(Str(kBundle), 0, OfType(VT_NULL)), 0);
  EXPECT_EQ(QKGetLastError(), 13u);
  EXPECT_TRUE(f.Untouched());
}

TEST_F(Part4_2_BundleGetRealPortParameters, NamesAreMatchedWithoutRegardToCase) {
  Entry(L"COM3", L"R|4800,N,8,1|1|1");
  Five f;
  EXPECT_EQ(f.Get(Str(L"paramsdllbundle"), 0, Str(L"com3")), 1);
  EXPECT_EQ(f.baudrate, 4800);
}

TEST_F(Part4_2_BundleGetRealPortParameters, FormattedTextRoundTripsThroughTheRegistry) {
  // Texts as FormatPortParameters writes them (capitals), read back lower-cased.
  Entry(L"COM3", L"R|19200,E,7,1,X|1|0");
  Entry(L"COM5", L"R|-1,S,8,2|0|0");
  Five f;
  EXPECT_EQ(f.Get(Str(kBundle), 0, Str(L"COM3")), 1);
  EXPECT_EQ(f.baudrate, 19200);
  EXPECT_EQ(f.parity, 2);
  EXPECT_EQ(f.dataBits, 7);
  EXPECT_EQ(f.stopBits, 1);
  EXPECT_EQ(f.flowControl, 1);
  Five g;
  EXPECT_EQ(g.Get(Str(kBundle), 0, Str(L"COM5")), 1);
  EXPECT_EQ(g.baudrate, -1);
  EXPECT_EQ(g.parity, 4);
  EXPECT_EQ(g.stopBits, 2);
  EXPECT_EQ(g.flowControl, kSentinel);
}
