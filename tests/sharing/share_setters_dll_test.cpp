// Part 5.1 senders (SharedPortSetPermissionsForApp, SharedSetDefaultPermissions,
// SharedDelAllPermissions) through the real lumbrex.dll, against the test pipe
// server and registry fixtures: exact SET_SHARE_PERMISSION bytes (Part 2.2),
// results and last-error codes.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "lumbrex.h"
#include "support/registry_fixture.h"
#include "support/test_pipe_server.h"
#include "support/variants.h"

using namespace testsupport;
using Commands = std::vector<std::string>;

namespace {

const std::wstring kShared = L"Software\\OSTREL Software\\Quillane2";
std::wstring PortKey(const std::wstring& port) { return kShared + L"\\" + port; }
std::wstring PermissionsKey(const std::wstring& port) { return PortKey(port) + L"\\Permissions"; }

// The export calls with the arguments made the way a C caller makes them.
int SetForApp(const std::wstring& bundle, int side, const std::wstring& port, const std::wstring& app,
              VARIANT permission) {
  Var b, p, a;
  *b = Bstr(bundle);
  *p = Bstr(port);
  *a = Bstr(app);
  return SharedPortSetPermissionsForApp(b.copy(), side, p.copy(), a.copy(), permission);
}

int SetDefault(const std::wstring& bundle, int side, const std::wstring& port, const std::wstring& app) {
  Var b, p, a;
  *b = Bstr(bundle);
  *p = Bstr(port);
  *a = Bstr(app);
  return SharedSetDefaultPermissions(b.copy(), side, p.copy(), a.copy());
}

int DelAll(const std::wstring& bundle, int side, const std::wstring& port) {
  Var b, p;
  *b = Bstr(bundle);
  *p = Bstr(port);
  return SharedDelAllPermissions(b.copy(), side, p.copy());
}

// Leaves the known last-error code 13 through a refused call (nothing sent).
void SetLastErrorTo13() {
  ASSERT_EQ(DelAll(L"B1", 2, L"COM7"), 0);
  ASSERT_EQ(QKGetLastError(), 13u);
}

// Leaves the known last-error code 2 (a port without a permissions key).
void SetLastErrorTo2() {
  ScopedTree tree(PortKey(L"NOKEY"));
  ASSERT_EQ(DelAll(L"B1", 0, L"NOKEY"), 1);
  ASSERT_EQ(QKGetLastError(), 2u);
}

// A connected library, a server answering OK! and a clean shared-ports key.
class Part5_1_SharedSetters : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.listening());
    ASSERT_EQ(ConnectToLocalService(), 1);
  }
  void TearDown() override { DisconnectFromService(); }

  // Every byte received belongs to a command: nothing follows a "!".
  void ExpectNothingAfterTheCommands() {
    const Commands commands = server_.Commands();
    size_t total = 0;
    for (const std::string& c : commands) total += c.size();
    EXPECT_EQ(server_.BytesReceived(), total);
  }

  ScopedTree tree_{kShared};
  TestPipeServer server_;
};

}  // namespace

// ---- SharedPortSetPermissionsForApp --------------------------------------

TEST_F(Part5_1_SharedSetters, SetForAppSendsExactBytesForBothSides) {
  EXPECT_EQ(SetForApp(L"B1", 0, L"COM7", L"app.exe", I4(1)), 1);
  EXPECT_EQ(SetForApp(L"B2", 1, L"COM12", L"term", I4(7)), 1);
  EXPECT_EQ(server_.Commands(), (Commands{"SET_SHARE_PERMISSION B1,In,COM7,app.exe,1!",
                                          "SET_SHARE_PERMISSION B2,Out,COM12,term,7!"}));
  ExpectNothingAfterTheCommands();
  EXPECT_EQ(QKGetLastError(), 0u);
}

TEST_F(Part5_1_SharedSetters, SetForAppReadsNoRegistry) {
  // No permissions key, no bundle: the service decides (Part 5.1).
  EXPECT_EQ(SetForApp(L"NoSuchBundle", 0, L"COM99", L"new", I4(2)), 1);
  EXPECT_EQ(server_.Commands(), (Commands{"SET_SHARE_PERMISSION NoSuchBundle,In,COM99,new,2!"}));
  EXPECT_EQ(QKGetLastError(), 0u);
}

