// Parts 2.1 and 2.2 with the internals visible: the connection object, its
// count, Transact and the command operations against the test pipe server.
#include <gtest/gtest.h>
#include <windows.h>
#include <winnetwk.h>

#include <memory>
#include <string>
#include <vector>

#include "api/last_error.h"
#include "api/library_objects.h"
#include "link/commands.h"
#include "link/remote_control.h"
#include "lumbrex.h"
#include "support/test_pipe_server.h"
#include "support/variants.h"

using lumbrex::g_remoteControl;
using testsupport::Bstr;
using testsupport::MeasureMs;
using testsupport::TestPipeServer;
using testsupport::Var;
using Commands = std::vector<std::string>;

namespace {

// Drops every reference so that the next test (same process only when run by
// hand) starts closed.
void DisconnectAll() {
  for (int i = 0; i < 8 && g_remoteControl.IsPipeOpen(); ++i) DisconnectFromService();
}

}  // namespace

// ---- Part 2.1 -------------------------------------------------------------

TEST(Part2_1_Connection, ClosedWithCountZeroAtLoad) {
  EXPECT_FALSE(g_remoteControl.IsPipeOpen());
  EXPECT_EQ(g_remoteControl.ConnectionCount(), 0);
}

TEST(Part2_1_Connection, PipePaths) {
  EXPECT_EQ(lumbrex::LocalPipePath(), L"\\\\.\\pipe\\TessaryControl2");
  EXPECT_EQ(lumbrex::RemotePipePath(L"server"), L"\\\\server\\pipe\\TessaryControl2");
}

TEST(Part2_1_Connection, DisconnectWithNoPipeOpenChangesNothing) {
  EXPECT_EQ(DisconnectFromService(), 1);
  EXPECT_EQ(DisconnectFromService(), 1);
  EXPECT_FALSE(g_remoteControl.IsPipeOpen());
  EXPECT_EQ(g_remoteControl.ConnectionCount(), 0);
  EXPECT_EQ(QKGetLastError(), 0u);
}

TEST(Part2_1_Connection, ConnectLocalTwiceThenDisconnectOnceCloses) {
  TestPipeServer server;
  ASSERT_TRUE(server.listening());
  ASSERT_EQ(ConnectToLocalService(), 1);
  EXPECT_EQ(g_remoteControl.ConnectionCount(), 1);
  ASSERT_TRUE(server.WaitForOpenClients(1));
  // Connecting again at count 1 closes the pipe and opens it afresh.
  ASSERT_EQ(ConnectToLocalService(), 1);
  EXPECT_EQ(g_remoteControl.ConnectionCount(), 1);
  EXPECT_TRUE(server.WaitForTotalClients(2));
  EXPECT_EQ(server.TotalClients(), 2u);
  EXPECT_EQ(DisconnectFromService(), 1);
  EXPECT_FALSE(g_remoteControl.IsPipeOpen());
  EXPECT_EQ(g_remoteControl.ConnectionCount(), 0);
  EXPECT_TRUE(server.WaitForOpenClients(0));
}

TEST(Part2_1_Connection, ConnectWithoutServiceFailsAndSetsNoCode) {
  EXPECT_EQ(ConnectToLocalService(), 0);
  EXPECT_FALSE(g_remoteControl.IsPipeOpen());
  EXPECT_EQ(g_remoteControl.ConnectionCount(), 0);
  EXPECT_EQ(QKGetLastError(), 0u);
}

