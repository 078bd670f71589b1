// Part 2.2: the link mutex waits (0, 500, 1000, 1024 ms), measured while a
// second thread holds the link inside a transaction whose reply is late.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "link/commands.h"
#include "link/remote_control.h"
#include "lumbrex.h"
#include "support/test_pipe_server.h"

using lumbrex::g_remoteControl;
using testsupport::LinkHolder;
using testsupport::MeasureMs;
using testsupport::TestPipeServer;

namespace {

// Longer than the longest wait (1024 ms) with room for Wine's coarse timing.
constexpr DWORD kHoldMs = 2000;

// Runs command while another thread holds the link; checks that it failed,
// sent nothing, and gives its duration in ms.
double TimedOutCommand(const std::function<bool()>& command) {
  TestPipeServer server;
  EXPECT_EQ(ConnectToLocalService(), 1);
  LinkHolder holder(server, [] { return lumbrex::CmdAddBundle(L"HOLD") ? 1 : 0; }, kHoldMs);
  EXPECT_TRUE(holder.holding());
  bool result = true;
  const double ms = MeasureMs([&] { result = command(); });
  EXPECT_FALSE(result);
  EXPECT_EQ(holder.Join(), 1);  // the holder's own command completes
  // Nothing of the timed-out command was written.
  EXPECT_EQ(server.Commands(), std::vector<std::string>{"ADD_BUNDLE 4,HOLD!"});
  // The link is free again afterwards.
  EXPECT_TRUE(command());
  DisconnectFromService();
  return ms;
}

void ExpectAboutMs(double ms, double nominal) {
  EXPECT_GE(ms, nominal - 50.0);
  EXPECT_LT(ms, 3000.0);
}

void ExpectImmediate(double ms) { EXPECT_LT(ms, 300.0); }

}  // namespace

TEST(Part2_2_Timeouts, UpdateSettingsGivesUpAfter500Ms) {
  const double ms = TimedOutCommand([] { return lumbrex::CmdUpdateSettings(0, 0, 0, 0, 0); });
  ExpectAboutMs(ms, 500);
  EXPECT_LT(ms, 1000.0);  // not the 1000 ms of the others
}

TEST(Part2_2_Timeouts, GetPortStateGivesUpAfter1024Ms) {
  ExpectAboutMs(TimedOutCommand([] { return lumbrex::CmdGetPortState(L"B", true, L"P"); }), 1024);
}

TEST(Part2_2_Timeouts, GetBundleStateGivesUpAtOnce) {
  ExpectImmediate(TimedOutCommand([] { return lumbrex::CmdGetBundleState(L"B"); }));
}

TEST(Part2_2_Timeouts, SetSharePermissionGivesUpAtOnce) {
  ExpectImmediate(TimedOutCommand([] { return lumbrex::CmdSetSharePermission(L"B", true, L"P", L"a", 1); }));
}

TEST(Part2_2_Timeouts, AddBundleWaits1000Ms) {
  ExpectAboutMs(TimedOutCommand([] { return lumbrex::CmdAddBundle(L"B"); }), 1000);
}

TEST(Part2_2_Timeouts, DeleteBundleWaits1000Ms) {
  ExpectAboutMs(TimedOutCommand([] { return lumbrex::CmdDeleteBundle(L"B"); }), 1000);
}

TEST(Part2_2_Timeouts, AddPortWaits1000Ms) {
  ExpectAboutMs(TimedOutCommand([] { return lumbrex::CmdAddPort(L"B", true, L"P", 0); }), 1000);
}

TEST(Part2_2_Timeouts, DeletePortWaits1000Ms) {
  ExpectAboutMs(TimedOutCommand([] { return lumbrex::CmdDeletePort(L"B", true, L"P"); }), 1000);
}

TEST(Part2_2_Timeouts, SetMainWaits1000Ms) {
  ExpectAboutMs(TimedOutCommand([] { return lumbrex::CmdSetMain(L"B", true, L"P"); }), 1000);
}

TEST(Part2_2_Timeouts, SetRealPortParamsWaits1000Ms) {
  ExpectAboutMs(TimedOutCommand([] { return lumbrex::CmdSetRealPortParams(L"B", true, L"P", L"1,n,8,0"); }),
                1000);
}

TEST(Part2_2_Timeouts, ACommandWithinItsWaitGoesThrough) {
  // The holder lets go after 300 ms, well within ADD_PORT's 1000 ms.
  TestPipeServer server;
  ASSERT_EQ(ConnectToLocalService(), 1);
  LinkHolder holder(server, [] { return lumbrex::CmdAddBundle(L"HOLD") ? 1 : 0; }, 300);
  ASSERT_TRUE(holder.holding());
  EXPECT_TRUE(lumbrex::CmdAddPort(L"B", false, L"P", 1));
  EXPECT_EQ(holder.Join(), 1);
  EXPECT_EQ(server.Commands(), (std::vector<std::string>{"ADD_BUNDLE 4,HOLD!", "ADD_PORT B,Out,P,Virtual!"}));
  DisconnectFromService();
}

// Left to the implementer (Part 2.2): a disconnect on another thread never
// closes the handle under a transaction; the transaction finishes on its own
// reference and the pipe is closed for everybody else at once.
TEST(Part2_2_Timeouts, DisconnectDuringATransactionLetsItFinish) {
  TestPipeServer server;
  ASSERT_EQ(ConnectToLocalService(), 1);
  LinkHolder holder(server, [] { return lumbrex::CmdAddBundle(L"HOLD") ? 1 : 0; }, 600);
  ASSERT_TRUE(holder.holding());
  EXPECT_EQ(DisconnectFromService(), 1);
  EXPECT_FALSE(g_remoteControl.IsPipeOpen());
  EXPECT_EQ(g_remoteControl.ConnectionCount(), 0);
  EXPECT_EQ(holder.Join(), 1);  // its reply was read
  EXPECT_TRUE(server.WaitForOpenClients(0));
  EXPECT_FALSE(lumbrex::CmdAddBundle(L"AFTER"));
  EXPECT_EQ(server.CommandCount(), 1u);
}

TEST(Part2_2_Timeouts, ReconnectDuringATransactionUsesANewPipe) {
  TestPipeServer server;
  ASSERT_EQ(ConnectToLocalService(), 1);
  LinkHolder holder(server, [] { return lumbrex::CmdAddBundle(L"HOLD") ? 1 : 0; }, 600);
  ASSERT_TRUE(holder.holding());
  EXPECT_EQ(ConnectToLocalService(), 1);
  EXPECT_EQ(g_remoteControl.ConnectionCount(), 1);
  EXPECT_EQ(holder.Join(), 1);
  EXPECT_TRUE(lumbrex::CmdDeleteBundle(L"NEXT"));
  EXPECT_TRUE(server.WaitForTotalClients(2));
  EXPECT_EQ(server.TotalClients(), 2u);
  EXPECT_TRUE(server.WaitForOpenClients(1));
  DisconnectFromService();
}
