// Parts 4.2 and 4.3: the shared argument steps of the exports.
#include <gtest/gtest.h>

#include "api/last_error.h"
#include "params/export_arguments.h"
#include "support/variants.h"

using namespace lumbrex;
using namespace testsupport;

TEST(Part4_3_ReadStringMember, ReadsBstrAndByReferenceBstrUpToTheFirstNul) {
  Var s;
  *s = Bstr(std::wstring(L"B1\0tail", 7));
  Text text = L"x";
  EXPECT_TRUE(ReadStringMember(*s, &text));
  EXPECT_EQ(text, L"B1");
  BSTR target = SysAllocString(L"COM3");
  const VARIANT byRef = ByRefBstr(&target);
  EXPECT_TRUE(ReadStringMember(byRef, &text));
  EXPECT_EQ(text, L"COM3");
  EXPECT_EQ(byRef.vt, VT_BYREF | VT_BSTR);  // nothing converted
  SysFreeString(target);
  EXPECT_TRUE(ReadStringMember(NullBstr(), &text));
  EXPECT_EQ(text, L"");
}

TEST(Part4_3_ReadStringMember, RefusesEveryOtherTypeWithoutTouchingTheText) {
  const VARIANT others[] = {I4(1), OfType(VT_EMPTY), OfType(VT_NULL), OfType(VT_DISPATCH),
                            OfType(VT_BYREF | VT_BSTR, 0), OfType(VT_ARRAY | VT_BSTR)};
  for (const VARIANT& other : others) {
    Text text = L"kept";
    EXPECT_FALSE(ReadStringMember(other, &text)) << other.vt;
    EXPECT_EQ(text, L"kept");
  }
  EXPECT_EQ(LastErrorCode(), 0u);  // sets no last-error code itself
}

TEST(Part4_2_TakeBundleSidePort, ChecksBundleSideAndPortInOrder) {
  Var bundle, port;
  *bundle = Bstr(L"B1");
  *port = Bstr(L"COM3");
  Text b, p;
  EXPECT_TRUE(TakeBundleSidePort(bundle.get(), 1, port.get(), &b, &p));
  EXPECT_EQ(b, L"B1");
  EXPECT_EQ(p, L"COM3");
  EXPECT_EQ(LastErrorCode(), 0u);
  EXPECT_FALSE(TakeBundleSidePort(bundle.get(), 2, port.get(), &b, &p));
  EXPECT_EQ(LastErrorCode(), 13u);
  VARIANT notString = I4(3);
  SetLastErrorCode(0);
  EXPECT_FALSE(TakeBundleSidePort(bundle.get(), 0, &notString, &b, &p));
  EXPECT_EQ(LastErrorCode(), 13u);
  SetLastErrorCode(0);
  EXPECT_FALSE(TakeBundleSidePort(&notString, 0, port.get(), &b, &p));
  EXPECT_EQ(LastErrorCode(), 13u);
}