TEST(Part2_1_Connection, OpenPipeWhileOpenCountsWhateverPath) {
  TestPipeServer server;
  ASSERT_TRUE(g_remoteControl.OpenPipe(lumbrex::LocalPipePath()));
  EXPECT_TRUE(g_remoteControl.OpenPipe(L"\\\\.\\pipe\\NoSuchPipeAtAll"));
  EXPECT_EQ(g_remoteControl.ConnectionCount(), 2);
  EXPECT_TRUE(server.WaitForTotalClients(1));
  EXPECT_EQ(server.TotalClients(), 1u);
  g_remoteControl.ReleaseConnection();
  EXPECT_TRUE(g_remoteControl.IsPipeOpen());
  EXPECT_EQ(g_remoteControl.ConnectionCount(), 1);
  g_remoteControl.ReleaseConnection();
  EXPECT_FALSE(g_remoteControl.IsPipeOpen());
  EXPECT_EQ(g_remoteControl.ConnectionCount(), 0);
  EXPECT_TRUE(server.WaitForOpenClients(0));
}

TEST(Part2_1_Connection, WriteFailureClosesThePipeButKeepsTheCount) {
  TestPipeServer server;
  ASSERT_EQ(ConnectToLocalService(), 1);
  server.QueueReply(TestPipeServer::Close());
  // The server closes instead of answering: a read failure, pipe still open.
  EXPECT_FALSE(lumbrex::CmdAddBundle(L"B1"));
  EXPECT_TRUE(g_remoteControl.IsPipeOpen());
  EXPECT_EQ(g_remoteControl.ConnectionCount(), 1);
  // The next write fails: the handle is closed, the count stays 1.
  EXPECT_FALSE(lumbrex::CmdAddBundle(L"B2"));
  EXPECT_FALSE(g_remoteControl.IsPipeOpen());
  EXPECT_EQ(g_remoteControl.ConnectionCount(), 1);
  // Later commands fail at once until the caller connects again.
  EXPECT_FALSE(lumbrex::CmdDeleteBundle(L"B3"));
  EXPECT_EQ(server.Commands(), (Commands{"ADD_BUNDLE 4,B1!"}));
  // The next connect raises the count by one more: two disconnects close.
  ASSERT_EQ(ConnectToLocalService(), 1);
  EXPECT_EQ(g_remoteControl.ConnectionCount(), 2);
  EXPECT_TRUE(lumbrex::CmdAddBundle(L"B4"));
  EXPECT_EQ(DisconnectFromService(), 1);
  EXPECT_TRUE(g_remoteControl.IsPipeOpen());
  EXPECT_EQ(g_remoteControl.ConnectionCount(), 1);
  EXPECT_EQ(DisconnectFromService(), 1);
  EXPECT_FALSE(g_remoteControl.IsPipeOpen());
  EXPECT_EQ(g_remoteControl.ConnectionCount(), 0);
  EXPECT_TRUE(server.WaitForOpenClients(0));
  EXPECT_EQ(QKGetLastError(), 0u);
}

TEST(Part2_1_Connection, RemoteWithEmptyUserOpensWithoutLogon) {
  TestPipeServer server;
  Var host, user, password;
  *host = Bstr(L".");
  *user = Bstr(L"");
  *password = Bstr(L"secret");
  EXPECT_EQ(ConnectToRemoteService(host.copy(), user.copy(), password.copy()), 1);
  EXPECT_EQ(g_remoteControl.ConnectionCount(), 1);
  EXPECT_TRUE(lumbrex::g_remoteLogonName.empty());  // no logon was made
  EXPECT_TRUE(server.WaitForOpenClients(1));
  EXPECT_TRUE(lumbrex::CmdAddBundle(L"R"));
  EXPECT_EQ(server.Commands(), (Commands{"ADD_BUNDLE 4,R!"}));
  DisconnectAll();
}

