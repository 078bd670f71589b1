// Part 3.2 (with the Part 1.1, 1.2 and 3.1 bullets these exports reach):
// the five queries through the real lumbrex.dll.
#include <gtest/gtest.h>

#include <map>

#include "config_fixture.h"
#include "lumbrex.h"
#include "support/variants.h"

using namespace testsupport;
using namespace configtest;

namespace {

LONG Lower(SAFEARRAY* a) { LONG l = -99; SafeArrayGetLBound(a, 1, &l); return l; }
LONG Upper(SAFEARRAY* a) { LONG u = -99; SafeArrayGetUBound(a, 1, &u); return u; }

// The strings of a VT_ARRAY|VT_BSTR result (one dimension, lower bound 0,
// unlocked: the caller owns it), at their own lengths.
std::vector<std::wstring> Texts(const VARIANT& v) {
  std::vector<std::wstring> texts;
  EXPECT_EQ(v.vt, VT_ARRAY | VT_BSTR);
  if (v.vt != (VT_ARRAY | VT_BSTR) || v.parray == nullptr) return texts;
  EXPECT_EQ(SafeArrayGetDim(v.parray), 1u);
  EXPECT_EQ(v.parray->cLocks, 0u);
  EXPECT_EQ(Lower(v.parray), 0);
  for (LONG i = Lower(v.parray); i <= Upper(v.parray); ++i) {
    BSTR b = nullptr;
    EXPECT_EQ(SafeArrayGetElement(v.parray, &i, &b), S_OK);
    texts.push_back(b ? std::wstring(b, SysStringLen(b)) : L"<null>");
    SysFreeString(b);
  }
  return texts;
}

// A VARIANT that holds an array of three strings, as a caller may pass in.
void FillWithOldArray(VARIANT* v) {
  SAFEARRAYBOUND bound{3, 0};
  v->vt = VT_ARRAY | VT_BSTR;
  v->parray = SafeArrayCreate(VT_BSTR, 1, &bound);
  for (LONG i = 0; i < 3; ++i) {
    BSTR b = SysAllocString(L"old");
    SafeArrayPutElement(v->parray, &i, b);
    SysFreeString(b);
  }
}

// Puts a known code in the last-error variable (a refused null output).
void PresetLastError13() {
  ASSERT_EQ(GetBundlesNames(nullptr), 0);
  ASSERT_EQ(QKGetLastError(), 13u);
}

class Part3_2 : public ::testing::Test {
 protected:
  ConfigTree tree_;
};
class Part3_2_GetBundlesNames : public Part3_2 {};
class Part3_2_GetPortsNamesByBundleAndSide : public Part3_2 {};
class Part3_2_BundleGetMainPortForSide : public Part3_2 {};
class Part3_2_BundleGetPortType : public Part3_2 {};
class Part3_2_GetRealPortsList : public ::testing::Test {
 protected:
  ScopedSerialMap map_;
};

}  // namespace

// ---- GetBundlesNames -------------------------------------------------------

TEST_F(Part3_2_GetBundlesNames, NoSubkeyUnderTheRootGives1AndVtEmpty) {
  ASSERT_EQ(CreateKey(kRoot), ERROR_SUCCESS);
  PresetLastError13();
  Var names;
  *names.get() = Bstr(L"previous");
  EXPECT_EQ(GetBundlesNames(&names), 1);
  EXPECT_EQ(names->vt, VT_EMPTY);
  EXPECT_EQ(QKGetLastError(), 13u);  // success leaves the code as it was
}

TEST_F(Part3_2_GetBundlesNames, RootWithOnlyTheFourOptionValuesListsNoBundle) {
  for (const wchar_t* name : {L"SendDataOnlyMainPort", L"IgnoreError", L"AutoOpen", L"Prints"}) {
    ASSERT_EQ(SetDword(kRoot, name, 1), ERROR_SUCCESS);
  }
  Var names;
  EXPECT_EQ(GetBundlesNames(&names), 1);
  EXPECT_EQ(names->vt, VT_EMPTY);
}

TEST_F(Part3_2_GetBundlesNames, ListsTheRootSubkeysInRegistryOrder) {
  for (const wchar_t* b : {L"zeta", L"Alpha", L"mid", L"B 1"}) ASSERT_EQ(CreateKey(BundleKey(b)), ERROR_SUCCESS);
  ASSERT_EQ(SetDword(kRoot, L"AutoOpen", 1), ERROR_SUCCESS);
  Var names;
  EXPECT_EQ(GetBundlesNames(&names), 1);
  EXPECT_EQ(Texts(*names), EnumSubkeyNamesDirect(kRoot));
  EXPECT_EQ(Upper(names->parray), 3);
}

