// Part 5.1: SharedPortGetAppPermissions through the real lumbrex.dll.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lumbrex.h"
#include "support/registry_fixture.h"
#include "support/variants.h"

using namespace testsupport;

namespace {

const std::wstring kPortKey = L"Software\\OSTREL Software\\Quillane2\\COM7";
const std::wstring kPermissions = kPortKey + L"\\Permissions";

std::vector<std::wstring> Strings(const VARIANT& v) {
  std::vector<std::wstring> out;
  EXPECT_EQ(v.vt, VT_ARRAY | VT_BSTR);
  if (v.vt != (VT_ARRAY | VT_BSTR)) return out;
  EXPECT_EQ(SafeArrayGetDim(v.parray), 1u);
  EXPECT_EQ(v.parray->cLocks, 0u);
  LONG lower = -1, upper = -2;
  SafeArrayGetLBound(v.parray, 1, &lower);
  SafeArrayGetUBound(v.parray, 1, &upper);
  EXPECT_EQ(lower, 0);
  for (LONG i = lower; i <= upper; ++i) {
    BSTR b = nullptr;
    EXPECT_EQ(SafeArrayGetElement(v.parray, &i, &b), S_OK);
    out.emplace_back(b ? std::wstring(b, SysStringLen(b)) : L"<null>");
    SysFreeString(b);
  }
  return out;
}

using Strs = std::vector<std::wstring>;

// Out-VARIANTs that hold something before the call, to see what is touched.
struct Outs {
  Var apps, perms;
  Outs() {
    *apps = Bstr(L"old apps");
    *perms = I4(4242);
  }
  bool PermsUntouched() { return perms->vt == VT_I4 && perms->lVal == 4242; }
};

int Get(const std::wstring& bundle, int side, const std::wstring& port, Outs* outs) {
  Var b, p;
  *b = Bstr(bundle);
  *p = Bstr(port);
  return SharedPortGetAppPermissions(b.copy(), side, p.copy(), outs->apps.get(), outs->perms.get());
}

// Leaves a known last-error code (13) through a refused call.
void SetLastErrorTo13() {
  Outs outs;
  ASSERT_EQ(Get(L"B1", 2, L"COM7", &outs), 0);
  ASSERT_EQ(QKGetLastError(), 13u);
}

}  // namespace

TEST(Part5_1_SharedPortGetAppPermissions, PortWithoutPermissionsKeyGivesTrueEmptyAnd2) {
  ScopedTree tree(kPortKey);
  Outs outs;
  EXPECT_EQ(Get(L"B1", 0, L"COM7", &outs), 1);
  EXPECT_EQ(outs.apps->vt, VT_EMPTY);
  EXPECT_TRUE(outs.PermsUntouched());
  EXPECT_EQ(QKGetLastError(), 2u);
}

TEST(Part5_1_SharedPortGetAppPermissions, KeyWithoutValuesGivesTrueAndChangesNothingElse) {
  ScopedTree tree(kPortKey);
  ASSERT_EQ(CreateKey(kPermissions), 0);
  SetLastErrorTo13();
  Outs outs;
  EXPECT_EQ(Get(L"B1", 1, L"COM7", &outs), 1);
  EXPECT_EQ(outs.apps->vt, VT_EMPTY);
  EXPECT_TRUE(outs.PermsUntouched());
  EXPECT_EQ(QKGetLastError(), 13u) << "unchanged";
}

TEST(Part5_1_SharedPortGetAppPermissions, ThreeValuesInRegistryOrder) {
  ScopedTree tree(kPortKey);
  ASSERT_EQ(SetDword(kPermissions, L"app1", 3), 0);
  ASSERT_EQ(SetDword(kPermissions, L"app2", 1), 0);
  ASSERT_EQ(SetDword(kPermissions, L"app3", 7), 0);
  SetLastErrorTo13();
  Outs outs;
  EXPECT_EQ(Get(L"B1", 0, L"COM7", &outs), 1);
  const Strs apps = Strings(*outs.apps);
  const Strs perms = Strings(*outs.perms);
  EXPECT_EQ(apps, EnumValueNamesDirect(kPermissions));
  ASSERT_EQ(apps.size(), 3u);
  ASSERT_EQ(perms.size(), 3u);
  const std::wstring expected[] = {L"3", L"1", L"7"};
  for (size_t i = 0; i < 3; ++i) {
    const size_t n = apps[i].back() - L'1';
    EXPECT_EQ(perms[i], expected[n]) << "value of " << std::string(apps[i].begin(), apps[i].end());
  }
  EXPECT_EQ(QKGetLastError(), 13u) << "unchanged";
}