TEST_F(Part5_1_SharedSetters, SetForAppReturnsTheVerdictAndAFailureLeavesTheCode) {
  SetLastErrorTo2();
  server_.QueueReply("ERROR!");
  server_.QueueReply("ok!");
  server_.QueueReply("O!");
  EXPECT_EQ(SetForApp(L"B1", 0, L"COM7", L"a", I4(3)), 0);
  EXPECT_EQ(QKGetLastError(), 2u) << "a failed command stores no code";
  EXPECT_EQ(SetForApp(L"B1", 0, L"COM7", L"a", I4(3)), 1);
  EXPECT_EQ(SetForApp(L"B1", 0, L"COM7", L"a", I4(3)), 0);
  EXPECT_EQ(QKGetLastError(), 2u);
  EXPECT_EQ(server_.CommandCount(), 3u);
}

TEST_F(Part5_1_SharedSetters, ApplicationNameIsEscapedAtSigns_Bangs_Commas) {
  EXPECT_EQ(SetForApp(L"B1", 0, L"COM7", L"a,b!", I4(3)), 1);
  EXPECT_EQ(SetForApp(L"B1", 0, L"COM7", L"x@y", I4(3)), 1);
  // "@" first: the "@" of "@1" and "@2" is not escaped again.
  EXPECT_EQ(SetForApp(L"B1", 0, L"COM7", L"@!,", I4(3)), 1);
  EXPECT_EQ(SetForApp(L"B1", 0, L"COM7", L"@1@2@3", I4(3)), 1);
  EXPECT_EQ(SetForApp(L"B1", 0, L"COM7", L"!!,,@@", I4(3)), 1);
  EXPECT_EQ(server_.Commands(), (Commands{"SET_SHARE_PERMISSION B1,In,COM7,a@2b@1,3!",
                                          "SET_SHARE_PERMISSION B1,In,COM7,x@3y,3!",
                                          "SET_SHARE_PERMISSION B1,In,COM7,@3@1@2,3!",
                                          "SET_SHARE_PERMISSION B1,In,COM7,@31@32@33,3!",
                                          "SET_SHARE_PERMISSION B1,In,COM7,@1@1@2@2@3@3,3!"}));
  ExpectNothingAfterTheCommands();
}

TEST_F(Part5_1_SharedSetters, OnlyTheApplicationIsEscaped) {
  // Bundle names are not escaped (Part 2.2 escapes the application field only).
  EXPECT_EQ(SetForApp(L"B@1", 1, L"COM7", L"x", I4(1)), 1);
  EXPECT_EQ(server_.Commands(), (Commands{"SET_SHARE_PERMISSION B@1,Out,COM7,x,1!"}));
}

TEST_F(Part5_1_SharedSetters, EmptyNullAndNulCutApplicationNames) {
  Var b, p, a;
  *b = Bstr(L"B1");
  *p = Bstr(L"COM7");
  *a = NullBstr();
  EXPECT_EQ(SharedPortSetPermissionsForApp(b.copy(), 0, p.copy(), a.copy(), I4(3)), 1);
  EXPECT_EQ(SetForApp(L"B1", 0, L"COM7", L"", I4(3)), 1);
  EXPECT_EQ(SetForApp(L"B1", 0, L"COM7", std::wstring(L"ab\0cd", 5), I4(3)), 1);
  EXPECT_EQ(server_.Commands(), (Commands{"SET_SHARE_PERMISSION B1,In,COM7,,3!",
                                          "SET_SHARE_PERMISSION B1,In,COM7,,3!",
                                          "SET_SHARE_PERMISSION B1,In,COM7,ab,3!"}));
}

TEST_F(Part5_1_SharedSetters, PermissionZeroIsAcceptedAndSent) {
  EXPECT_EQ(SetForApp(L"B1", 0, L"COM7", L"a", I4(0)), 1);
  EXPECT_EQ(server_.Commands(), (Commands{"SET_SHARE_PERMISSION B1,In,COM7,a,0!"}));
}

TEST_F(Part5_1_SharedSetters, PermissionEightIsRejectedWith13AndNothingSent) {
  SetLastErrorTo2();
  EXPECT_EQ(SetForApp(L"B1", 0, L"COM7", L"a", I4(8)), 0);
  EXPECT_EQ(QKGetLastError(), 13u);
  EXPECT_EQ(server_.CommandCount(), 0u);
}

TEST_F(Part5_1_SharedSetters, PermissionNineIsSentAsNine) {
  EXPECT_EQ(SetForApp(L"B1", 0, L"COM7", L"a", I4(9)), 1);
  EXPECT_EQ(server_.Commands(), (Commands{"SET_SHARE_PERMISSION B1,In,COM7,a,9!"}));
}

TEST_F(Part5_1_SharedSetters, PermissionsWithoutALowBitAreRejected) {
  for (int32_t value : {8, 16, 24, 256, 0x7FFFFFF8, INT32_MIN}) {
    SCOPED_TRACE(value);
    SetLastErrorTo2();
    EXPECT_EQ(SetForApp(L"B1", 0, L"COM7", L"a", I4(value)), 0);
    EXPECT_EQ(QKGetLastError(), 13u);
  }
  EXPECT_EQ(server_.CommandCount(), 0u);
}