TEST_F(Part3_2_GetBundlesNames, OneBundleGivesBoundsZeroToZero) {
  ASSERT_EQ(CreateKey(BundleKey(L"B1")), ERROR_SUCCESS);
  Var names;
  EXPECT_EQ(GetBundlesNames(&names), 1);
  ASSERT_EQ(names->vt, VT_ARRAY | VT_BSTR);
  EXPECT_EQ(Lower(names->parray), 0);
  EXPECT_EQ(Upper(names->parray), 0);
  EXPECT_EQ(Texts(*names), std::vector<std::wstring>{L"B1"});
}

TEST_F(Part3_2_GetBundlesNames, AnOutputHoldingAnArrayIsFreedNotMerged) {
  ASSERT_EQ(CreateKey(BundleKey(L"B1")), ERROR_SUCCESS);
  Var names;
  FillWithOldArray(names.get());
  SAFEARRAY* old = names->parray;
  EXPECT_EQ(GetBundlesNames(&names), 1);
  EXPECT_EQ(Texts(*names), std::vector<std::wstring>{L"B1"});
  EXPECT_NE(names->parray, old);
}

TEST_F(Part3_2_GetBundlesNames, MissingRootFailsWith2AndClearsTheOutput) {
  Var names;
  FillWithOldArray(names.get());
  EXPECT_EQ(GetBundlesNames(&names), 0);
  EXPECT_EQ(QKGetLastError(), 2u);
  EXPECT_EQ(names->vt, VT_EMPTY);
}

TEST_F(Part3_2_GetBundlesNames, RootPresentOnlyInThe32BitViewIsNotSeen) {
  ASSERT_EQ(CreateKey(BundleKey(L"B32"), kView32), ERROR_SUCCESS);
  Var names;
  EXPECT_EQ(GetBundlesNames(&names), 0);
  EXPECT_EQ(QKGetLastError(), 2u);
}

TEST_F(Part3_2_GetBundlesNames, NullOutputIsRefusedWith13) {
  EXPECT_EQ(GetBundlesNames(nullptr), 0);
  EXPECT_EQ(QKGetLastError(), 13u);
}

// ---- GetPortsNamesByBundleAndSide ----------------------------------------

TEST_F(Part3_2_GetPortsNamesByBundleAndSide, MissingBundleFailsWith2) {
  ASSERT_EQ(CreateKey(kRoot), ERROR_SUCCESS);
  Var bundle, names;
  *bundle.get() = Bstr(L"NoSuchBundle");
  *names.get() = Bstr(L"previous");
  EXPECT_EQ(GetPortsNamesByBundleAndSide(bundle.copy(), 0, &names), 0);
  EXPECT_EQ(QKGetLastError(), 2u);
  EXPECT_EQ(names->vt, VT_EMPTY);
}

TEST_F(Part3_2_GetPortsNamesByBundleAndSide, BundleWithoutInKeyFailsOnlyItsInputSide) {
  ASSERT_EQ(SetString(SideKey(L"B1", 1), L"COM5", L"Real|9600,n,8,0|1|0"), ERROR_SUCCESS);
  Var bundle, in, out;
  *bundle.get() = Bstr(L"B1");
  EXPECT_EQ(GetPortsNamesByBundleAndSide(bundle.copy(), 0, &in), 0);
  EXPECT_EQ(QKGetLastError(), 2u);
  EXPECT_EQ(in->vt, VT_EMPTY);
  EXPECT_EQ(GetPortsNamesByBundleAndSide(bundle.copy(), 1, &out), 1);
  EXPECT_EQ(Texts(*out), std::vector<std::wstring>{L"COM5"});
}

TEST_F(Part3_2_GetPortsNamesByBundleAndSide, ListsEveryValueOfTheSideKeyInRegistryOrder) {
  const std::wstring side = SideKey(L"B1", 0);
  ASSERT_EQ(SetString(side, L"COM3", L"Real|9600,n,8,0|1|0"), ERROR_SUCCESS);
  ASSERT_EQ(SetString(side, L"cncA0", L"Virtual"), ERROR_SUCCESS);
  ASSERT_EQ(SetDword(side, L"Dword", 1), ERROR_SUCCESS);  // the service's own values count as ports too
  const uint64_t q = 1;
  ASSERT_EQ(SetRaw(side, L"Qword", REG_QWORD, &q, 8), ERROR_SUCCESS);
  ASSERT_EQ(SetRaw(side, L"Bin", REG_BINARY, "\x01\x02\x03", 3), ERROR_SUCCESS);
  ASSERT_EQ(SetStringWithoutNul(side, L"NoNul", L"r"), ERROR_SUCCESS);
  ASSERT_EQ(CreateKey(side + L"\\Sub"), ERROR_SUCCESS);  // subkeys are not ports
  Var bundle, names;
  *bundle.get() = Bstr(L"B1");
  EXPECT_EQ(GetPortsNamesByBundleAndSide(bundle.copy(), 0, &names), 1);
  EXPECT_EQ(Texts(*names), EnumValueNamesDirect(side));
  EXPECT_EQ(Upper(names->parray), 5);
}

