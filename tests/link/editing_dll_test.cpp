// Part 2.3 (and the Part 1.1 rules it makes reachable) through the real
// lumbrex.dll, against the test pipe server: exact bytes, results and codes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lumbrex.h"
#include "support/test_pipe_server.h"
#include "support/variants.h"

using testsupport::Bstr;
using testsupport::ByRefBstr;
using testsupport::ByRefI4;
using testsupport::I4;
using testsupport::I8;
using testsupport::LinkHolder;
using testsupport::MeasureMs;
using testsupport::OfType;
using testsupport::TestPipeServer;
using testsupport::Var;
using Commands = std::vector<std::string>;

namespace {

// A connected library and a server answering OK!.
class Part2_3_Editing : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.listening());
    ASSERT_EQ(ConnectToLocalService(), 1);
  }
  void TearDown() override { DisconnectFromService(); }

  // Sends a known command so that a refused call before it can be shown to
  // have sent nothing.
  void Marker() {
    Var b;
    *b = Bstr(L"MARK");
    EXPECT_EQ(DeleteBundle(b.copy()), 1);
  }

  TestPipeServer server_;
};

int AddPort(const wchar_t* bundle, int side, const wchar_t* port, VARIANT type) {
  Var b, p;
  *b = Bstr(bundle);
  *p = Bstr(port);
  return BundleAddPort(b.copy(), side, p.copy(), type);
}

int WithBundleSidePort(int (WINAPI* fn)(VARIANT, int, VARIANT), const wchar_t* bundle, int side,
                       const wchar_t* port) {
  Var b, p;
  *b = Bstr(bundle);
  *p = Bstr(port);
  return fn(b.copy(), side, p.copy());
}

using SidePortExport = int(WINAPI*)(VARIANT, int, VARIANT);
const SidePortExport kSidePortExports[] = {&BundleDeletePort, &BundleGetPortState, &BundleSetMainPortForSide};

}  // namespace

TEST_F(Part2_3_Editing, AddPortSwitcherSendsExactBytesAndReturnsTheVerdict) {
  EXPECT_EQ(AddPort(L"B1", 0, L"COM5", I4(8)), 1);
  server_.QueueReply("ERROR!");
  EXPECT_EQ(AddPort(L"B1", 0, L"COM5", I4(8)), 0);
  EXPECT_EQ(QKGetLastError(), 0u);  // a refusal stores no code
  EXPECT_EQ(server_.Commands(), (Commands{"ADD_PORT B1,In,COM5,Switcher!", "ADD_PORT B1,In,COM5,Switcher!"}));
}

TEST_F(Part2_3_Editing, AddPortTypesAndSides) {
  EXPECT_EQ(AddPort(L"B", 0, L"P1", I4(1)), 1);
  EXPECT_EQ(AddPort(L"B", 1, L"P2", I4(2)), 1);
  EXPECT_EQ(AddPort(L"B", 1, L"P4", I8(4)), 1);  // VT_I8 4 accepted
  EXPECT_EQ(AddPort(L"B", 0, L"P8", OfType(VT_UI4, 8)), 1);
  EXPECT_EQ(server_.Commands(), (Commands{"ADD_PORT B,In,P1,Real!", "ADD_PORT B,Out,P2,Virtual!",
                                          "ADD_PORT B,Out,P4,Shared!", "ADD_PORT B,In,P8,Switcher!"}));
}

TEST_F(Part2_3_Editing, AddPortRefusesOtherTypeValues) {
  for (int value : {3, 16, 0, -1, 9}) {
    EXPECT_EQ(AddPort(L"B1", 0, L"COM5", I4(value)), 0) << value;
    EXPECT_EQ(QKGetLastError(), 13u);
  }
  EXPECT_EQ(AddPort(L"B1", 0, L"COM5", OfType(VT_UI1, 1)), 0);  // VT_UI1 refused
  EXPECT_EQ(AddPort(L"B1", 0, L"COM5", OfType(VT_BOOL, 1)), 0);
  EXPECT_EQ(AddPort(L"B1", 0, L"COM5", OfType(VT_EMPTY, 0)), 0);
  Var text;
  *text = Bstr(L"1");
  EXPECT_EQ(AddPort(L"B1", 0, L"COM5", text.copy()), 0);
  LONG one = 1;
  EXPECT_EQ(AddPort(L"B1", 0, L"COM5", ByRefI4(&one)), 0);  // by-reference integer refused
  EXPECT_EQ(QKGetLastError(), 13u);
  Marker();
  EXPECT_EQ(server_.Commands(), (Commands{"DEL_BUNDLE MARK!"}));
}