TEST(Part2_1_Connection, FailedLogonClosesThePipeAndStoresItsCode) {
  TestPipeServer server;
  ASSERT_EQ(ConnectToLocalService(), 1);
  Var host, user, password;
  *host = Bstr(L"lumbrex-no-such-host");
  *user = Bstr(L"someone");
  *password = Bstr(L"pw");
  EXPECT_EQ(ConnectToRemoteService(host.copy(), user.copy(), password.copy()), 0);
  const unsigned int code = QKGetLastError();
  EXPECT_NE(code, 0u);
  EXPECT_TRUE(lumbrex::g_remoteLogonName.empty());  // emptied after the failure
  EXPECT_FALSE(g_remoteControl.IsPipeOpen());       // the reference stays dropped
  EXPECT_EQ(g_remoteControl.ConnectionCount(), 0);
  EXPECT_TRUE(server.WaitForOpenClients(0));
  // The code is WNetAddConnection2W's own, unchanged.
  std::wstring remote = L"\\\\lumbrex-no-such-host\\IPC$";
  NETRESOURCEW resource{};
  resource.dwType = RESOURCETYPE_ANY;
  resource.lpRemoteName = &remote[0];
  EXPECT_EQ(WNetAddConnection2W(&resource, L"pw", L"someone", 0), code);
}

TEST(Part2_1_Connection, LogonRemoteFormatsTheName) {
  // Under Wine the logon fails; the name is emptied again on failure.
  const uint32_t result = g_remoteControl.LogonRemote(L"srv", L"u", L"");
  EXPECT_NE(result, 0u);
  EXPECT_TRUE(lumbrex::g_remoteLogonName.empty());
}

TEST(Part2_1_Connection, NonStringRemoteArgumentLeavesTheConnection) {
  TestPipeServer server;
  ASSERT_EQ(ConnectToLocalService(), 1);
  Var host, user, password, number;
  *host = Bstr(L".");
  *user = Bstr(L"");
  *password = Bstr(L"");
  *number = testsupport::I4(5);
  EXPECT_EQ(ConnectToRemoteService(number.copy(), user.copy(), password.copy()), 0);
  EXPECT_EQ(QKGetLastError(), 13u);
  EXPECT_EQ(ConnectToRemoteService(host.copy(), number.copy(), password.copy()), 0);
  EXPECT_EQ(ConnectToRemoteService(host.copy(), user.copy(), number.copy()), 0);
  EXPECT_EQ(QKGetLastError(), 13u);
  EXPECT_TRUE(g_remoteControl.IsPipeOpen());
  EXPECT_EQ(g_remoteControl.ConnectionCount(), 1);
  EXPECT_TRUE(server.WaitForTotalClients(1));
  EXPECT_EQ(server.TotalClients(), 1u);
  DisconnectAll();
}

// ---- Part 2.2: Transact ---------------------------------------------------

TEST(Part2_2_Transact, NoPipeFailsAtOnceWithoutCode) {
  lumbrex::SetLastErrorCode(77);
  const double ms = MeasureMs([] { EXPECT_FALSE(lumbrex::CmdAddBundle(L"B1")); });
  EXPECT_LT(ms, 500.0);
  EXPECT_FALSE(g_remoteControl.IsPipeOpen());
  EXPECT_EQ(lumbrex::LastErrorCode(), 77u);
}