TEST_F(Part3_2_GetPortsNamesByBundleAndSide, UnnamedValueIsListedAsAPortWithAnEmptyName) {
  ASSERT_EQ(SetString(SideKey(L"B1", 1), L"", L"Real|"), ERROR_SUCCESS);
  Var bundle, names;
  *bundle.get() = Bstr(L"B1");
  EXPECT_EQ(GetPortsNamesByBundleAndSide(bundle.copy(), 1, &names), 1);
  EXPECT_EQ(Texts(*names), std::vector<std::wstring>{L""});
}

TEST_F(Part3_2_GetPortsNamesByBundleAndSide, EmptySideGives1AndVtEmpty) {
  ASSERT_EQ(CreateKey(SideKey(L"B1", 0)), ERROR_SUCCESS);
  PresetLastError13();
  Var bundle, names;
  *bundle.get() = Bstr(L"B1");
  FillWithOldArray(names.get());
  EXPECT_EQ(GetPortsNamesByBundleAndSide(bundle.copy(), 0, &names), 1);
  EXPECT_EQ(names->vt, VT_EMPTY);
  EXPECT_EQ(QKGetLastError(), 13u);
}

TEST_F(Part3_2_GetPortsNamesByBundleAndSide, BundleNameInOtherLetterCaseFindsTheSameKey) {
  ASSERT_EQ(SetString(SideKey(L"Bundle", 1), L"CoM1", L"Real|"), ERROR_SUCCESS);
  Var bundle, names;
  *bundle.get() = Bstr(L"bUNDLE");
  EXPECT_EQ(GetPortsNamesByBundleAndSide(bundle.copy(), 1, &names), 1);
  EXPECT_EQ(Texts(*names), std::vector<std::wstring>{L"CoM1"});  // as stored
}

TEST_F(Part3_2_GetPortsNamesByBundleAndSide, SideOtherThan0Or1IsRefusedWith13) {
  ASSERT_EQ(SetString(SideKey(L"B1", 1), L"COM1", L"Real|"), ERROR_SUCCESS);
  Var bundle;
  *bundle.get() = Bstr(L"B1");
  for (int side : {2, -1, 256}) {
    Var names;
    *names.get() = Bstr(L"previous");
    EXPECT_EQ(GetPortsNamesByBundleAndSide(bundle.copy(), side, &names), 0) << side;
    EXPECT_EQ(QKGetLastError(), 13u);
    EXPECT_EQ(names->vt, VT_EMPTY);  // cleared before the checks
  }
}

TEST_F(Part3_2_GetPortsNamesByBundleAndSide, ByReferenceBstrBundleIsAccepted) {
  ASSERT_EQ(SetString(SideKey(L"B1", 0), L"COM1", L"Real|"), ERROR_SUCCESS);
  BSTR target = SysAllocString(L"B1");
  Var bundle, names;
  *bundle.get() = ByRefBstr(&target);
  EXPECT_EQ(GetPortsNamesByBundleAndSide(bundle.copy(), 0, &names), 1);
  EXPECT_EQ(Texts(*names), std::vector<std::wstring>{L"COM1"});
  EXPECT_EQ(std::wstring(target), L"B1");  // the referenced string is the caller's, untouched
  SysFreeString(target);
}

TEST_F(Part3_2_GetPortsNamesByBundleAndSide, NonStringBundlesAreRefusedWith13) {
  ASSERT_EQ(SetString(SideKey(L"12", 0), L"COM1", L"Real|"), ERROR_SUCCESS);
  LONG twelve = 12;
  const VARIANT refused[] = {I4(12), I8(12), OfType(VT_EMPTY), OfType(VT_NULL), ByRefI4(&twelve),
                             OfType(VT_BYREF | VT_BSTR, 0) /* null reference */};
  for (const VARIANT& v : refused) {
    Var names;
    EXPECT_EQ(GetPortsNamesByBundleAndSide(v, 0, &names), 0) << v.vt;
    EXPECT_EQ(QKGetLastError(), 13u);
    EXPECT_EQ(names->vt, VT_EMPTY);
  }
}

TEST_F(Part3_2_GetPortsNamesByBundleAndSide, BundleTextEndsAtItsFirstNul) {
  ASSERT_EQ(SetString(SideKey(L"B1", 0), L"COM1", L"Real|"), ERROR_SUCCESS);
  Var bundle, names;
  *bundle.get() = Bstr(std::wstring(L"B1\0junk", 7));
  EXPECT_EQ(GetPortsNamesByBundleAndSide(bundle.copy(), 0, &names), 1);
  EXPECT_EQ(Texts(*names), std::vector<std::wstring>{L"COM1"});
}

TEST_F(Part3_2_GetPortsNamesByBundleAndSide, NullOutputIsRefusedWith13) {
  ASSERT_EQ(SetString(SideKey(L"B1", 0), L"COM1", L"Real|"), ERROR_SUCCESS);
  Var bundle;
  *bundle.get() = Bstr(L"B1");
  EXPECT_EQ(GetPortsNamesByBundleAndSide(bundle.copy(), 0, nullptr), 0);
  EXPECT_EQ(QKGetLastError(), 13u);
}