TEST_F(Part5_1_SharedSetters, PermissionsWithALowBitTravelWithTheirHighBits) {
  for (int32_t value : {1, 2, 4, 5, 6, 7, 0x101, 0x7FFFFFFF}) {
    SCOPED_TRACE(value);
    EXPECT_EQ(SetForApp(L"B1", 0, L"COM7", L"a", I4(value)), 1);
  }
  EXPECT_EQ(server_.Commands(),
            (Commands{"SET_SHARE_PERMISSION B1,In,COM7,a,1!", "SET_SHARE_PERMISSION B1,In,COM7,a,2!",
                      "SET_SHARE_PERMISSION B1,In,COM7,a,4!", "SET_SHARE_PERMISSION B1,In,COM7,a,5!",
                      "SET_SHARE_PERMISSION B1,In,COM7,a,6!", "SET_SHARE_PERMISSION B1,In,COM7,a,7!",
                      "SET_SHARE_PERMISSION B1,In,COM7,a,257!", "SET_SHARE_PERMISSION B1,In,COM7,a,2147483647!"}));
}

TEST_F(Part5_1_SharedSetters, PermissionIsSentAsSigned32BitValueOfEveryIntegerType) {
  EXPECT_EQ(SetForApp(L"B1", 0, L"COM7", L"a", I8(3)), 1);                    // VT_I8 3 sent as 3
  EXPECT_EQ(SetForApp(L"B1", 0, L"COM7", L"a", OfType(VT_I2, 5)), 1);
  EXPECT_EQ(SetForApp(L"B1", 0, L"COM7", L"a", OfType(VT_UI2, 6)), 1);
  EXPECT_EQ(SetForApp(L"B1", 0, L"COM7", L"a", OfType(VT_UI8, 7)), 1);
  EXPECT_EQ(SetForApp(L"B1", 0, L"COM7", L"a", OfType(VT_INT, 1)), 1);
  EXPECT_EQ(SetForApp(L"B1", 0, L"COM7", L"a", OfType(VT_UINT, 2)), 1);
  // Signed 32-bit decimal: 0xFFFFFFFF goes out as -1.
  EXPECT_EQ(SetForApp(L"B1", 0, L"COM7", L"a", OfType(VT_UI4, 0xFFFFFFFF)), 1);
  EXPECT_EQ(SetForApp(L"B1", 0, L"COM7", L"a", OfType(VT_I2, 0xFFFF)), 1);  // VT_I2 -1
  // Cut to 32 bits (Part 1.1): 2^32 + 3 is 3, 2^32 is 0 (accepted), 2^32 + 8 is 8.
  EXPECT_EQ(SetForApp(L"B1", 0, L"COM7", L"a", I8(0x100000003LL)), 1);
  EXPECT_EQ(SetForApp(L"B1", 0, L"COM7", L"a", I8(0x100000000LL)), 1);
  EXPECT_EQ(SetForApp(L"B1", 0, L"COM7", L"a", I8(0x100000008LL)), 0);
  EXPECT_EQ(QKGetLastError(), 13u);
  EXPECT_EQ(server_.Commands(),
            (Commands{"SET_SHARE_PERMISSION B1,In,COM7,a,3!", "SET_SHARE_PERMISSION B1,In,COM7,a,5!",
                      "SET_SHARE_PERMISSION B1,In,COM7,a,6!", "SET_SHARE_PERMISSION B1,In,COM7,a,7!",
                      "SET_SHARE_PERMISSION B1,In,COM7,a,1!", "SET_SHARE_PERMISSION B1,In,COM7,a,2!",
                      "SET_SHARE_PERMISSION B1,In,COM7,a,-1!", "SET_SHARE_PERMISSION B1,In,COM7,a,-1!",
                      "SET_SHARE_PERMISSION B1,In,COM7,a,3!", "SET_SHARE_PERMISSION B1,In,COM7,a,0!"}));
}

TEST_F(Part5_1_SharedSetters, ByReferenceI4PermissionIsRejectedWith13) {
  LONG three = 3;
  SetLastErrorTo2();
  EXPECT_EQ(SetForApp(L"B1", 0, L"COM7", L"a", ByRefI4(&three)), 0);
  EXPECT_EQ(QKGetLastError(), 13u);
  EXPECT_EQ(server_.CommandCount(), 0u);
}