TEST(Part2_2_Transact, TheTenCommandsExactly) {
  TestPipeServer server;
  ASSERT_EQ(ConnectToLocalService(), 1);
  EXPECT_TRUE(lumbrex::CmdAddBundle(L"B1"));
  EXPECT_TRUE(lumbrex::CmdDeleteBundle(L"B1"));
  EXPECT_TRUE(lumbrex::CmdGetBundleState(L"B1"));
  EXPECT_TRUE(lumbrex::CmdAddPort(L"B1", true, L"COM5", 3));
  EXPECT_TRUE(lumbrex::CmdDeletePort(L"B1", false, L"COM7"));
  EXPECT_TRUE(lumbrex::CmdSetMain(L"B1", true, L"COM2"));
  EXPECT_TRUE(lumbrex::CmdGetPortState(L"B1", false, L"COM2"));
  EXPECT_TRUE(lumbrex::CmdSetRealPortParams(L"B1", true, L"COM3", L"19200,E,7,1,X|1|0"));
  EXPECT_TRUE(lumbrex::CmdUpdateSettings(1, 0, 1, 1, 0));
  EXPECT_TRUE(lumbrex::CmdSetSharePermission(L"B1", false, L"COM4", L"a,b!", 3));
  EXPECT_EQ(server.Commands(), (Commands{
                                   "ADD_BUNDLE 4,B1!",
                                   "DEL_BUNDLE B1!",
                                   "GET_BUNDLE_STATE B1!",
                                   "ADD_PORT B1,In,COM5,Switcher!",
                                   "DEL_PORT B1,Out,COM7!",
                                   "SET_MAIN B1,In,COM2!",
                                   "GET_PORT_STATE B1,Out,COM2!",
                                   "SET_RPORT_PARAMS B1,In,COM3,19200-E-7-1-X|1|0!",
                                   "UPDATE_SETTINGS 1,0,1,1,0!",
                                   "SET_SHARE_PERMISSION B1,Out,COM4,a@2b@1,3!",
                               }));
  // Nothing follows any "!": no NUL, no line end.
  size_t total = 0;
  for (const auto& command : server.Commands()) total += command.size();
  EXPECT_EQ(server.BytesReceived(), total);
  EXPECT_EQ(server.Commands()[0].size(), 16u);
  DisconnectAll();
}

TEST(Part2_2_Transact, ParameterCommasAndEscapingOnTheWire) {
  TestPipeServer server;
  ASSERT_EQ(ConnectToLocalService(), 1);
  EXPECT_TRUE(lumbrex::CmdSetRealPortParams(L"B", false, L"P", L"a,b,c"));
  EXPECT_TRUE(lumbrex::CmdSetSharePermission(L"B", true, L"P", L"x@y!,", -5));
  EXPECT_EQ(server.Commands(),
            (Commands{"SET_RPORT_PARAMS B,Out,P,a-b-c!", "SET_SHARE_PERMISSION B,In,P,x@3y@1@2,-5!"}));
  DisconnectAll();
}

TEST(Part2_2_Transact, RepliesThatSucceedAndFail) {
  TestPipeServer server;
  ASSERT_EQ(ConnectToLocalService(), 1);
  const std::vector<std::pair<std::string, bool>> cases = {
      {"OK!", true}, {"ok!", true}, {"OKAY!", true}, {"Ok, done!", true},
      {"ERROR!", false}, {"O!", false}, {"!", false}, {"NOK!", false},
  };
  for (const auto& c : cases) server.QueueReply(c.first);
  lumbrex::SetLastErrorCode(77);
  for (const auto& c : cases) EXPECT_EQ(lumbrex::CmdAddBundle(L"B"), c.second) << c.first;
  EXPECT_EQ(server.CommandCount(), cases.size());
  EXPECT_TRUE(g_remoteControl.IsPipeOpen());  // a refusal keeps the pipe
  EXPECT_EQ(lumbrex::LastErrorCode(), 77u);   // and stores no code
  DisconnectAll();
}

TEST(Part2_2_Transact, BytesAfterTheBangBeginTheNextReply) {
  TestPipeServer server;
  ASSERT_EQ(ConnectToLocalService(), 1);
  server.QueueReply("ERROR!OK!");
  server.QueueReply("ERROR!");
  EXPECT_FALSE(lumbrex::CmdAddBundle(L"1"));  // reads ERROR!
  EXPECT_TRUE(lumbrex::CmdAddBundle(L"2"));   // reads the OK! left in the pipe
  EXPECT_FALSE(lumbrex::CmdAddBundle(L"3"));  // reads the ERROR! of command 2
  DisconnectAll();
}