// ---- BundleGetMainPortForSide -------------------------------------------

TEST_F(Part3_2_BundleGetMainPortForSide, ReadsInMainAndOutMain) {
  ASSERT_EQ(SetString(BundleKey(L"B1"), L"InMain", L"COM1"), ERROR_SUCCESS);
  ASSERT_EQ(SetString(BundleKey(L"B1"), L"OutMain", L"%COM2%", REG_EXPAND_SZ), ERROR_SUCCESS);
  Var bundle, in, out;
  *bundle.get() = Bstr(L"B1");
  EXPECT_EQ(BundleGetMainPortForSide(bundle.copy(), 0, &in), 1);
  EXPECT_EQ(in->vt, VT_BSTR);
  EXPECT_EQ(TextOf(*in), L"COM1");
  EXPECT_EQ(BundleGetMainPortForSide(bundle.copy(), 1, &out), 1);
  EXPECT_EQ(TextOf(*out), L"%COM2%");  // unexpanded
}

TEST_F(Part3_2_BundleGetMainPortForSide, EmptyOutMainGivesAnEmptyNonNullBstr) {
  ASSERT_EQ(SetString(BundleKey(L"B1"), L"OutMain", L""), ERROR_SUCCESS);
  ASSERT_EQ(SetRaw(BundleKey(L"B2"), L"OutMain", REG_SZ, L"", 0), ERROR_SUCCESS);  // zero bytes
  for (const wchar_t* b : {L"B1", L"B2"}) {
    Var bundle, port;
    *bundle.get() = Bstr(b);
    EXPECT_EQ(BundleGetMainPortForSide(bundle.copy(), 1, &port), 1);
    ASSERT_EQ(port->vt, VT_BSTR);
    ASSERT_NE(port->bstrVal, nullptr);
    EXPECT_EQ(SysStringLen(port->bstrVal), 0u);
  }
}

TEST_F(Part3_2_BundleGetMainPortForSide, EmbeddedNulCutsTheText) {
  const wchar_t data[] = L"COM1\0COM2";
  ASSERT_EQ(SetRaw(BundleKey(L"B1"), L"InMain", REG_SZ, data, sizeof(data)), ERROR_SUCCESS);
  Var bundle, port;
  *bundle.get() = Bstr(L"B1");
  EXPECT_EQ(BundleGetMainPortForSide(bundle.copy(), 0, &port), 1);
  EXPECT_EQ(TextOf(*port), L"COM1");
  EXPECT_EQ(SysStringLen(port->bstrVal), 4u);
}

TEST_F(Part3_2_BundleGetMainPortForSide, InMainOfTypeDwordFailsWith13) {
  ASSERT_EQ(SetDword(BundleKey(L"B1"), L"InMain", 1), ERROR_SUCCESS);
  Var bundle, port;
  *bundle.get() = Bstr(L"B1");
  *port.get() = Bstr(L"previous");
  EXPECT_EQ(BundleGetMainPortForSide(bundle.copy(), 0, &port), 0);
  EXPECT_EQ(QKGetLastError(), 13u);
  EXPECT_EQ(port->vt, VT_EMPTY);
}

TEST_F(Part3_2_BundleGetMainPortForSide, MalformedStringsFail) {
  ASSERT_EQ(SetStringWithoutNul(BundleKey(L"B1"), L"InMain", L"COM1"), ERROR_SUCCESS);
  const char odd[6] = {'C', 0, 'O', 0, 0, 0x7F};
  ASSERT_EQ(SetRaw(BundleKey(L"B1"), L"OutMain", REG_SZ, odd, 5), ERROR_SUCCESS);
  ASSERT_EQ(SetRaw(BundleKey(L"B2"), L"InMain", REG_BINARY, L"COM1", 10), ERROR_SUCCESS);
  ASSERT_EQ(SetRaw(BundleKey(L"B2"), L"OutMain", REG_MULTI_SZ, L"COM1\0", 12), ERROR_SUCCESS);
  struct Case {
    const wchar_t* bundle;
    int side;
    unsigned code;
  } cases[] = {{L"B1", 0, 13}, {L"B1", 1, 234}, {L"B2", 0, 13}, {L"B2", 1, 13}};
  for (const Case& c : cases) {
    Var bundle, port;
    *bundle.get() = Bstr(c.bundle);
    EXPECT_EQ(BundleGetMainPortForSide(bundle.copy(), c.side, &port), 0);
    EXPECT_EQ(QKGetLastError(), c.code) << c.bundle << c.side;
    EXPECT_EQ(port->vt, VT_EMPTY);
  }
}