TEST_F(Part5_1_SharedSetters, InvalidTypeCodePermissionIsRejectedWith13) {
  for (VARTYPE vt : {VARTYPE(0x00FF), VARTYPE(0x7FFF), VARTYPE(0xFFFF), VARTYPE(VT_VECTOR | VT_I4)}) {
    SCOPED_TRACE(vt);
    SetLastErrorTo2();
    EXPECT_EQ(SetForApp(L"B1", 0, L"COM7", L"a", OfType(vt, 3)), 0);
    EXPECT_EQ(QKGetLastError(), 13u);
  }
  EXPECT_EQ(server_.CommandCount(), 0u);
}

TEST_F(Part5_1_SharedSetters, PermissionTypesOutsideTheListAreRejectedWith13) {
  Var text;
  *text = Bstr(L"3");
  const VARIANT refused[] = {OfType(VT_I1, 3),   OfType(VT_UI1, 3),  OfType(VT_BOOL, 0xFFFF),
                             OfType(VT_EMPTY),   OfType(VT_NULL),    OfType(VT_R8, 0x4008000000000000LL),
                             OfType(VT_R4, 0x40400000), OfType(VT_CY, 30000), OfType(VT_ERROR, 3),
                             OfType(VT_BYREF | VT_I4, 0), OfType(VT_BYREF | VT_I8, 0), text.copy()};
  for (const VARIANT& v : refused) {
    SCOPED_TRACE(v.vt);
    SetLastErrorTo2();
    EXPECT_EQ(SetForApp(L"B1", 0, L"COM7", L"a", v), 0);
    EXPECT_EQ(QKGetLastError(), 13u);
  }
  EXPECT_EQ(server_.CommandCount(), 0u);
}

TEST_F(Part5_1_SharedSetters, StringArgumentsFollowTheStringRule) {
  // By-reference BSTRs are accepted for bundle, port and application.
  BSTR bundle = SysAllocString(L"B1");
  BSTR port = SysAllocString(L"COM7");
  BSTR app = SysAllocString(L"a,b");
  EXPECT_EQ(SharedPortSetPermissionsForApp(ByRefBstr(&bundle), 1, ByRefBstr(&port), ByRefBstr(&app), I4(1)), 1);
  EXPECT_EQ(SharedSetDefaultPermissions(ByRefBstr(&bundle), 0, ByRefBstr(&port), ByRefBstr(&app)), 1);
  EXPECT_EQ(server_.Commands(), (Commands{"SET_SHARE_PERMISSION B1,Out,COM7,a@2b,1!",
                                          "SET_SHARE_PERMISSION B1,In,COM7,a@2b,3!"}));
  server_.ClearCommands();
  // Anything but a BSTR (after the conversion) is refused with 13, in any of
  // the three places; so is a by-reference BSTR with a null reference.
  Var b, p, a;
  *b = Bstr(L"B1");
  *p = Bstr(L"COM7");
  *a = Bstr(L"a");
  const VARIANT others[] = {I4(1), OfType(VT_EMPTY), OfType(VT_NULL), OfType(VT_BYREF | VT_BSTR, 0)};
  for (const VARIANT& other : others) {
    SCOPED_TRACE(other.vt);
    SetLastErrorTo2();
    EXPECT_EQ(SharedPortSetPermissionsForApp(other, 0, p.copy(), a.copy(), I4(3)), 0);
    EXPECT_EQ(QKGetLastError(), 13u);
    SetLastErrorTo2();
    EXPECT_EQ(SharedPortSetPermissionsForApp(b.copy(), 0, other, a.copy(), I4(3)), 0);
    EXPECT_EQ(QKGetLastError(), 13u);
    SetLastErrorTo2();
    EXPECT_EQ(SharedPortSetPermissionsForApp(b.copy(), 0, p.copy(), other, I4(3)), 0);
    EXPECT_EQ(QKGetLastError(), 13u);
    SetLastErrorTo2();
    EXPECT_EQ(SharedSetDefaultPermissions(b.copy(), 0, p.copy(), other), 0);
    EXPECT_EQ(QKGetLastError(), 13u);
    SetLastErrorTo2();
    EXPECT_EQ(SharedDelAllPermissions(other, 0, p.copy()), 0);
    EXPECT_EQ(QKGetLastError(), 13u);
    SetLastErrorTo2();
    EXPECT_EQ(SharedDelAllPermissions(b.copy(), 0, other), 0);
    EXPECT_EQ(QKGetLastError(), 13u);
  }
  SysFreeString(bundle);
  SysFreeString(port);
  SysFreeString(app);
  EXPECT_EQ(server_.CommandCount(), 0u);
}

