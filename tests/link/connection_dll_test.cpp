// Part 2.1 through the real lumbrex.dll: connect, reconnect, remote connect,
// disconnect, against the test pipe server.
#include <gtest/gtest.h>
#include <windows.h>
#include <winnetwk.h>

#include <string>
#include <vector>

#include "lumbrex.h"
#include "support/test_pipe_server.h"
#include "support/variants.h"

using testsupport::Bstr;
using testsupport::ByRefBstr;
using testsupport::I4;
using testsupport::TestPipeServer;
using testsupport::Var;
using Commands = std::vector<std::string>;

namespace {

int Add(const wchar_t* name) {
  Var b;
  *b = Bstr(name);
  return AddBundle(b.copy());
}

int Remote(const wchar_t* server, const wchar_t* user, const wchar_t* password) {
  Var s, u, p;
  *s = Bstr(server);
  *u = Bstr(user);
  *p = Bstr(password);
  return ConnectToRemoteService(s.copy(), u.copy(), p.copy());
}

}  // namespace

TEST(Part2_1_ConnectionDll, DisconnectWithNoPipeReturnsOneAndChangesNothing) {
  EXPECT_EQ(DisconnectFromService(), 1);
  TestPipeServer server;
  ASSERT_EQ(ConnectToLocalService(), 1);
  EXPECT_EQ(Add(L"A"), 1);  // the earlier disconnect left no count behind
  EXPECT_EQ(DisconnectFromService(), 1);
  EXPECT_TRUE(server.WaitForOpenClients(0));
  EXPECT_EQ(QKGetLastError(), 0u);
}

TEST(Part2_1_ConnectionDll, ConnectTwiceThenDisconnectOnceClosesThePipe) {
  TestPipeServer server;
  ASSERT_EQ(ConnectToLocalService(), 1);
  ASSERT_EQ(ConnectToLocalService(), 1);
  EXPECT_TRUE(server.WaitForTotalClients(2));  // reopened afresh
  EXPECT_TRUE(server.WaitForOpenClients(1));
  EXPECT_EQ(DisconnectFromService(), 1);
  EXPECT_TRUE(server.WaitForOpenClients(0));
  EXPECT_EQ(Add(L"A"), 0);
  EXPECT_EQ(server.CommandCount(), 0u);
}

TEST(Part2_1_ConnectionDll, ConnectWithoutServiceReturnsZeroWithoutCode) {
  EXPECT_EQ(ConnectToLocalService(), 0);
  EXPECT_EQ(Remote(L".", L"", L""), 0);
  EXPECT_EQ(QKGetLastError(), 0u);
  EXPECT_EQ(Add(L"A"), 0);
}

TEST(Part2_1_ConnectionDll, RemoteWithEmptyUserOpensThePipeWithoutLogon) {
  TestPipeServer server;
  // "." as the server reaches this machine's pipe: \\.\pipe\TessaryControl2.
  EXPECT_EQ(Remote(L".", L"", L"a password"), 1);
  EXPECT_TRUE(server.WaitForOpenClients(1));
  EXPECT_EQ(Add(L"R"), 1);
  EXPECT_EQ(server.Commands(), (Commands{"ADD_BUNDLE 4,R!"}));
  EXPECT_EQ(QKGetLastError(), 0u);
  EXPECT_EQ(DisconnectFromService(), 1);
  EXPECT_TRUE(server.WaitForOpenClients(0));
}

TEST(Part2_1_ConnectionDll, IntegerServerFailsWith13AndLeavesTheConnectionOpen) {
  TestPipeServer server;
  ASSERT_EQ(ConnectToLocalService(), 1);
  Var number, user, password;
  *number = I4(1);
  *user = Bstr(L"");
  *password = Bstr(L"");
  EXPECT_EQ(ConnectToRemoteService(number.copy(), user.copy(), password.copy()), 0);
  EXPECT_EQ(QKGetLastError(), 13u);
  EXPECT_EQ(Add(L"STILL"), 1);
  EXPECT_EQ(server.TotalClients(), 1u);
  EXPECT_EQ(DisconnectFromService(), 1);
  EXPECT_TRUE(server.WaitForOpenClients(0));  // the count was still 1
}

