// Part 1.1: argument rules.
#include <gtest/gtest.h>

#include "api/arguments.h"
#include "support/variants.h"

using namespace lumbrex;
using namespace testsupport;

TEST(Part1_1_StringArgumentRule, PlainBstrGivesItsText) {
  Var v;
  *v = Bstr(L"B1");
  Text text;
  ASSERT_TRUE(TakeStringArgument(v.get(), &text));
  EXPECT_EQ(text, L"B1");
  EXPECT_EQ(v->vt, VT_BSTR);
}

TEST(Part1_1_StringArgumentRule, ByReferenceBstrIsAcceptedAndConvertedInPlace) {
  BSTR target = SysAllocString(L"COM3");
  Var v;
  *v = ByRefBstr(&target);
  Text text;
  ASSERT_TRUE(TakeStringArgument(v.get(), &text));
  EXPECT_EQ(text, L"COM3");
  EXPECT_EQ(v->vt, VT_BSTR);                // turned into a plain string
  EXPECT_NE(v->bstrVal, target);            // a copy of its own
  EXPECT_EQ(TextOf(*v), L"COM3");
  SysFreeString(target);
}

TEST(Part1_1_StringArgumentRule, ByReferenceWithNullReferenceIsRefused) {
  Var v;
  *v = ByRefBstr(nullptr);
  Text text;
  EXPECT_FALSE(TakeStringArgument(v.get(), &text));
}

TEST(Part1_1_StringArgumentRule, IntegerIsRefused) {
  Var v;
  *v = I4(12);
  Text text = L"untouched";
  EXPECT_FALSE(TakeStringArgument(v.get(), &text));
  EXPECT_EQ(v->vt, VT_I4);
}

TEST(Part1_1_StringArgumentRule, NullBstrIsTheEmptyText) {
  Var v;
  *v = NullBstr();
  Text text = L"x";
  ASSERT_TRUE(TakeStringArgument(v.get(), &text));
  EXPECT_EQ(text, L"");
}

TEST(Part1_1_StringArgumentRule, EmbeddedNulCutsTheText) {
  Var v;
  *v = Bstr(std::wstring(L"AB\0CD", 5));
  Text text;
  ASSERT_TRUE(TakeStringArgument(v.get(), &text));
  EXPECT_EQ(text, L"AB");
}

TEST(Part1_1_StringArgumentRule, EveryOtherTypeCodeIsRefused) {
  for (int vt = 0; vt <= 0x0FFF; ++vt) {
    if (vt == VT_BSTR) continue;
    for (int form : {0, int(VT_BYREF), int(VT_ARRAY)}) {
      const VARTYPE type = static_cast<VARTYPE>(vt | form);
      if (type == (VT_BYREF | VT_BSTR)) continue;
      VARIANT v = OfType(type);  // payload null: nothing to free or follow
      Text text;
      EXPECT_FALSE(TakeStringArgument(&v, &text)) << "type 0x" << std::hex << type;
    }
  }
}

TEST(Part1_1_ConvertedToTextRule, IntegerTwelveBecomesText12AndCallerUntouched) {
  VARIANT v = I4(12);
  Text text;
  ASSERT_TRUE(ConvertToText(&v, &text));
  EXPECT_EQ(text, L"12");
  EXPECT_EQ(v.vt, VT_I4);
  EXPECT_EQ(v.lVal, 12);
}

TEST(Part1_1_ConvertedToTextRule, ByReferenceBstrIsReadWithoutChangingTheArgument) {
  BSTR target = SysAllocString(L"B7");
  VARIANT v = ByRefBstr(&target);
  Text text;
  ASSERT_TRUE(ConvertToText(&v, &text));
  EXPECT_EQ(text, L"B7");
  EXPECT_EQ(v.vt, VT_BYREF | VT_BSTR);
  SysFreeString(target);
}

TEST(Part1_1_ConvertedToTextRule, EmbeddedNulCutsTheText) {
  Var v;
  *v = Bstr(std::wstring(L"B\0X", 3));
  Text text;
  ASSERT_TRUE(ConvertToText(v.get(), &text));
  EXPECT_EQ(text, L"B");
}

TEST(Part1_1_ConvertedToTextRule, UnconvertibleValuesAreRefused) {
  Text text;
  VARIANT invalid = OfType(0x0FFF);
  EXPECT_FALSE(ConvertToText(&invalid, &text));
  VARIANT nullRef = OfType(VT_BYREF | VT_I4);
  EXPECT_FALSE(ConvertToText(&nullRef, &text));
  VARIANT array = OfType(VT_ARRAY | VT_I4);
  EXPECT_FALSE(ConvertToText(&array, &text));
  EXPECT_FALSE(ConvertToText(nullptr, &text));
}