TEST_F(Part5_1_SharedSetters, BundleIsNotChecked) {
  // Any BSTR bundle goes out as it is, the null one as an empty field.
  Var b, p, a;
  *b = NullBstr();
  *p = Bstr(L"COM7");
  *a = Bstr(L"a");
  EXPECT_EQ(SharedPortSetPermissionsForApp(b.copy(), 0, p.copy(), a.copy(), I4(3)), 1);
  EXPECT_EQ(SetForApp(L"my bundle", 0, L"COM7", L"a", I4(3)), 1);
  EXPECT_EQ(server_.Commands(), (Commands{"SET_SHARE_PERMISSION ,In,COM7,a,3!",
                                          "SET_SHARE_PERMISSION my bundle,In,COM7,a,3!"}));
}

TEST_F(Part5_1_SharedSetters, SideOtherThanZeroOrOneIsRejectedByAllThree) {
  ScopedTree tree(PortKey(L"COM7"));
  ASSERT_EQ(SetDword(PermissionsKey(L"COM7"), L"app1", 3), 0);
  for (int side : {2, -1, 256}) {
    SCOPED_TRACE(side);
    SetLastErrorTo2();
    EXPECT_EQ(SetForApp(L"B1", side, L"COM7", L"a", I4(3)), 0);
    EXPECT_EQ(QKGetLastError(), 13u);
    SetLastErrorTo2();
    EXPECT_EQ(SetDefault(L"B1", side, L"COM7", L"a"), 0);
    EXPECT_EQ(QKGetLastError(), 13u);
    SetLastErrorTo2();
    EXPECT_EQ(DelAll(L"B1", side, L"COM7"), 0);
    EXPECT_EQ(QKGetLastError(), 13u);
  }
  EXPECT_EQ(server_.CommandCount(), 0u);
}

TEST_F(Part5_1_SharedSetters, PortNameRuleAppliesToTheTwoSetters) {
  const std::wstring refused[] = {L"COM-1", L"", L" COM1", L"COM 1", std::wstring(34, L'A'), L"COM\u00C9"};
  for (const std::wstring& port : refused) {
    SetLastErrorTo2();
    EXPECT_EQ(SetForApp(L"B1", 0, port, L"a", I4(3)), 0);
    EXPECT_EQ(QKGetLastError(), 13u);
    SetLastErrorTo2();
    EXPECT_EQ(SetDefault(L"B1", 0, port, L"a"), 0);
    EXPECT_EQ(QKGetLastError(), 13u);
  }
  EXPECT_EQ(server_.CommandCount(), 0u);
  const std::wstring longest(33, L'Z');
  EXPECT_EQ(SetForApp(L"B1", 0, longest, L"a", I4(3)), 1);
  EXPECT_EQ(SetDefault(L"B1", 0, L"@1", L"a"), 1);
  EXPECT_EQ(SetDefault(L"B1", 0, L"a_b", L"a"), 1);
  EXPECT_EQ(server_.Commands(), (Commands{"SET_SHARE_PERMISSION B1,In," + std::string(33, 'Z') + ",a,3!",
                                          "SET_SHARE_PERMISSION B1,In,@1,a,3!", "SET_SHARE_PERMISSION B1,In,a_b,a,3!"}));
}

TEST_F(Part5_1_SharedSetters, NonAsciiTextGoesOutInTheAnsiCodePage) {
  // Wine's ANSI code page here is 1252: é is 0xE9, € is 0x80, ü is 0xFC; a
  // character outside the code page becomes its default character "?".
  EXPECT_EQ(SetForApp(L"B\u00FC", 0, L"COM7", L"caf\u00E9", I4(3)), 1);
  EXPECT_EQ(SetForApp(L"B1", 0, L"COM7", L"\u20AC\u4E2D,", I4(3)), 1);
  EXPECT_EQ(SetDefault(L"B1", 1, L"COM7", L"\u00E9\u0416"), 1);
  EXPECT_EQ(server_.Commands(), (Commands{"SET_SHARE_PERMISSION B\xFC,In,COM7,caf\xE9,3!",
                                          "SET_SHARE_PERMISSION B1,In,COM7,\x80?@2,3!",
                                          "SET_SHARE_PERMISSION B1,Out,COM7,\xE9?,3!"}));
  ExpectNothingAfterTheCommands();
}

// ---- SharedSetDefaultPermissions ------------------------------------------

