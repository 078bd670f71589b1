// Part 1.2: ResultArray.
#include <gtest/gtest.h>

#include "api/result_array.h"
#include "support/variants.h"

using namespace lumbrex;
using namespace testsupport;

namespace {
LONG Lower(SAFEARRAY* a) { LONG l = -99; SafeArrayGetLBound(a, 1, &l); return l; }
LONG Upper(SAFEARRAY* a) { LONG u = -99; SafeArrayGetUBound(a, 1, &u); return u; }
std::wstring BstrAt(SAFEARRAY* a, LONG i) {
  BSTR b = nullptr;
  EXPECT_EQ(SafeArrayGetElement(a, &i, &b), S_OK);
  std::wstring s = b ? std::wstring(b, SysStringLen(b)) : L"<null>";
  SysFreeString(b);
  return s;
}
}  // namespace

TEST(Part1_2_ResultArray, EmptyBuilderHasNoArray) {
  ResultArray builder(VT_BSTR);
  EXPECT_TRUE(builder.empty());
}

TEST(Part1_2_ResultArray, OneEntryGivesBoundsZeroToZero) {
  ResultArray builder(VT_BSTR);
  ASSERT_EQ(builder.Add(L"B1"), S_OK);
  Var out;
  builder.CopyTo(out.get());
  ASSERT_EQ(out->vt, VT_ARRAY | VT_BSTR);
  EXPECT_EQ(SafeArrayGetDim(out->parray), 1u);
  EXPECT_EQ(Lower(out->parray), 0);
  EXPECT_EQ(Upper(out->parray), 0);
  EXPECT_EQ(BstrAt(out->parray, 0), L"B1");
}

TEST(Part1_2_ResultArray, GrowsByOneElementPerAddInOrder) {
  ResultArray builder(VT_BSTR);
  for (int i = 0; i < 5; ++i) {
    ASSERT_EQ(builder.Add(std::to_wstring(i).c_str()), S_OK);
    EXPECT_EQ(Upper(builder.array()), i);
    EXPECT_EQ(Lower(builder.array()), 0);
  }
  Var out;
  builder.CopyTo(out.get());
  for (int i = 0; i < 5; ++i) EXPECT_EQ(BstrAt(out->parray, i), std::to_wstring(i));
}

TEST(Part1_2_ResultArray, EmbeddedNulCutsTheStoredText) {
  ResultArray builder(VT_BSTR);
  BSTR withNul = SysAllocStringLen(L"AB\0CD", 5);
  ASSERT_EQ(builder.Add(withNul), S_OK);
  SysFreeString(withNul);
  Var out;
  builder.CopyTo(out.get());
  EXPECT_EQ(BstrAt(out->parray, 0), L"AB");
}

TEST(Part1_2_ResultArray, NullStringIsRefusedButItsSlotStays) {
  ResultArray builder(VT_BSTR);
  EXPECT_EQ(builder.Add(static_cast<const wchar_t*>(nullptr)), E_INVALIDARG);
  ASSERT_FALSE(builder.empty());
  EXPECT_EQ(Upper(builder.array()), 0);
  EXPECT_EQ(BstrAt(builder.array(), 0), L"<null>");
}

TEST(Part1_2_ResultArray, CopyToGivesAnIndependentUnlockedCopy) {
  ResultArray builder(VT_BSTR);
  builder.Add(L"x");
  VARIANT out;
  VariantInit(&out);
  builder.CopyTo(&out);
  ASSERT_NE(out.parray, nullptr);
  EXPECT_NE(out.parray, builder.array());
  EXPECT_EQ(out.parray->cLocks, 0u);
  EXPECT_FALSE(builder.empty());
  EXPECT_EQ(VariantClear(&out), S_OK);  // an unlocked array frees cleanly
}

TEST(Part1_2_ResultArray, BuilderKeepsItsArrayLocked) {
  ResultArray builder(VT_BSTR);
  builder.Add(L"x");
  EXPECT_GE(builder.array()->cLocks, 1u);
}