TEST_F(Part2_3_Editing, PortNamesCheckedByAddPortAndSetMainOnly) {
  EXPECT_EQ(AddPort(L"B1", 0, L"COM_5", I4(1)), 1);
  EXPECT_EQ(AddPort(L"B1", 0, L"COM-5", I4(1)), 0);
  EXPECT_EQ(QKGetLastError(), 13u);
  EXPECT_EQ(WithBundleSidePort(&BundleSetMainPortForSide, L"B1", 0, L"COM-5"), 0);
  EXPECT_EQ(WithBundleSidePort(&BundleSetMainPortForSide, L"B1", 0, L""), 0);
  EXPECT_EQ(WithBundleSidePort(&BundleSetMainPortForSide, L"B1", 1, std::wstring(34, L'A').c_str()), 0);
  EXPECT_EQ(AddPort(L"B1", 0, L" COM5", I4(1)), 0);
  EXPECT_EQ(AddPort(L"B1", 0, L"COM 5", I4(1)), 0);
  EXPECT_EQ(AddPort(L"B1", 1, std::wstring(33, L'A').c_str(), I4(1)), 1);
  EXPECT_EQ(WithBundleSidePort(&BundleDeletePort, L"B1", 0, L"COM-5"), 1);
  EXPECT_EQ(WithBundleSidePort(&BundleGetPortState, L"B1", 1, L"COM 5"), 1);
  EXPECT_EQ(WithBundleSidePort(&BundleSetMainPortForSide, L"B1", 1, L"@1"), 1);
  EXPECT_EQ(server_.Commands(),
            (Commands{"ADD_PORT B1,In,COM_5,Real!", "ADD_PORT B1,Out," + std::string(33, 'A') + ",Real!",
                      "DEL_PORT B1,In,COM-5!", "GET_PORT_STATE B1,Out,COM 5!", "SET_MAIN B1,Out,@1!"}));
}

TEST_F(Part2_3_Editing, BundleCommandsExactBytes) {
  Var b;
  *b = Bstr(L"B1");
  EXPECT_EQ(AddBundle(b.copy()), 1);
  EXPECT_EQ(DeleteBundle(b.copy()), 1);
  EXPECT_EQ(GetBundleState(b.copy()), 1);
  EXPECT_EQ(WithBundleSidePort(&BundleDeletePort, L"B1", 1, L"COM7"), 1);
  EXPECT_EQ(WithBundleSidePort(&BundleGetPortState, L"B1", 0, L"COM7"), 1);
  EXPECT_EQ(WithBundleSidePort(&BundleSetMainPortForSide, L"B1", 0, L"COM7"), 1);
  EXPECT_EQ(server_.Commands(),
            (Commands{"ADD_BUNDLE 4,B1!", "DEL_BUNDLE B1!", "GET_BUNDLE_STATE B1!", "DEL_PORT B1,Out,COM7!",
                      "GET_PORT_STATE B1,In,COM7!", "SET_MAIN B1,In,COM7!"}));
  size_t total = 0;
  for (const auto& command : server_.Commands()) total += command.size();
  EXPECT_EQ(server_.BytesReceived(), total);  // nothing after any "!"
  EXPECT_EQ(server_.Commands()[0].size(), 16u);
}

TEST_F(Part2_3_Editing, BundleNamesAreNotValidated) {
  Var b;
  *b = Bstr(L"B 1,x");
  EXPECT_EQ(AddBundle(b.copy()), 1);
  EXPECT_EQ(AddPort(L"a b", 0, L"P", I4(2)), 1);
  EXPECT_EQ(server_.Commands(), (Commands{"ADD_BUNDLE 4,B 1,x!", "ADD_PORT a b,In,P,Virtual!"}));
}

TEST_F(Part2_3_Editing, AddBundleGivenTheInteger7) {
  Var seven;
  *seven = I4(7);
  EXPECT_EQ(AddBundle(seven.copy()), 1);
  EXPECT_EQ(seven->vt, VT_I4);  // the caller's VARIANT is untouched
  EXPECT_EQ(DeleteBundle(seven.copy()), 1);
  EXPECT_EQ(GetBundleState(seven.copy()), 1);
  EXPECT_EQ(server_.Commands(), (Commands{"ADD_BUNDLE 4,7!", "DEL_BUNDLE 7!", "GET_BUNDLE_STATE 7!"}));
}

