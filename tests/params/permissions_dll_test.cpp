// Part 4.3: BundlePortGetPermissions through the real lumbrex.dll.
#include "params/dll_test_support.h"

using namespace paramstest;
using namespace testsupport;

namespace {
class Part4_3_BundlePortGetPermissions : public ParamsDllTest {
 protected:
  // The mask of a port on the input side (side 0), or -1 when the call fails.
  int MaskOf(const std::wstring& port, int side = 0) {
    Var result;
    if (BundlePortGetPermissions(Str(kBundle), side, Str(port), result.get()) != 1) return -1;
    EXPECT_EQ(result->vt, VT_I4);
    return result->lVal;
  }
};

// An object whose releases are counted, to see the result VARIANT cleared.
class CountingUnknown : public IUnknown {
 public:
  int releases = 0;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override {
    ++releases;
    return 1;
  }
};
}  // namespace

TEST_F(Part4_3_BundlePortGetPermissions, MaskExamples) {
  Entry(L"V1", L"v");
  Entry(L"A", L"r|9600,n,8,0|1|0");
  Entry(L"B", L"r|9600,n,8,0|0|1");
  Entry(L"C", L"r|9600,n,8,0|");
  PresetLastError2();
  EXPECT_EQ(MaskOf(L"V1"), 3);
  EXPECT_EQ(MaskOf(L"A"), 2);
  EXPECT_EQ(MaskOf(L"B"), 1);
  EXPECT_EQ(MaskOf(L"C"), 0);
  EXPECT_EQ(QKGetLastError(), 2u);  // success leaves the last error as it was
}

TEST_F(Part4_3_BundlePortGetPermissions, NullResultAddressReturns1AndWritesNothing) {
  Entry(L"COM3", L"r|9600,n,8,0|1|0");
  PresetLastError13();
  EXPECT_EQ(BundlePortGetPermissions(Str(kBundle), 0, Str(L"COM3"), nullptr), 1);
  EXPECT_EQ(QKGetLastError(), 13u);
}

TEST_F(Part4_3_BundlePortGetPermissions, NullResultAddressStillReportsAFailedRead) {
  PresetLastError13();
  EXPECT_EQ(BundlePortGetPermissions(Str(kBundle), 0, Str(L"COM3"), nullptr), 0);
  EXPECT_EQ(QKGetLastError(), 2u);
}

TEST_F(Part4_3_BundlePortGetPermissions, StringResultIsReleasedAndBecomesI4) {
  Entry(L"COM3", L"r|9600,n,8,0|0|1");
  Var result;
  *result = Bstr(L"previous content");
  EXPECT_EQ(BundlePortGetPermissions(Str(kBundle), 0, Str(L"COM3"), result.get()), 1);
  EXPECT_EQ(result->vt, VT_I4);
  EXPECT_EQ(result->lVal, 1);
}

TEST_F(Part4_3_BundlePortGetPermissions, ObjectResultIsReleasedOnce) {
  Entry(L"COM3", L"r|9600,n,8,0|1|1");
  CountingUnknown object;
  VARIANT result;
  VariantInit(&result);
  result.vt = VT_UNKNOWN;
  result.punkVal = &object;
  EXPECT_EQ(BundlePortGetPermissions(Str(kBundle), 0, Str(L"COM3"), &result), 1);
  EXPECT_EQ(object.releases, 1);
  EXPECT_EQ(result.vt, VT_I4);
  EXPECT_EQ(result.lVal, 3);
}

TEST_F(Part4_3_BundlePortGetPermissions, I4ResultIsOverwritten) {
  Entry(L"COM3", L"r|9600,n,8,0|1|0");
  Var result;
  *result = I4(kSentinel);
  EXPECT_EQ(BundlePortGetPermissions(Str(kBundle), 0, Str(L"COM3"), result.get()), 1);
  EXPECT_EQ(result->vt, VT_I4);
  EXPECT_EQ(result->lVal, 2);
}

TEST_F(Part4_3_BundlePortGetPermissions, ResultThatCannotBeClearedIsLeftAndFails13) {
  Entry(L"COM3", L"r|9600,n,8,0|1|0");
  PresetLastError2();
  VARIANT result;
  VariantInit(&result);
  result.vt = 0x7FFF;  // no VARIANT type: VariantClear refuses it
  result.llVal = 0x1234;
  EXPECT_EQ(BundlePortGetPermissions(Str(kBundle), 0, Str(L"COM3"), &result), 0);
  EXPECT_EQ(QKGetLastError(), 13u);
  EXPECT_EQ(result.vt, 0x7FFF);
  EXPECT_EQ(result.llVal, 0x1234);
}

TEST_F(Part4_3_BundlePortGetPermissions, Side0ReadsInAndEveryOtherSideReadsOut) {
  Entry(L"COM3", L"r|9600,n,8,0|0|1", L"IN");
  Entry(L"COM3", L"r|9600,n,8,0|1|0", L"OUT");
  EXPECT_EQ(MaskOf(L"COM3", 0), 1);
  EXPECT_EQ(MaskOf(L"COM3", 7), 2);
  EXPECT_EQ(MaskOf(L"COM3", 1), 2);
  EXPECT_EQ(MaskOf(L"COM3", 2), 2);
  EXPECT_EQ(MaskOf(L"COM3", -1), 2);
}