TEST_F(Part5_1_SharedSetters, SetDefaultSendsExactlyWhatSetForAppSendsWithThree) {
  struct Case {
    const wchar_t* bundle;
    int side;
    const wchar_t* port;
    const wchar_t* app;
  };
  const Case cases[] = {{L"B1", 0, L"COM7", L"app.exe"}, {L"B2", 1, L"COM12", L"a,b!x@y"}, {L"B3", 0, L"P", L""}};
  for (const Case& c : cases) {
    server_.ClearCommands();
    EXPECT_EQ(SetForApp(c.bundle, c.side, c.port, c.app, I4(3)), 1);
    EXPECT_EQ(SetDefault(c.bundle, c.side, c.port, c.app), 1);
    const Commands commands = server_.Commands();
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_EQ(commands[1], commands[0]);
  }
  EXPECT_EQ(server_.Commands(), (Commands{"SET_SHARE_PERMISSION B3,In,P,,3!", "SET_SHARE_PERMISSION B3,In,P,,3!"}));
  server_.ClearCommands();
  EXPECT_EQ(SetDefault(L"B2", 1, L"COM12", L"a,b!x@y"), 1);
  EXPECT_EQ(server_.Commands(), (Commands{"SET_SHARE_PERMISSION B2,Out,COM12,a@2b@1x@3y,3!"}));
}

TEST_F(Part5_1_SharedSetters, SetDefaultReturnsTheVerdictAndAFailureLeavesTheCode) {
  SetLastErrorTo13();
  server_.QueueReply("ERROR!");
  EXPECT_EQ(SetDefault(L"B1", 0, L"COM7", L"a"), 0);
  EXPECT_EQ(QKGetLastError(), 13u);
  SetLastErrorTo2();
  server_.QueueReply("OKAY!");
  EXPECT_EQ(SetDefault(L"B1", 0, L"COM7", L"a"), 1);
  EXPECT_EQ(QKGetLastError(), 2u);
}

// ---- SharedDelAllPermissions ----------------------------------------------

TEST_F(Part5_1_SharedSetters, DelAllWithoutPermissionsKeyReturnsTrueSendsNothingAnd2) {
  ScopedTree tree(PortKey(L"COM7"));
  ASSERT_EQ(CreateKey(PortKey(L"COM7")), 0);  // the port key alone
  SetLastErrorTo13();
  EXPECT_EQ(DelAll(L"B1", 0, L"COM7"), 1);
  EXPECT_EQ(QKGetLastError(), 2u);
  EXPECT_EQ(server_.CommandCount(), 0u);
  EXPECT_EQ(DelAll(L"B1", 1, L"COM8"), 1);  // no port key at all
  EXPECT_EQ(QKGetLastError(), 2u);
  EXPECT_EQ(server_.CommandCount(), 0u);
}

TEST_F(Part5_1_SharedSetters, DelAllOnAnEmptyKeyReturnsTrueSendsNothingCodeUnchanged) {
  ScopedTree tree(PortKey(L"COM7"));
  ASSERT_EQ(CreateKey(PermissionsKey(L"COM7")), 0);
  SetLastErrorTo13();
  EXPECT_EQ(DelAll(L"B1", 0, L"COM7"), 1);
  EXPECT_EQ(QKGetLastError(), 13u);
  EXPECT_EQ(server_.CommandCount(), 0u);
}

TEST_F(Part5_1_SharedSetters, DelAllSendsThreeInRegistryOrder) {
  ScopedTree tree(PortKey(L"COM7"));
  ASSERT_EQ(SetDword(PermissionsKey(L"COM7"), L"app1", 3), 0);
  ASSERT_EQ(SetDword(PermissionsKey(L"COM7"), L"app2", 1), 0);
  ASSERT_EQ(SetDword(PermissionsKey(L"COM7"), L"app3", 7), 0);
  SetLastErrorTo13();
  EXPECT_EQ(DelAll(L"B1", 1, L"COM7"), 1);
  Commands expected;
  for (const std::wstring& name : EnumValueNamesDirect(PermissionsKey(L"COM7"))) {
    expected.push_back("SET_SHARE_PERMISSION B1,Out,COM7," + std::string(name.begin(), name.end()) + ",3!");
  }
  ASSERT_EQ(expected.size(), 3u);
  EXPECT_EQ(server_.Commands(), expected);
  ExpectNothingAfterTheCommands();
  // The choice of docs/behaviour.md: successful commands leave the code as it was.
  EXPECT_EQ(QKGetLastError(), 13u);
}

TEST_F(Part5_1_SharedSetters, DelAllSendsWhateverTheValuesTypeAndEscapesNames) {
  // The list is the value names; their types and data play no part.
  ScopedTree tree(PortKey(L"COM7"));
  ASSERT_EQ(SetString(PermissionsKey(L"COM7"), L"a,b!", L"x"), 0);
  ASSERT_EQ(SetDword(PermissionsKey(L"COM7"), L"x@y", 0), 0);
  ASSERT_EQ(SetDword(PermissionsKey(L"COM7"), L"caf\u00E9\u4E2D", 8), 0);
  EXPECT_EQ(DelAll(L"B1", 0, L"COM7"), 1);
  Commands expected;
  for (const std::wstring& name : EnumValueNamesDirect(PermissionsKey(L"COM7"))) {
    std::string field = name == L"a,b!" ? "a@2b@1" : name == L"x@y" ? "x@3y" : "caf\xE9?";
    expected.push_back("SET_SHARE_PERMISSION B1,In,COM7," + field + ",3!");
  }
  ASSERT_EQ(expected.size(), 3u);
  EXPECT_EQ(server_.Commands(), expected);
}