TEST_F(Part2_3_Editing, AddBundleWithAnEmptyName) {
  Var empty, null;
  *empty = Bstr(L"");
  *null = testsupport::NullBstr();
  EXPECT_EQ(AddBundle(empty.copy()), 1);
  server_.QueueReply("ERROR!");
  EXPECT_EQ(AddBundle(null.copy()), 0);
  EXPECT_EQ(QKGetLastError(), 0u);
  EXPECT_EQ(server_.Commands(), (Commands{"ADD_BUNDLE 4,!", "ADD_BUNDLE 4,!"}));
}

TEST_F(Part2_3_Editing, ArgumentThatCannotBecomeTextIsRefused) {
  Var unknown;
  *unknown = OfType(VT_UNKNOWN, 0);
  EXPECT_EQ(AddBundle(unknown.copy()), 0);
  EXPECT_EQ(QKGetLastError(), 13u);
  EXPECT_EQ(DeleteBundle(unknown.copy()), 0);
  EXPECT_EQ(GetBundleState(unknown.copy()), 0);
  Marker();
  EXPECT_EQ(server_.Commands(), (Commands{"DEL_BUNDLE MARK!"}));
}

TEST_F(Part2_3_Editing, ByReferenceStringsAccepted) {
  BSTR bundle = SysAllocString(L"B2");
  BSTR port = SysAllocString(L"COM9");
  for (int i = 0; i < 4; ++i) {
    VARIANT b = ByRefBstr(&bundle), p = ByRefBstr(&port);
    int result = 0;
    switch (i) {
      case 0: result = BundleAddPort(b, 1, p, I4(4)); break;
      case 1: result = BundleDeletePort(b, 1, p); break;
      case 2: result = BundleGetPortState(b, 1, p); break;
      case 3: result = BundleSetMainPortForSide(b, 1, p); break;
    }
    EXPECT_EQ(result, 1) << i;
    // The export's copy of each argument may now hold a converted BSTR (the
    // caller's copy on x64): it is ours to clear.
    VariantClear(&b);
    VariantClear(&p);
  }
  VARIANT byRef = ByRefBstr(&bundle);
  EXPECT_EQ(AddBundle(byRef), 1);
  EXPECT_EQ(server_.Commands(), (Commands{"ADD_PORT B2,Out,COM9,Shared!", "DEL_PORT B2,Out,COM9!",
                                          "GET_PORT_STATE B2,Out,COM9!", "SET_MAIN B2,Out,COM9!",
                                          "ADD_BUNDLE 4,B2!"}));
  SysFreeString(bundle);
  SysFreeString(port);
}

TEST_F(Part2_3_Editing, IntegerStringsRefusedByThePortExports) {
  for (SidePortExport fn : kSidePortExports) {
    Var good, number;
    *good = Bstr(L"COM1");
    *number = I4(1);
    EXPECT_EQ(fn(number.copy(), 0, good.copy()), 0);
    EXPECT_EQ(QKGetLastError(), 13u);
    EXPECT_EQ(fn(good.copy(), 0, number.copy()), 0);
    EXPECT_EQ(QKGetLastError(), 13u);
  }
  Var good, number;
  *good = Bstr(L"COM1");
  *number = I4(1);
  EXPECT_EQ(BundleAddPort(number.copy(), 0, good.copy(), I4(1)), 0);
  EXPECT_EQ(BundleAddPort(good.copy(), 0, number.copy(), I4(1)), 0);
  EXPECT_EQ(QKGetLastError(), 13u);
  Marker();
  EXPECT_EQ(server_.Commands(), (Commands{"DEL_BUNDLE MARK!"}));
}

TEST_F(Part2_3_Editing, SidesOtherThanZeroAndOneRefused) {
  for (int side : {-1, 2, 256}) {
    EXPECT_EQ(AddPort(L"B", side, L"COM1", I4(1)), 0) << side;
    for (SidePortExport fn : kSidePortExports) {
      EXPECT_EQ(WithBundleSidePort(fn, L"B", side, L"COM1"), 0) << side;
      EXPECT_EQ(QKGetLastError(), 13u);
    }
  }
  Marker();
  EXPECT_EQ(server_.Commands(), (Commands{"DEL_BUNDLE MARK!"}));
}