TEST(Part5_1_SharedPortGetAppPermissions, ValuesAreSignedDecimalText) {
  ScopedTree tree(kPortKey);
  ASSERT_EQ(SetDword(kPermissions, L"all", 4294967295u), 0);
  Outs outs;
  EXPECT_EQ(Get(L"B1", 0, L"COM7", &outs), 1);
  EXPECT_EQ(Strings(*outs.apps), (Strs{L"all"}));
  EXPECT_EQ(Strings(*outs.perms), (Strs{L"-1"}));
}

TEST(Part5_1_SharedPortGetAppPermissions, RegSzAmongTheValuesGivesTrueWith13AndNoArrays) {
  ScopedTree tree(kPortKey);
  ASSERT_EQ(SetDword(kPermissions, L"app1", 3), 0);
  ASSERT_EQ(SetString(kPermissions, L"app2", L"1"), 0);
  ASSERT_EQ(SetDword(kPermissions, L"app3", 7), 0);
  Outs outs;
  EXPECT_EQ(Get(L"B1", 0, L"COM7", &outs), 1);
  EXPECT_EQ(QKGetLastError(), 13u);
  EXPECT_EQ(outs.apps->vt, VT_EMPTY);
  EXPECT_TRUE(outs.PermsUntouched());
}

TEST(Part5_1_SharedPortGetAppPermissions, QwordValueGivesTrueWith234AndNoArrays) {
  ScopedTree tree(kPortKey);
  const uint64_t q = 3;
  ASSERT_EQ(SetRaw(kPermissions, L"app", REG_QWORD, &q, sizeof q), 0);
  Outs outs;
  EXPECT_EQ(Get(L"B1", 0, L"COM7", &outs), 1);
  EXPECT_EQ(QKGetLastError(), 234u);
  EXPECT_EQ(outs.apps->vt, VT_EMPTY);
  EXPECT_TRUE(outs.PermsUntouched());
}

TEST(Part5_1_SharedPortGetAppPermissions, SideTwoIsRefusedWith13OutsUntouched) {
  ScopedTree tree(kPortKey);
  ASSERT_EQ(SetDword(kPermissions, L"app1", 3), 0);
  for (int side : {2, -1, 256}) {
    Outs outs;
    EXPECT_EQ(Get(L"B1", side, L"COM7", &outs), 0);
    EXPECT_EQ(QKGetLastError(), 13u);
    EXPECT_EQ(outs.apps->vt, VT_BSTR);
    EXPECT_TRUE(outs.PermsUntouched());
  }
}

TEST(Part5_1_SharedPortGetAppPermissions, InvalidPortNameIsRefusedWith13) {
  Outs outs;
  EXPECT_EQ(Get(L"B1", 0, L"COM-1", &outs), 0);
  EXPECT_EQ(QKGetLastError(), 13u);
  EXPECT_EQ(outs.apps->vt, VT_BSTR);
  EXPECT_TRUE(outs.PermsUntouched());
}

TEST(Part5_1_SharedPortGetAppPermissions, NonStringArgumentsAreRefusedWith13) {
  Outs outs;
  Var port;
  *port = Bstr(L"COM7");
  EXPECT_EQ(SharedPortGetAppPermissions(I4(1), 0, port.copy(), outs.apps.get(), outs.perms.get()), 0);
  EXPECT_EQ(QKGetLastError(), 13u);
  Var bundle;
  *bundle = Bstr(L"B1");
  EXPECT_EQ(SharedPortGetAppPermissions(bundle.copy(), 0, I4(7), outs.apps.get(), outs.perms.get()), 0);
  EXPECT_EQ(outs.apps->vt, VT_BSTR);
  EXPECT_TRUE(outs.PermsUntouched());
}