TEST_F(Part5_1_SharedSetters, DelAllAcceptsAPortNameTheRuleRefusesAndReadsItsKey) {
  ScopedTree tree(PortKey(L"COM-1"));
  ASSERT_EQ(SetDword(PermissionsKey(L"COM-1"), L"app1", 1), 0);
  SetLastErrorTo13();
  EXPECT_EQ(DelAll(L"B1", 0, L"COM-1"), 1);
  EXPECT_EQ(server_.Commands(), (Commands{"SET_SHARE_PERMISSION B1,In,COM-1,app1,3!"}));
  EXPECT_EQ(QKGetLastError(), 13u);
  // And without a key it reports the registry's code, not 13.
  EXPECT_EQ(DelAll(L"B1", 0, L"COM 2"), 1);
  EXPECT_EQ(QKGetLastError(), 2u);
  EXPECT_EQ(server_.CommandCount(), 1u);
}

TEST_F(Part5_1_SharedSetters, DelAllReadsThe64BitViewOnly) {
  // A permissions key in the 32-bit view alone is not seen.
  ScopedTree tree32(kShared, kView32);
  ASSERT_EQ(SetDword(PermissionsKey(L"COM7"), L"app1", 1, kView32), 0);
  EXPECT_EQ(DelAll(L"B1", 0, L"COM7"), 1);
  EXPECT_EQ(QKGetLastError(), 2u);
  EXPECT_EQ(server_.CommandCount(), 0u);
}

TEST_F(Part5_1_SharedSetters, DelAllGoesOnAfterFailedCommandsAndReturnsTrue) {
  ScopedTree tree(PortKey(L"COM7"));
  ASSERT_EQ(SetDword(PermissionsKey(L"COM7"), L"app1", 3), 0);
  ASSERT_EQ(SetDword(PermissionsKey(L"COM7"), L"app2", 1), 0);
  ASSERT_EQ(SetDword(PermissionsKey(L"COM7"), L"app3", 7), 0);
  SetLastErrorTo2();
  server_.QueueReply("ERROR!");
  server_.QueueReply("OK!");
  server_.QueueReply("!");
  EXPECT_EQ(DelAll(L"B1", 0, L"COM7"), 1);
  EXPECT_EQ(server_.CommandCount(), 3u);
  EXPECT_EQ(QKGetLastError(), 2u) << "failed commands store no code";
}

TEST_F(Part5_1_SharedSetters, DelAllGoesOnAfterTheServiceClosedThePipe) {
  // The first reply never comes (the pipe is closed); the next write fails and
  // closes the pipe, the last finds it closed. Still true, code unchanged.
  ScopedTree tree(PortKey(L"COM7"));
  ASSERT_EQ(SetDword(PermissionsKey(L"COM7"), L"app1", 3), 0);
  ASSERT_EQ(SetDword(PermissionsKey(L"COM7"), L"app2", 1), 0);
  ASSERT_EQ(SetDword(PermissionsKey(L"COM7"), L"app3", 7), 0);
  SetLastErrorTo13();
  server_.QueueReply(TestPipeServer::Close());
  EXPECT_EQ(DelAll(L"B1", 0, L"COM7"), 1);
  EXPECT_EQ(server_.CommandCount(), 1u);
  EXPECT_EQ(QKGetLastError(), 13u);
}

TEST_F(Part5_1_SharedSetters, DelAllReadsTheListOnceBeforeTheFirstCommand) {
  // While the first command waits for its reply, a value is added and the
  // other one removed: the loop still sends exactly the names read at first.
  ScopedTree tree(PortKey(L"COM7"));
  ASSERT_EQ(SetDword(PermissionsKey(L"COM7"), L"app1", 3), 0);
  ASSERT_EQ(SetDword(PermissionsKey(L"COM7"), L"app2", 1), 0);
  const std::vector<std::wstring> before = EnumValueNamesDirect(PermissionsKey(L"COM7"));
  ASSERT_EQ(before.size(), 2u);
  server_.QueueReply(TestPipeServer::Send("OK!", 600));
  BackgroundCall call([] {
    Var b, p;
    *b = Bstr(L"B1");
    *p = Bstr(L"COM7");
    return SharedDelAllPermissions(b.copy(), 0, p.copy());
  });
  ASSERT_TRUE(server_.WaitForCommands(1));
  ASSERT_EQ(SetDword(PermissionsKey(L"COM7"), L"app0", 2), 0);
  ASSERT_EQ(DeleteValue(PermissionsKey(L"COM7"), before[1]), 0);
  EXPECT_EQ(call.Join(), 1);
  Commands expected;
  for (const std::wstring& name : before) {
    expected.push_back("SET_SHARE_PERMISSION B1,In,COM7," + std::string(name.begin(), name.end()) + ",3!");
  }
  EXPECT_EQ(server_.Commands(), expected);
}