// Part 1.1: the last-error code is never cleared by a success.
TEST_F(Part2_3_Editing, LastErrorAfterSideTwoStaysAfterASuccess) {
  EXPECT_EQ(QKGetLastError(), 0u);
  EXPECT_EQ(AddPort(L"B1", 2, L"COM5", I4(1)), 0);
  EXPECT_EQ(QKGetLastError(), 13u);
  EXPECT_EQ(AddPort(L"B1", 1, L"COM5", I4(1)), 1);
  EXPECT_EQ(QKGetLastError(), 13u);
  server_.QueueReply("ERROR!");
  EXPECT_EQ(AddPort(L"B1", 1, L"COM5", I4(1)), 0);  // a refusal by the service stores nothing
  EXPECT_EQ(QKGetLastError(), 13u);
}

// Observing the in-place conversion and the order of the checks: on x64 a
// by-value VARIANT is passed by a hidden pointer to the caller's copy, so an
// export declared as taking VARIANT* shows what the library did to its copy.
TEST_F(Part2_3_Editing, ChecksRunInTheirOrderAndConvertInPlace) {
  HMODULE dll = GetModuleHandleW(L"lumbrex.dll");
  ASSERT_NE(dll, nullptr);
  using AddPortByPointer = int(WINAPI*)(VARIANT*, int, VARIANT*, VARIANT*);
  auto addPort =
      reinterpret_cast<AddPortByPointer>(reinterpret_cast<void*>(GetProcAddress(dll, "BundleAddPort")));
  ASSERT_NE(addPort, nullptr);
  BSTR bundle = SysAllocString(L"B3");
  BSTR port = SysAllocString(L"COM3");

  // Side 2 is refused after the bundle was converted and before the port was.
  VARIANT b = ByRefBstr(&bundle), p = ByRefBstr(&port), type = I4(1);
  EXPECT_EQ(addPort(&b, 2, &p, &type), 0);
  EXPECT_EQ(b.vt, VT_BSTR);
  EXPECT_EQ(testsupport::TextOf(b), L"B3");
  EXPECT_NE(b.bstrVal, bundle);  // a new BSTR, the caller's to clear
  EXPECT_EQ(p.vt, VT_BYREF | VT_BSTR);
  VariantClear(&b);

  // A bad bundle ends the call before the port is looked at.
  VARIANT number = I4(5);
  EXPECT_EQ(addPort(&number, 0, &p, &type), 0);
  EXPECT_EQ(p.vt, VT_BYREF | VT_BSTR);

  // All good: both converted, the command sent.
  b = ByRefBstr(&bundle);
  EXPECT_EQ(addPort(&b, 0, &p, &type), 1);
  EXPECT_EQ(b.vt, VT_BSTR);
  EXPECT_EQ(p.vt, VT_BSTR);
  EXPECT_EQ(testsupport::TextOf(p), L"COM3");
  VariantClear(&b);
  VariantClear(&p);
  EXPECT_EQ(server_.Commands(), (Commands{"ADD_PORT B3,In,COM3,Real!"}));
  SysFreeString(bundle);
  SysFreeString(port);
}

TEST_F(Part2_3_Editing, GetBundleStateGivesUpAtOnceWhenTheLinkIsBusy) {
  LinkHolder holder(server_, [] { Var b; *b = Bstr(L"HOLD"); return AddBundle(b.copy()); }, 1500);
  ASSERT_TRUE(holder.holding());
  Var b;
  *b = Bstr(L"B");
  int result = -1;
  EXPECT_LT(MeasureMs([&] { result = GetBundleState(b.copy()); }), 300.0);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(QKGetLastError(), 0u);
  const double ms = MeasureMs([&] { result = WithBundleSidePort(&BundleGetPortState, L"B", 0, L"P"); });
  EXPECT_EQ(result, 0);
  EXPECT_GE(ms, 974.0);
  EXPECT_LT(ms, 3000.0);
  EXPECT_EQ(holder.Join(), 1);
  EXPECT_EQ(server_.Commands(), (Commands{"ADD_BUNDLE 4,HOLD!"}));
}