TEST_F(Part3_2_BundleGetMainPortForSide, MissingValueOrBundleFailsWith2) {
  ASSERT_EQ(SetString(BundleKey(L"B1"), L"InMain", L"COM1"), ERROR_SUCCESS);
  Var b1, b9, port;
  *b1.get() = Bstr(L"B1");
  *b9.get() = Bstr(L"B9");
  EXPECT_EQ(BundleGetMainPortForSide(b1.copy(), 1, &port), 0);
  EXPECT_EQ(QKGetLastError(), 2u);
  EXPECT_EQ(port->vt, VT_EMPTY);
  PresetLastError13();
  EXPECT_EQ(BundleGetMainPortForSide(b9.copy(), 0, &port), 0);
  EXPECT_EQ(QKGetLastError(), 2u);
}

TEST_F(Part3_2_BundleGetMainPortForSide, ValueNameMatchesWithoutRegardToCase) {
  ASSERT_EQ(SetString(BundleKey(L"B1"), L"inmain", L"COM4"), ERROR_SUCCESS);
  Var bundle, port;
  *bundle.get() = Bstr(L"b1");
  EXPECT_EQ(BundleGetMainPortForSide(bundle.copy(), 0, &port), 1);
  EXPECT_EQ(TextOf(*port), L"COM4");
}

TEST_F(Part3_2_BundleGetMainPortForSide, RefusedArgumentsGive13AndAClearedOutput) {
  ASSERT_EQ(SetString(BundleKey(L"B1"), L"InMain", L"COM1"), ERROR_SUCCESS);
  Var bundle;
  *bundle.get() = Bstr(L"B1");
  for (int side : {2, -1}) {
    Var port;
    *port.get() = Bstr(L"previous");
    EXPECT_EQ(BundleGetMainPortForSide(bundle.copy(), side, &port), 0);
    EXPECT_EQ(QKGetLastError(), 13u);
    EXPECT_EQ(port->vt, VT_EMPTY);
  }
  Var port;
  *port.get() = Bstr(L"previous");
  EXPECT_EQ(BundleGetMainPortForSide(I4(1), 0, &port), 0);
  EXPECT_EQ(QKGetLastError(), 13u);
  EXPECT_EQ(port->vt, VT_EMPTY);
  BSTR target = SysAllocString(L"B1");
  EXPECT_EQ(BundleGetMainPortForSide(ByRefBstr(&target), 0, &port), 1);
  EXPECT_EQ(TextOf(*port), L"COM1");
  SysFreeString(target);
  EXPECT_EQ(BundleGetMainPortForSide(bundle.copy(), 0, nullptr), 0);
  EXPECT_EQ(QKGetLastError(), 13u);
}

// ---- BundleGetPortType ---------------------------------------------------

namespace {
struct TypeCase {
  const wchar_t* entry;
  int type;
};
}  // namespace

TEST_F(Part3_2_BundleGetPortType, LeadingLettersDecideTheType) {
  const TypeCase cases[] = {
      {L"Switcher|x", 8}, {L"Shared|9600,n,8,0|1|0", 4}, {L"KOLM", 2}, {L"Real|9600,n,8,0|1|0", 1},
      {L"Virtual", 2},    {L"switcher", 8},              {L"shared", 4}, {L"kolm|x", 2},
      {L"real", 1},       {L"v", 2},                     {L"Ko", 2},    {L"SW", 8},
  };
  const std::wstring side = SideKey(L"B1", 1);
  for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i) {
    ASSERT_EQ(SetString(side, L"P" + std::to_wstring(i), cases[i].entry), ERROR_SUCCESS);
  }
  Var bundle;
  *bundle.get() = Bstr(L"B1");
  for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i) {
    Var port, type;
    *port.get() = Bstr(L"P" + std::to_wstring(i));
    *type.get() = Bstr(L"previous");
    EXPECT_EQ(BundleGetPortType(bundle.copy(), 1, port.copy(), &type), 1) << cases[i].entry;
    EXPECT_EQ(type->vt, VT_INT) << cases[i].entry;
    EXPECT_EQ(type->intVal, cases[i].type) << cases[i].entry;
  }
}

TEST_F(Part3_2_BundleGetPortType, EntryWithNoKnownLettersGivesVtInt0) {
  const std::wstring side = SideKey(L"B1", 0);
  const wchar_t* entries[] = {L"", L"S", L"Sx|", L"K", L"X|9600", L" Real", L"|Real"};
  for (size_t i = 0; i < sizeof(entries) / sizeof(entries[0]); ++i) {
    ASSERT_EQ(SetString(side, L"P" + std::to_wstring(i), entries[i]), ERROR_SUCCESS);
  }
  Var bundle;
  *bundle.get() = Bstr(L"B1");
  for (size_t i = 0; i < sizeof(entries) / sizeof(entries[0]); ++i) {
    Var port, type;
    *port.get() = Bstr(L"P" + std::to_wstring(i));
    EXPECT_EQ(BundleGetPortType(bundle.copy(), 0, port.copy(), &type), 1) << entries[i];
    EXPECT_EQ(type->vt, VT_INT);
    EXPECT_EQ(type->intVal, 0) << entries[i];
  }
}