TEST(Part2_1_ConnectionDll, FailedLogonLeavesNoPipeAndItsOwnCode) {
  TestPipeServer server;
  ASSERT_EQ(ConnectToLocalService(), 1);
  EXPECT_EQ(Remote(L"lumbrex-no-such-host", L"user", L"pw"), 0);
  const unsigned int code = QKGetLastError();
  std::wstring remote = L"\\\\lumbrex-no-such-host\\IPC$";
  NETRESOURCEW resource{};
  resource.dwType = RESOURCETYPE_ANY;
  resource.lpRemoteName = &remote[0];
  const DWORD expected = WNetAddConnection2W(&resource, L"pw", L"user", 0);
  EXPECT_NE(expected, 0u);  // Wine: 1222 (ERROR_NO_NETWORK)
  EXPECT_EQ(code, expected);
  EXPECT_TRUE(server.WaitForOpenClients(0));
  EXPECT_EQ(Add(L"A"), 0);
  EXPECT_EQ(server.CommandCount(), 0u);
}

TEST(Part2_1_ConnectionDll, FailedLogonWithAnEmptyPassword) {
  EXPECT_EQ(Remote(L"lumbrex-no-such-host", L"user", L""), 0);
  EXPECT_NE(QKGetLastError(), 0u);
}

// On x64 a by-value VARIANT is passed by a hidden pointer to the caller's
// copy; declaring the export with VARIANT* shows the in-place conversion.
TEST(Part2_1_ConnectionDll, ByReferenceStringsAreConvertedInPlace) {
  TestPipeServer server;
  HMODULE dll = GetModuleHandleW(L"lumbrex.dll");
  ASSERT_NE(dll, nullptr);
  using RemoteByPointer = int(WINAPI*)(VARIANT*, VARIANT*, VARIANT*);
  auto remote = reinterpret_cast<RemoteByPointer>(
      reinterpret_cast<void*>(GetProcAddress(dll, "ConnectToRemoteService")));
  ASSERT_NE(remote, nullptr);
  BSTR host = SysAllocString(L".");
  BSTR user = SysAllocString(L"");
  BSTR password = SysAllocString(L"pw");
  VARIANT s = ByRefBstr(&host), u = ByRefBstr(&user), p = ByRefBstr(&password);
  EXPECT_EQ(remote(&s, &u, &p), 1);
  EXPECT_EQ(s.vt, VT_BSTR);
  EXPECT_EQ(u.vt, VT_BSTR);
  EXPECT_EQ(p.vt, VT_BSTR);
  EXPECT_EQ(testsupport::TextOf(s), L".");
  EXPECT_EQ(testsupport::TextOf(p), L"pw");
  EXPECT_TRUE(server.WaitForOpenClients(1));
  VariantClear(&s);
  VariantClear(&u);
  VariantClear(&p);

  // A non-string ends the checks: the arguments after it stay by-reference.
  VARIANT number = I4(3);
  VARIANT u2 = ByRefBstr(&user), p2 = ByRefBstr(&password);
  EXPECT_EQ(remote(&number, &u2, &p2), 0);
  EXPECT_EQ(QKGetLastError(), 13u);
  EXPECT_EQ(u2.vt, VT_BYREF | VT_BSTR);
  EXPECT_EQ(p2.vt, VT_BYREF | VT_BSTR);
  EXPECT_EQ(Add(L"OPEN"), 1);  // connection untouched
  SysFreeString(host);
  SysFreeString(user);
  SysFreeString(password);
  EXPECT_EQ(DisconnectFromService(), 1);
}

TEST(Part2_1_ConnectionDll, WriteFailureNeedsOneMoreDisconnect) {
  TestPipeServer server;
  ASSERT_EQ(ConnectToLocalService(), 1);
  server.QueueReply(TestPipeServer::Close());
  EXPECT_EQ(Add(L"1"), 0);  // read failure
  EXPECT_EQ(Add(L"2"), 0);  // write failure: pipe closed, count still 1
  ASSERT_EQ(ConnectToLocalService(), 1);  // count 2
  EXPECT_EQ(Add(L"3"), 1);
  EXPECT_EQ(DisconnectFromService(), 1);
  EXPECT_EQ(Add(L"4"), 1);  // still open at count 1
  EXPECT_EQ(DisconnectFromService(), 1);
  EXPECT_TRUE(server.WaitForOpenClients(0));
  EXPECT_EQ(Add(L"5"), 0);
  EXPECT_EQ(server.Commands(), (Commands{"ADD_BUNDLE 4,1!", "ADD_BUNDLE 4,3!", "ADD_BUNDLE 4,4!"}));
}