TEST(Part2_2_Transact, ReplyWithoutBangWithin255BytesFailsAndLeavesTheRest) {
  TestPipeServer server;
  ASSERT_EQ(ConnectToLocalService(), 1);
  // 300 bytes before the "!": the reader stops at 255 and fails the command.
  server.QueueReply("OK" + std::string(298, 'x') + "!");
  EXPECT_FALSE(lumbrex::CmdAddBundle(L"1"));
  EXPECT_TRUE(g_remoteControl.IsPipeOpen());
  // The 46 bytes left over ("xxx...!") are the next reply: a failure.
  EXPECT_FALSE(lumbrex::CmdAddBundle(L"2"));
  // Then the OK! of command 2.
  EXPECT_TRUE(lumbrex::CmdAddBundle(L"3"));
  DisconnectAll();
}

TEST(Part2_2_Transact, ReplyOf255BytesSucceeds) {
  TestPipeServer server;
  ASSERT_EQ(ConnectToLocalService(), 1);
  server.QueueReply("OK" + std::string(252, 'x') + "!");
  EXPECT_TRUE(lumbrex::CmdAddBundle(L"1"));
  EXPECT_TRUE(lumbrex::CmdAddBundle(L"2"));  // nothing was left behind
  DisconnectAll();
}

TEST(Part2_2_Transact, LateReplyIsWaitedFor) {
  TestPipeServer server;
  ASSERT_EQ(ConnectToLocalService(), 1);
  server.QueueReply(TestPipeServer::Send("OK!", 400));
  const double ms = MeasureMs([] { EXPECT_TRUE(lumbrex::CmdAddBundle(L"B")); });
  EXPECT_GE(ms, 350.0);
  DisconnectAll();
}

TEST(Part2_2_Transact, CharactersOutsideTheCodePageBecomeItsDefaultCharacter) {
  TestPipeServer server;
  ASSERT_EQ(ConnectToLocalService(), 1);
  CPINFOEXW info{};
  ASSERT_TRUE(GetCPInfoExW(CP_THREAD_ACP, 0, &info));
  const char fallback = static_cast<char>(info.DefaultChar[0]);
  EXPECT_EQ(info.CodePage, 1252u);  // Wine's ANSI code page here
  // U+4E2D is not in 1252; U+00E9 is (byte 0xE9).
  EXPECT_TRUE(lumbrex::CmdAddBundle(L"B\x4E2D\x00E9"));
  EXPECT_EQ(server.Commands(), (Commands{std::string("ADD_BUNDLE 4,B") + fallback + "\xE9!"}));
  DisconnectAll();
}

TEST(Part2_2_Transact, ReadFailureReturnsFalseAndKeepsThePipeMarkedOpen) {
  TestPipeServer server;
  ASSERT_EQ(ConnectToLocalService(), 1);
  server.QueueReply(TestPipeServer::Close(100));
  EXPECT_FALSE(lumbrex::CmdGetPortState(L"B", true, L"P"));
  EXPECT_TRUE(g_remoteControl.IsPipeOpen());
  EXPECT_EQ(g_remoteControl.ConnectionCount(), 1);
  DisconnectAll();
}

TEST(Part2_2_Transact, ServiceThatNeverAnswersBlocksUntilThePipeBreaks) {
  auto server = std::make_unique<TestPipeServer>();
  ASSERT_EQ(ConnectToLocalService(), 1);
  server->QueueReply(TestPipeServer::NoReply());
  testsupport::BackgroundCall call([] { return lumbrex::CmdAddBundle(L"X") ? 1 : 0; });
  ASSERT_TRUE(server->WaitForCommands(1));
  EXPECT_EQ(call.Join(300), -1);  // still waiting for its reply, no time-out of its own
  // Others time out on the link mutex meanwhile.
  EXPECT_FALSE(lumbrex::CmdGetBundleState(L"Y"));
  server.reset();  // the pipe breaks: the read fails
  EXPECT_EQ(call.Join(5000), 0);
  EXPECT_TRUE(g_remoteControl.IsPipeOpen());  // a read failure keeps it marked open
  DisconnectAll();
}