TEST_F(Part3_2_BundleGetPortType, PortNameIsNotCheckedAsAPortName) {
  const std::wstring odd = L"COM 1-" + std::wstring(40, L'x');
  ASSERT_EQ(SetString(SideKey(L"B1", 0), odd, L"Shared"), ERROR_SUCCESS);
  Var bundle, port, type;
  *bundle.get() = Bstr(L"B1");
  *port.get() = Bstr(odd);
  EXPECT_EQ(BundleGetPortType(bundle.copy(), 0, port.copy(), &type), 1);
  EXPECT_EQ(type->intVal, 4);
}

TEST_F(Part3_2_BundleGetPortType, RefusedArgumentsLeaveTheOutputUntouched) {
  ASSERT_EQ(SetString(SideKey(L"B1", 0), L"COM1", L"Real|"), ERROR_SUCCESS);
  BSTR bundleRef = SysAllocString(L"B1"), portRef = SysAllocString(L"COM1");
  struct Case {
    VARIANT bundle;
    int side;
    VARIANT port;
  } cases[] = {
      {I4(1), 0, Bstr(L"COM1")},      {Bstr(L"B1"), 2, Bstr(L"COM1")},     {Bstr(L"B1"), -1, Bstr(L"COM1")},
      {Bstr(L"B1"), 0, I4(1)},        {OfType(VT_NULL), 0, Bstr(L"COM1")}, {Bstr(L"B1"), 0, OfType(VT_EMPTY)},
  };
  for (Case& c : cases) {
    Var type;
    *type.get() = Bstr(L"keep");
    EXPECT_EQ(BundleGetPortType(c.bundle, c.side, c.port, &type), 0);
    EXPECT_EQ(QKGetLastError(), 13u);
    EXPECT_EQ(type->vt, VT_BSTR);
    EXPECT_EQ(TextOf(*type), L"keep");
    VariantClear(&c.bundle);
    VariantClear(&c.port);
  }
  Var type;
  EXPECT_EQ(BundleGetPortType(ByRefBstr(&bundleRef), 0, ByRefBstr(&portRef), &type), 1);  // by reference: accepted
  EXPECT_EQ(type->vt, VT_INT);
  EXPECT_EQ(type->intVal, 1);
  SysFreeString(bundleRef);
  SysFreeString(portRef);
}

TEST_F(Part3_2_BundleGetPortType, ReadFailuresClearTheOutput) {
  const std::wstring side = SideKey(L"B1", 1);
  ASSERT_EQ(SetDword(side, L"Dword", 1), ERROR_SUCCESS);
  ASSERT_EQ(SetStringWithoutNul(side, L"NoNul", L"Real"), ERROR_SUCCESS);
  const char odd[6] = {'R', 0, 'e', 0, 0, 0x7F};
  ASSERT_EQ(SetRaw(side, L"Odd", REG_SZ, odd, 5), ERROR_SUCCESS);
  struct Case {
    const wchar_t* bundle;
    int side;
    const wchar_t* port;
    unsigned code;
  } cases[] = {{L"B1", 1, L"Dword", 13}, {L"B1", 1, L"NoNul", 13}, {L"B1", 1, L"Odd", 234},
               {L"B1", 1, L"Missing", 2}, {L"B1", 0, L"Dword", 2},  {L"B9", 1, L"Dword", 2}};
  for (const Case& c : cases) {
    Var bundle, port, type;
    *bundle.get() = Bstr(c.bundle);
    *port.get() = Bstr(c.port);
    *type.get() = Bstr(L"previous");
    EXPECT_EQ(BundleGetPortType(bundle.copy(), c.side, port.copy(), &type), 0) << c.port;
    EXPECT_EQ(QKGetLastError(), c.code) << c.port;
    EXPECT_EQ(type->vt, VT_EMPTY);
  }
}

TEST_F(Part3_2_BundleGetPortType, PortNameMatchesWithoutRegardToCase) {
  ASSERT_EQ(SetString(SideKey(L"B1", 0), L"COM1", L"sw|x"), ERROR_SUCCESS);
  Var bundle, port, type;
  *bundle.get() = Bstr(L"b1");
  *port.get() = Bstr(L"com1");
  EXPECT_EQ(BundleGetPortType(bundle.copy(), 0, port.copy(), &type), 1);
  EXPECT_EQ(type->intVal, 8);
}

TEST_F(Part3_2_BundleGetPortType, NullOutputIsRefusedWith13) {
  ASSERT_EQ(SetString(SideKey(L"B1", 0), L"COM1", L"Real"), ERROR_SUCCESS);
  Var bundle, port;
  *bundle.get() = Bstr(L"B1");
  *port.get() = Bstr(L"COM1");
  EXPECT_EQ(BundleGetPortType(bundle.copy(), 0, port.copy(), nullptr), 0);
  EXPECT_EQ(QKGetLastError(), 13u);
}

// ---- GetRealPortsList ------------------------------------------------------