TEST_F(Part2_3_Editing, AddBundleWaitsAboutOneSecondForABusyLink) {
  LinkHolder holder(server_, [] { Var b; *b = Bstr(L"HOLD"); return AddBundle(b.copy()); }, 1800);
  ASSERT_TRUE(holder.holding());
  Var b;
  *b = Bstr(L"B");
  int result = -1;
  const double ms = MeasureMs([&] { result = AddBundle(b.copy()); });
  EXPECT_EQ(result, 0);
  EXPECT_GE(ms, 950.0);
  EXPECT_LT(ms, 3000.0);
  EXPECT_EQ(holder.Join(), 1);
}

TEST_F(Part2_3_Editing, UpdateSettingsAndDisconnectReturnOneEvenWhileTheLinkIsBusy) {
  LinkHolder holder(server_, [] { Var b; *b = Bstr(L"HOLD"); return AddBundle(b.copy()); }, 800);
  ASSERT_TRUE(holder.holding());
  EXPECT_LT(MeasureMs([] { EXPECT_EQ(BundleUpdateSettings(), 1); }), 300.0);
  EXPECT_LT(MeasureMs([] { EXPECT_EQ(DisconnectFromService(), 1); }), 300.0);
  EXPECT_EQ(holder.Join(), 1);
  EXPECT_EQ(server_.Commands(), (Commands{"ADD_BUNDLE 4,HOLD!"}));
}

// ---- Without a connection -------------------------------------------------

TEST(Part2_3_NotConnected, EveryEditingExportReturnsZeroAndKeepsTheCode) {
  TestPipeServer server;  // listening, but nobody connected
  for (unsigned int before : {0u, 13u}) {
    if (before == 13u) {
      EXPECT_EQ(AddPort(L"B", 5, L"P", I4(1)), 0);
      ASSERT_EQ(QKGetLastError(), 13u);
    }
    Var b;
    *b = Bstr(L"B1");
    EXPECT_EQ(AddBundle(b.copy()), 0);
    EXPECT_EQ(DeleteBundle(b.copy()), 0);
    EXPECT_EQ(GetBundleState(b.copy()), 0);
    EXPECT_EQ(AddPort(L"B1", 0, L"COM1", I4(1)), 0);
    for (SidePortExport fn : kSidePortExports) EXPECT_EQ(WithBundleSidePort(fn, L"B1", 1, L"COM1"), 0);
    EXPECT_EQ(BundleUpdateSettings(), 1);
    EXPECT_EQ(QKGetLastError(), before);
  }
  EXPECT_EQ(server.CommandCount(), 0u);
  EXPECT_EQ(server.TotalClients(), 0u);
}

TEST(Part2_3_NotConnected, UpdateSettingsAndDisconnectReturnOneInEveryState) {
  EXPECT_EQ(BundleUpdateSettings(), 1);
  EXPECT_EQ(DisconnectFromService(), 1);
  EXPECT_EQ(ConnectToLocalService(), 0);  // no service
  EXPECT_EQ(BundleUpdateSettings(), 1);
  EXPECT_EQ(DisconnectFromService(), 1);
  TestPipeServer server;
  ASSERT_EQ(ConnectToLocalService(), 1);
  EXPECT_EQ(BundleUpdateSettings(), 1);
  // After a write failure (pipe closed, count kept).
  server.QueueReply(TestPipeServer::Close());
  Var b;
  *b = Bstr(L"B");
  EXPECT_EQ(AddBundle(b.copy()), 0);
  EXPECT_EQ(AddBundle(b.copy()), 0);
  EXPECT_EQ(BundleUpdateSettings(), 1);
  EXPECT_EQ(DisconnectFromService(), 1);
  EXPECT_EQ(DisconnectFromService(), 1);
  EXPECT_EQ(BundleUpdateSettings(), 1);
  EXPECT_EQ(QKGetLastError(), 0u);
  EXPECT_EQ(server.CommandCount(), 0u + 1u);
}

TEST(Part2_3_Exports, ExportedUnderPlainNames) {
  HMODULE dll = GetModuleHandleW(L"lumbrex.dll");
  ASSERT_NE(dll, nullptr);
  for (const char* name : {"ConnectToLocalService", "ConnectToRemoteService", "DisconnectFromService", "AddBundle",
                           "DeleteBundle", "GetBundleState", "BundleAddPort", "BundleDeletePort",
                           "BundleGetPortState", "BundleSetMainPortForSide", "BundleUpdateSettings"}) {
    EXPECT_NE(GetProcAddress(dll, name), nullptr) << name;
  }
}