TEST(Part1_2_ResultArray, DetachHandsOverTheVeryArrayUnlocked) {
  ResultArray builder(VT_BSTR);
  builder.Add(L"COM1");
  builder.Add(L"COM2");
  SAFEARRAY* inner = builder.array();
  VARIANT out;
  VariantInit(&out);
  builder.Detach(&out);
  EXPECT_TRUE(builder.empty());
  EXPECT_EQ(out.vt, VT_ARRAY | VT_BSTR);
  EXPECT_EQ(out.parray, inner);
  EXPECT_EQ(out.parray->cLocks, 0u);
  EXPECT_EQ(BstrAt(out.parray, 1), L"COM2");
  EXPECT_EQ(VariantClear(&out), S_OK);
}

TEST(Part1_2_ResultArray, DestroyEmptiesTheBuilder) {
  ResultArray builder(VT_BSTR);
  builder.Add(L"x");
  builder.Destroy();
  EXPECT_TRUE(builder.empty());
  builder.Destroy();  // twice is harmless
  EXPECT_TRUE(builder.empty());
}

TEST(Part1_2_ResultArray, VariantElementsStoreByReferenceValuesAsValues) {
  ResultArray builder(VT_VARIANT);
  LONG target = 42;
  VARIANT byRef = ByRefI4(&target);
  ASSERT_EQ(builder.Add(&byRef), S_OK);
  target = 43;  // the stored copy does not follow the reference
  Var out;
  builder.CopyTo(out.get());
  ASSERT_EQ(out->vt, VT_ARRAY | VT_VARIANT);
  LONG index = 0;
  VARIANT element;
  VariantInit(&element);
  ASSERT_EQ(SafeArrayGetElement(out->parray, &index, &element), S_OK);
  EXPECT_EQ(element.vt, VT_I4);
  EXPECT_EQ(element.lVal, 42);
  VariantClear(&element);
}

TEST(Part1_2_ResultArray, NestedRowsAsPart5_2BuildsThem) {
  ResultArray outer(VT_VARIANT);
  for (int row = 0; row < 2; ++row) {
    ResultArray inner(VT_VARIANT);
    Var name;
    *name = Bstr(row == 0 ? L"A" : L"B");
    inner.Add(name.get());
    VARIANT number = I4(10 + row);
    inner.Add(&number);
    Var rowVariant;
    inner.CopyTo(rowVariant.get());
    outer.Add(rowVariant.get());
  }
  Var out;
  outer.CopyTo(out.get());
  ASSERT_EQ(out->vt, VT_ARRAY | VT_VARIANT);
  EXPECT_EQ(Upper(out->parray), 1);
  LONG index = 1;
  VARIANT row;
  VariantInit(&row);
  ASSERT_EQ(SafeArrayGetElement(out->parray, &index, &row), S_OK);
  ASSERT_EQ(row.vt, VT_ARRAY | VT_VARIANT);
  index = 0;
  VARIANT cell;
  VariantInit(&cell);
  ASSERT_EQ(SafeArrayGetElement(row.parray, &index, &cell), S_OK);
  EXPECT_EQ(TextOf(cell), L"B");
  VariantClear(&cell);
  VariantClear(&row);
}

TEST(Part1_2_ResultArray, FixedSizeArrayIsNotResized) {
  SAFEARRAYBOUND bound{1, 0};
  SAFEARRAY* fixed = SafeArrayCreate(VT_BSTR, 1, &bound);
  ASSERT_NE(fixed, nullptr);
  fixed->fFeatures |= FADF_FIXEDSIZE;
  ResultArray builder(VT_BSTR, fixed);
  EXPECT_EQ(builder.Add(L"x"), E_FAIL);
  EXPECT_EQ(Upper(builder.array()), 0);
  builder.array()->fFeatures &= ~FADF_FIXEDSIZE;
}

TEST(Part1_2_ResultArray, WrongElementKindIsRefused) {
  ResultArray strings(VT_BSTR);
  VARIANT v = I4(1);
  EXPECT_EQ(strings.Add(&v), E_INVALIDARG);
  EXPECT_TRUE(strings.empty());
  ResultArray variants(VT_VARIANT);
  EXPECT_EQ(variants.Add(L"x"), E_INVALIDARG);
  EXPECT_TRUE(variants.empty());
}