namespace {
// The expected list: the map's values in the registry's order, drivers'
// devices left out.
std::vector<std::wstring> ExpectedRealPorts(const std::map<std::wstring, std::wstring>& data) {
  std::vector<std::wstring> ports;
  for (const std::wstring& name : EnumValueNamesDirect(kSerialMap)) {
    auto found = data.find(name);
    if (found != data.end()) ports.push_back(found->second);
  }
  return ports;
}
}  // namespace

TEST_F(Part3_2_GetRealPortsList, DriversDevicesAreSkippedOthersListedInOrderWithDuplicates) {
  const std::map<std::wstring, std::wstring> real = {
      {L"\\Device\\Serial0", L"COM1"},  {L"\\Device\\Serial1", L"COM2"}, {L"\\Device\\Dunval", L"COM3"},
      {L"\\Device\\ZSerial", L"COM1"},  {L"\\Device\\VCP0", L"COM9"},    {L"Dunvale0", L"COM10"}};
  for (const auto& [name, port] : real) ASSERT_EQ(SetString(kSerialMap, name, port), ERROR_SUCCESS);
  for (const wchar_t* name : {L"\\Device\\Dunvale0", L"\\Device\\Marrowby3", L"\\DEVICE\\DUNVALE7",
                              L"\\device\\marrowbyX", L"\\Device\\DunvaleSomething"}) {
    ASSERT_EQ(SetString(kSerialMap, name, L"CNCA0"), ERROR_SUCCESS);
  }
  Var ports;
  EXPECT_EQ(GetRealPortsList(&ports), 1);
  const auto texts = Texts(*ports);
  EXPECT_EQ(texts, ExpectedRealPorts(real));
  EXPECT_EQ(texts.size(), 6u);
  EXPECT_EQ(std::count(texts.begin(), texts.end(), L"COM1"), 2);
}

TEST_F(Part3_2_GetRealPortsList, EmptyMapOrOnlyDriversDevicesGive1AndVtEmpty) {
  PresetLastError13();
  Var ports;
  FillWithOldArray(ports.get());
  EXPECT_EQ(GetRealPortsList(&ports), 1);
  EXPECT_EQ(ports->vt, VT_EMPTY);
  ASSERT_EQ(SetString(kSerialMap, L"\\Device\\Dunvale0", L"CNCA0"), ERROR_SUCCESS);
  ASSERT_EQ(SetString(kSerialMap, L"\\Device\\Marrowby0", L"CNCB0"), ERROR_SUCCESS);
  EXPECT_EQ(GetRealPortsList(&ports), 1);
  EXPECT_EQ(ports->vt, VT_EMPTY);
  EXPECT_EQ(QKGetLastError(), 13u);
}

TEST_F(Part3_2_GetRealPortsList, OneDeviceGivesBoundsZeroToZeroAndEmbeddedNulCutsTheText) {
  const wchar_t data[] = L"COM7\0junk";
  ASSERT_EQ(SetRaw(kSerialMap, L"\\Device\\Serial0", REG_SZ, data, sizeof(data)), ERROR_SUCCESS);
  Var ports;
  FillWithOldArray(ports.get());
  EXPECT_EQ(GetRealPortsList(&ports), 1);
  ASSERT_EQ(ports->vt, VT_ARRAY | VT_BSTR);
  EXPECT_EQ(Lower(ports->parray), 0);
  EXPECT_EQ(Upper(ports->parray), 0);
  EXPECT_EQ(Texts(*ports), std::vector<std::wstring>{L"COM7"});
}

TEST_F(Part3_2_GetRealPortsList, ExpandStringsAreUsedUnexpanded) {
  ASSERT_EQ(SetString(kSerialMap, L"\\Device\\Serial0", L"%COM%", REG_EXPAND_SZ), ERROR_SUCCESS);
  Var ports;
  EXPECT_EQ(GetRealPortsList(&ports), 1);
  EXPECT_EQ(Texts(*ports), std::vector<std::wstring>{L"%COM%"});
}

namespace {
// Three real devices, then the kernel names in the registry's order.
std::vector<std::wstring> ThreeDevices() {
  for (const wchar_t* name : {L"\\Device\\Serial1", L"\\Device\\Serial2", L"\\Device\\Serial3"}) {
    EXPECT_EQ(SetString(kSerialMap, name, std::wstring(L"COM") + name[14]), ERROR_SUCCESS);
  }
  const auto order = EnumValueNamesDirect(kSerialMap);
  EXPECT_EQ(order.size(), 3u);
  return order;
}
std::wstring PortOf(const std::wstring& kernelName) { return L"COM" + kernelName.substr(14, 1); }
}  // namespace

TEST_F(Part3_2_GetRealPortsList, LastDeviceOfTypeDwordFailsWith234) {
  const auto order = ThreeDevices();
  ASSERT_EQ(SetDword(kSerialMap, order[2], 3), ERROR_SUCCESS);
  Var ports;
  *ports.get() = Bstr(L"previous");
  EXPECT_EQ(GetRealPortsList(&ports), 0);
  EXPECT_EQ(QKGetLastError(), 234u);
  EXPECT_EQ(ports->vt, VT_EMPTY);
}