TEST_F(Part4_3_BundlePortGetPermissions, Side7WithoutAnOutKeyFailsWith2) {
  Entry(L"COM3", L"r|9600,n,8,0|0|1", L"IN");
  PresetLastError13();
  Var result;
  *result = I4(kSentinel);
  EXPECT_EQ(BundlePortGetPermissions(Str(kBundle), 7, Str(L"COM3"), result.get()), 0);
  EXPECT_EQ(QKGetLastError(), 2u);
  EXPECT_EQ(result->lVal, kSentinel);
}

TEST_F(Part4_3_BundlePortGetPermissions, PortWithoutEntryFails2AndLeavesTheResult) {
  Entry(L"COM4", L"r|9600,n,8,0|0|1");
  PresetLastError13();
  Var result;
  *result = Bstr(L"kept");
  const BSTR kept = result->bstrVal;
  EXPECT_EQ(BundlePortGetPermissions(Str(kBundle), 0, Str(L"COM3"), result.get()), 0);
  EXPECT_EQ(QKGetLastError(), 2u);
  EXPECT_EQ(result->vt, VT_BSTR);
  EXPECT_EQ(result->bstrVal, kept);
}

TEST_F(Part4_3_BundlePortGetPermissions, MissingBundleFails2) {
  PresetLastError13();
  Var result;
  EXPECT_EQ(BundlePortGetPermissions(Str(L"NoSuchParamsBundle"), 0, Str(L"COM3"), result.get()), 0);
  EXPECT_EQ(QKGetLastError(), 2u);
  EXPECT_EQ(result->vt, VT_EMPTY);
}

TEST_F(Part4_3_BundlePortGetPermissions, UnreadableEntriesFail13) {
  ASSERT_EQ(SetDword(SideKey(L"IN"), L"D", 3), ERROR_SUCCESS);
  ASSERT_EQ(SetStringWithoutNul(SideKey(L"IN"), L"N", L"r|9600,n,8,0|1|1"), ERROR_SUCCESS);
  for (const wchar_t* port : {L"D", L"N"}) {
    PresetLastError2();
    Var result;
    EXPECT_EQ(BundlePortGetPermissions(Str(kBundle), 0, Str(port), result.get()), 0) << port;
    EXPECT_EQ(QKGetLastError(), 13u) << port;
    EXPECT_EQ(result->vt, VT_EMPTY) << port;
  }
}

TEST_F(Part4_3_BundlePortGetPermissions, NonStringBundleOrPortIsRefusedWith13) {
  Entry(L"COM3", L"r|9600,n,8,0|1|1");
  const VARIANT others[] = {I4(1), OfType(VT_EMPTY), OfType(VT_NULL), OfType(VT_I8, 0x12345678),
                            OfType(VT_BYREF | VT_BSTR, 0), OfType(VT_BYREF | VT_I4, 0)};
  for (const VARIANT& other : others) {
    Var result;
    *result = I4(kSentinel);
    PresetLastError2();
    EXPECT_EQ(BundlePortGetPermissions(other, 0, Str(L"COM3"), result.get()), 0) << other.vt;
    EXPECT_EQ(QKGetLastError(), 13u) << other.vt;
    PresetLastError2();
    EXPECT_EQ(BundlePortGetPermissions(Str(kBundle), 0, other, result.get()), 0) << other.vt;
    EXPECT_EQ(QKGetLastError(), 13u) << other.vt;
    EXPECT_EQ(result->lVal, kSentinel);
  }
}

TEST_F(Part4_3_BundlePortGetPermissions, ByReferenceStringsAreReadThroughTheReference) {
  Entry(L"COM3", L"r|9600,n,8,0|0|1");
  BSTR bundle = SysAllocString(kBundle.c_str());
  BSTR port = SysAllocString(L"COM3");
  Var result;
  EXPECT_EQ(BundlePortGetPermissions(ByRefBstr(&bundle), 0, ByRefBstr(&port), result.get()), 1);
  EXPECT_EQ(result->lVal, 1);
  SysFreeString(bundle);
  SysFreeString(port);
}

TEST_F(Part4_3_BundlePortGetPermissions, PortNameIsNotCheckedForValidity) {
  Entry(std::wstring(34, L'B'), L"r|9600,n,8,0|1|0");
  Entry(L"COM 1", L"r|9600,n,8,0|0|1");
  EXPECT_EQ(MaskOf(std::wstring(34, L'B')), 2);
  EXPECT_EQ(MaskOf(L"COM 1"), 1);
}

TEST_F(Part4_3_BundlePortGetPermissions, NullBstrIsTheEmptyName) {
  Entry(L"", L"r|9600,n,8,0|1|0");  // the side key's default value
  Var result;
  EXPECT_EQ(BundlePortGetPermissions(Str(kBundle), 0, NullBstr(), result.get()), 1);
  EXPECT_EQ(result->lVal, 2);
}

TEST_F(Part4_3_BundlePortGetPermissions, ExpandStringEntryIsRead) {
  ASSERT_EQ(SetString(SideKey(L"IN"), L"COM3", L"r|%TEMP%|0|1", REG_EXPAND_SZ), ERROR_SUCCESS);
  EXPECT_EQ(MaskOf(L"COM3"), 1);
}

TEST_F(Part4_3_BundlePortGetPermissions, NullBstrBundleNamesNoBundle) {
  Entry(L"COM3", L"r|9600,n,8,0|1|0");
  PresetLastError13();
  Var result;
  EXPECT_EQ(BundlePortGetPermissions(NullBstr(), 0, Str(L"COM3"), result.get()), 0);
  EXPECT_EQ(QKGetLastError(), 2u);
  EXPECT_EQ(result->vt, VT_EMPTY);
}