TEST(Part1_1_IntegerArgument, OnlyTheEightIntegerTypesPassNotByReference) {
  const VARTYPE accepted[] = {VT_I2, VT_I4, VT_I8, VT_UI2, VT_UI4, VT_UI8, VT_INT, VT_UINT};
  for (int vt = 0; vt <= 0x0FFF; ++vt) {
    for (int form : {0, int(VT_BYREF), int(VT_ARRAY)}) {
      const VARTYPE type = static_cast<VARTYPE>(vt | form);
      VARIANT v = OfType(type, 1);
      int32_t value = -5;
      bool expected = false;
      for (VARTYPE a : accepted) expected = expected || (type == a);
      EXPECT_EQ(ReadIntegerArgument(v, &value), expected) << "type 0x" << std::hex << type;
    }
  }
}

TEST(Part1_1_IntegerArgument, ValueIsReadAtItsOwnWidthAndCutTo32Bits) {
  int32_t value = 0;
  VARIANT v = OfType(VT_I2, 0);
  v.iVal = -1;
  ASSERT_TRUE(ReadIntegerArgument(v, &value));
  EXPECT_EQ(value, -1);
  v = OfType(VT_UI2, 0);
  v.uiVal = 0xFFFF;
  ASSERT_TRUE(ReadIntegerArgument(v, &value));
  EXPECT_EQ(value, 65535);
  v = OfType(VT_I2, 0x12340005);  // only the low 16 bits belong to a VT_I2
  ASSERT_TRUE(ReadIntegerArgument(v, &value));
  EXPECT_EQ(value, 5);
  v = I8(0x100000005LL);
  ASSERT_TRUE(ReadIntegerArgument(v, &value));
  EXPECT_EQ(value, 5);
  v = OfType(VT_UI8, static_cast<int64_t>(0xFFFFFFFFFFFFFFFFULL));
  ASSERT_TRUE(ReadIntegerArgument(v, &value));
  EXPECT_EQ(value, -1);
  v = OfType(VT_UI4, 0xFFFFFFFFLL);
  ASSERT_TRUE(ReadIntegerArgument(v, &value));
  EXPECT_EQ(value, -1);
  v = OfType(VT_INT, 0);
  v.intVal = -7;
  ASSERT_TRUE(ReadIntegerArgument(v, &value));
  EXPECT_EQ(value, -7);
  v = OfType(VT_UINT, 0);
  v.uintVal = 7;
  ASSERT_TRUE(ReadIntegerArgument(v, &value));
  EXPECT_EQ(value, 7);
}

TEST(Part1_1_IsSideValue, ZeroAndOneOnly) {
  EXPECT_TRUE(IsSideValue(0));
  EXPECT_TRUE(IsSideValue(1));
  EXPECT_FALSE(IsSideValue(-1));
  EXPECT_FALSE(IsSideValue(2));
  EXPECT_FALSE(IsSideValue(256));
  EXPECT_TRUE(IsSideValue(I8(1)));
}

TEST(Part1_1_IsSideValue, WideValuesAreCutBeforeTheTest) {
  EXPECT_TRUE(IsSideValue(I8(0x100000000LL)));   // cut to 0
  EXPECT_TRUE(IsSideValue(I8(0x100000001LL)));   // cut to 1
  EXPECT_FALSE(IsSideValue(I8(0x100000002LL)));  // cut to 2
}

TEST(Part1_1_IsPortTypeValue, OneTwoFourEight) {
  for (int32_t t : {1, 2, 4, 8}) EXPECT_TRUE(IsPortTypeValue(I4(t))) << t;
  for (int32_t t : {0, 3, 5, 6, 7, 9, 16, -1}) EXPECT_FALSE(IsPortTypeValue(I4(t))) << t;
}

TEST(Part1_1_IsPortTypeValue, Ui1OneRefusedI8FourAccepted) {
  VARIANT ui1 = OfType(VT_UI1, 1);
  EXPECT_FALSE(IsPortTypeValue(ui1));
  EXPECT_TRUE(IsPortTypeValue(I8(4)));
  VARIANT i1 = OfType(VT_I1, 1);
  EXPECT_FALSE(IsPortTypeValue(i1));
  VARIANT boolean = OfType(VT_BOOL, 1);
  EXPECT_FALSE(IsPortTypeValue(boolean));
  LONG four = 4;
  EXPECT_FALSE(IsPortTypeValue(ByRefI4(&four)));
}

TEST(Part1_1_IsPermissionValue, ZeroOrALowBit) {
  EXPECT_TRUE(IsPermissionValue(I4(0)));
  EXPECT_FALSE(IsPermissionValue(I4(8)));
  EXPECT_TRUE(IsPermissionValue(I4(9)));
  EXPECT_FALSE(IsPermissionValue(I4(16)));
  EXPECT_FALSE(IsPermissionValue(I4(256)));
  EXPECT_TRUE(IsPermissionValue(I4(-1)));
  EXPECT_TRUE(IsPermissionValue(I8(3)));
  LONG three = 3;
  EXPECT_FALSE(IsPermissionValue(ByRefI4(&three)));
  EXPECT_FALSE(IsPermissionValue(OfType(0x0FFF, 3)));
}