TEST_F(Part3_2_GetRealPortsList, LastDeviceOfTypeDwordBeforeADriversDeviceStillFails) {
  const auto order = ThreeDevices();
  ASSERT_EQ(SetDword(kSerialMap, order[2], 3), ERROR_SUCCESS);
  // Drivers' devices are skipped wherever they stand.
  ASSERT_EQ(SetString(kSerialMap, L"\\Device\\Dunvale9", L"CNCA9"), ERROR_SUCCESS);
  ASSERT_EQ(SetString(kSerialMap, L"\\Device\\Marrowby9", L"CNCB9"), ERROR_SUCCESS);
  Var ports;
  EXPECT_EQ(GetRealPortsList(&ports), 0);
  EXPECT_EQ(QKGetLastError(), 234u);
  EXPECT_EQ(ports->vt, VT_EMPTY);
}

TEST_F(Part3_2_GetRealPortsList, EarlierDeviceOfTypeDwordGivesAnEmptyString) {
  const auto order = ThreeDevices();
  ASSERT_EQ(SetDword(kSerialMap, order[0], 3), ERROR_SUCCESS);
  PresetLastError13();
  Var ports;
  EXPECT_EQ(GetRealPortsList(&ports), 1);
  EXPECT_EQ(Texts(*ports), (std::vector<std::wstring>{L"", PortOf(order[1]), PortOf(order[2])}));
  EXPECT_EQ(QKGetLastError(), 13u);
}

TEST_F(Part3_2_GetRealPortsList, LastDeviceWithoutFinalNulFailsWith13) {
  const auto order = ThreeDevices();
  ASSERT_EQ(SetStringWithoutNul(kSerialMap, order[2], L"COM9"), ERROR_SUCCESS);
  Var ports;
  EXPECT_EQ(GetRealPortsList(&ports), 0);
  EXPECT_EQ(QKGetLastError(), 13u);
  EXPECT_EQ(ports->vt, VT_EMPTY);
}

TEST_F(Part3_2_GetRealPortsList, EarlierDeviceWithoutFinalNulIsListedWithItsText) {
  const auto order = ThreeDevices();
  ASSERT_EQ(SetStringWithoutNul(kSerialMap, order[1], L"COM9"), ERROR_SUCCESS);
  Var ports;
  EXPECT_EQ(GetRealPortsList(&ports), 1);
  EXPECT_EQ(Texts(*ports), (std::vector<std::wstring>{PortOf(order[0]), L"COM9", PortOf(order[2])}));
}

TEST_F(Part3_2_GetRealPortsList, OtherUnreadableLastDevices) {
  const auto order = ThreeDevices();
  const char odd[6] = {'C', 0, 'O', 0, 0, 0x7F};
  const uint64_t q = 5;
  struct Case {
    DWORD type;
    const void* data;
    DWORD size;
    unsigned code;
  } cases[] = {{REG_SZ, odd, 5, 234}, {REG_QWORD, &q, 8, 234}, {REG_BINARY, "\x01", 1, 234},
               {REG_BINARY, nullptr, 0, 13}, {REG_MULTI_SZ, L"C\0", 6, 234}};
  for (const Case& c : cases) {
    ASSERT_EQ(SetRaw(kSerialMap, order[2], c.type, c.data, c.size), ERROR_SUCCESS);
    Var ports;
    EXPECT_EQ(GetRealPortsList(&ports), 0) << c.type;
    EXPECT_EQ(QKGetLastError(), c.code) << c.type;
    EXPECT_EQ(ports->vt, VT_EMPTY);
  }
}

TEST_F(Part3_2_GetRealPortsList, MissingMapFailsWith2) {
  ASSERT_EQ(map_.RemoveKey(), ERROR_SUCCESS);
  Var ports;
  FillWithOldArray(ports.get());
  EXPECT_EQ(GetRealPortsList(&ports), 0);
  EXPECT_EQ(QKGetLastError(), 2u);
  EXPECT_EQ(ports->vt, VT_EMPTY);
}

TEST_F(Part3_2_GetRealPortsList, NullOutputIsRefusedWith13) {
  EXPECT_EQ(GetRealPortsList(nullptr), 0);
  EXPECT_EQ(QKGetLastError(), 13u);
}

TEST_F(Part3_2_GetPortsNamesByBundleAndSide, NullBstrBundleIsTheEmptyNameUsedUnchanged) {
  // The queries apply no check of their own to names: the path becomes
  // root + "\\" + "" + "\\IN", which Wine's registry resolves like root + "\\IN".
  ASSERT_EQ(SetString(kRoot + L"\\IN", L"COM1", L"Real|"), ERROR_SUCCESS);
  Var names;
  EXPECT_EQ(GetPortsNamesByBundleAndSide(NullBstr(), 0, &names), 1);
  EXPECT_EQ(Texts(*names), std::vector<std::wstring>{L"COM1"});
}