// ---- The link held by another thread (SET_SHARE_PERMISSION waits 0 ms) -----

TEST_F(Part5_1_SharedSetters, WhileTheLinkIsHeldEverySetShareCommandFailsAtOnce) {
  ScopedTree tree(PortKey(L"COM7"));
  ASSERT_EQ(SetDword(PermissionsKey(L"COM7"), L"app1", 3), 0);
  ASSERT_EQ(SetDword(PermissionsKey(L"COM7"), L"app2", 1), 0);
  ASSERT_EQ(SetDword(PermissionsKey(L"COM7"), L"app3", 7), 0);
  SetLastErrorTo2();
  LinkHolder holder(server_, [] { Var b; *b = Bstr(L"HOLD"); return AddBundle(b.copy()); }, 2000);
  ASSERT_TRUE(holder.holding());
  int result = -1;
  EXPECT_LT(MeasureMs([&] { result = SetForApp(L"B1", 0, L"COM7", L"a", I4(3)); }), 300.0);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(QKGetLastError(), 2u) << "unchanged";
  EXPECT_LT(MeasureMs([&] { result = SetDefault(L"B1", 1, L"COM7", L"a"); }), 300.0);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(QKGetLastError(), 2u);
  // Three applications, each failing at once: well under 300 ms apiece.
  EXPECT_LT(MeasureMs([&] { result = DelAll(L"B1", 0, L"COM7"); }), 300.0);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(QKGetLastError(), 2u);
  EXPECT_EQ(holder.Join(), 1);
  // Nothing but the holder's command was written.
  EXPECT_EQ(server_.Commands(), (Commands{"ADD_BUNDLE 4,HOLD!"}));
  // The link is free again: every application goes out.
  EXPECT_EQ(DelAll(L"B1", 0, L"COM7"), 1);
  EXPECT_EQ(server_.CommandCount(), 4u);
}

// ---- Without a connection ---------------------------------------------------

TEST(Part5_1_SharedSettersUnconnected, SendersFailAndDelAllStillReturnsTrue) {
  ScopedTree tree(PortKey(L"COM7"));
  ASSERT_EQ(SetDword(PermissionsKey(L"COM7"), L"app1", 3), 0);
  ASSERT_EQ(SetDword(PermissionsKey(L"COM7"), L"app2", 1), 0);
  TestPipeServer server;  // listening, but the library never connects
  SetLastErrorTo2();
  int result = -1;
  EXPECT_LT(MeasureMs([&] { result = SetForApp(L"B1", 0, L"COM7", L"a", I4(3)); }), 300.0);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(QKGetLastError(), 2u);
  EXPECT_EQ(SetDefault(L"B1", 0, L"COM7", L"a"), 0);
  EXPECT_EQ(QKGetLastError(), 2u);
  EXPECT_EQ(DelAll(L"B1", 0, L"COM7"), 1);
  EXPECT_EQ(QKGetLastError(), 2u);
  EXPECT_EQ(server.CommandCount(), 0u);
  EXPECT_EQ(server.TotalClients(), 0u);
}

TEST(Part5_1_SharedSettersUnconnected, AfterDisconnectTheSendersFail) {
  ScopedTree tree(PortKey(L"COM7"));
  ASSERT_EQ(SetDword(PermissionsKey(L"COM7"), L"app1", 3), 0);
  TestPipeServer server;
  ASSERT_EQ(ConnectToLocalService(), 1);
  EXPECT_EQ(SetDefault(L"B1", 0, L"COM7", L"a"), 1);
  EXPECT_EQ(DisconnectFromService(), 1);
  SetLastErrorTo13();
  EXPECT_EQ(SetForApp(L"B1", 0, L"COM7", L"a", I4(3)), 0);
  EXPECT_EQ(SetDefault(L"B1", 0, L"COM7", L"a"), 0);
  EXPECT_EQ(DelAll(L"B1", 0, L"COM7"), 1);
  EXPECT_EQ(QKGetLastError(), 13u);
  EXPECT_EQ(server.Commands(), (Commands{"SET_SHARE_PERMISSION B1,In,COM7,a,3!"}));
}