TEST(Part5_1_SharedPortGetAppPermissions, ByReferenceStringsAreAccepted) {
  ScopedTree tree(kPortKey);
  ASSERT_EQ(SetDword(kPermissions, L"app", 9), 0);
  BSTR bundle = SysAllocString(L"B1");
  BSTR port = SysAllocString(L"COM7");
  Outs outs;
  VARIANT b = ByRefBstr(&bundle), p = ByRefBstr(&port);
  EXPECT_EQ(SharedPortGetAppPermissions(b, 0, p, outs.apps.get(), outs.perms.get()), 1);
  EXPECT_EQ(Strings(*outs.perms), (Strs{L"9"}));
  SysFreeString(bundle);
  SysFreeString(port);
}

TEST(Part5_1_SharedPortGetAppPermissions, NullOutPointersAreRefusedWith13) {
  ScopedTree tree(kPortKey);
  ASSERT_EQ(SetDword(kPermissions, L"app", 3), 0);
  Var apps, bundle, port;
  *bundle = Bstr(L"B1");
  *port = Bstr(L"COM7");
  *apps = I4(5);
  EXPECT_EQ(SharedPortGetAppPermissions(bundle.copy(), 0, port.copy(), apps.get(), nullptr), 0);
  EXPECT_EQ(QKGetLastError(), 13u);
  EXPECT_EQ(apps->vt, VT_I4) << "nothing written";
  Var perms;
  EXPECT_EQ(SharedPortGetAppPermissions(bundle.copy(), 0, port.copy(), nullptr, perms.get()), 0);
  EXPECT_EQ(perms->vt, VT_EMPTY);
}

TEST(Part5_1_SharedPortGetAppPermissions, ReadsThe64BitView) {
  ScopedTree tree64(kPortKey, kView64);
  ScopedTree tree32(kPortKey, kView32);
  ASSERT_EQ(SetDword(kPermissions, L"view32", 1, kView32), 0);
  ASSERT_EQ(SetDword(kPermissions, L"view64", 2, kView64), 0);
  Outs outs;
  EXPECT_EQ(Get(L"B1", 0, L"COM7", &outs), 1);
  EXPECT_EQ(Strings(*outs.apps), (Strs{L"view64"}));
  EXPECT_EQ(Strings(*outs.perms), (Strs{L"2"}));
}

TEST(Part5_1_SharedPortGetAppPermissions, PreviousArraysAreReplaced) {
  ScopedTree tree(kPortKey);
  ASSERT_EQ(SetDword(kPermissions, L"app", 3), 0);
  Outs outs;
  EXPECT_EQ(Get(L"B1", 0, L"COM7", &outs), 1);
  EXPECT_EQ(Get(L"B1", 0, L"COM7", &outs), 1);
  EXPECT_EQ(Strings(*outs.apps), (Strs{L"app"}));
  EXPECT_EQ(Strings(*outs.perms), (Strs{L"3"}));
}

TEST(Part5_1_SharedPortGetAppPermissions, ApplicationsThatCannotBeClearedAreRefusedWith13) {
  ScopedTree tree(kPortKey);
  ASSERT_EQ(SetDword(kPermissions, L"app", 3), 0);
  Outs outs;
  SAFEARRAYBOUND bound{1, 0};
  SAFEARRAY* held = SafeArrayCreate(VT_BSTR, 1, &bound);
  VariantClear(outs.apps.get());
  outs.apps->vt = VT_ARRAY | VT_BSTR;
  outs.apps->parray = held;
  ASSERT_EQ(SafeArrayLock(held), S_OK);
  EXPECT_EQ(Get(L"B1", 0, L"COM7", &outs), 0);
  EXPECT_EQ(QKGetLastError(), 13u);
  EXPECT_TRUE(outs.PermsUntouched());
  // Wine's VariantClear sets VT_EMPTY even when it fails; the locked array is
  // the caller's still, not freed.
  EXPECT_EQ(SafeArrayUnlock(held), S_OK);
  EXPECT_EQ(SafeArrayDestroy(held), S_OK);
  VariantInit(outs.apps.get());
}
