// Parts 2.1 and 2.2: commands on several threads while others connect and
// disconnect, for a bounded time: no crash, no deadlock, clean results, and a
// connection count consistent with Part 2.1.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "link/commands.h"
#include "link/remote_control.h"
#include "lumbrex.h"
#include "support/test_pipe_server.h"

using lumbrex::g_remoteControl;
using testsupport::BackgroundCall;
using testsupport::TestPipeServer;

TEST(Part2_2_Concurrency, CommandsWhileConnectingAndDisconnecting) {
  TestPipeServer server;
  ASSERT_TRUE(server.listening());
  ASSERT_EQ(ConnectToLocalService(), 1);
  const ULONGLONG end = GetTickCount64() + 3000;
  std::atomic<long> sent{0}, succeeded{0}, badResults{0}, connects{0};

  std::vector<std::unique_ptr<BackgroundCall>> threads;
  for (int t = 0; t < 3; ++t) {
    threads.emplace_back(new BackgroundCall([&, t] {
      for (unsigned i = 0; GetTickCount64() < end; ++i) {
        bool ok = false;
        switch ((i + t) % 4) {
          case 0: ok = lumbrex::CmdAddBundle(L"C" + std::to_wstring(t)); break;
          case 1: ok = lumbrex::CmdAddPort(L"C", t % 2 == 0, L"COM" + std::to_wstring(t), t % 4); break;
          case 2: ok = lumbrex::CmdUpdateSettings(1, 0, 1, 0, 1); break;
          case 3: ok = lumbrex::CmdGetBundleState(L"S"); break;
        }
        ++sent;
        if (ok) ++succeeded;
      }
      return 0;
    }));
  }
  for (int t = 0; t < 2; ++t) {
    threads.emplace_back(new BackgroundCall([&, t] {
      for (unsigned i = 0; GetTickCount64() < end; ++i) {
        if ((i + t) % 2 == 0) {
          const int r = ConnectToLocalService();
          if (r != 0 && r != 1) ++badResults;
          if (r == 1) ++connects;
        } else if (DisconnectFromService() != 1) {
          ++badResults;
        }
        Sleep(5);
      }
      return 0;
    }));
  }
  for (auto& thread : threads) EXPECT_EQ(thread->Join(20000), 0) << "a thread did not end (deadlock?)";

  EXPECT_EQ(badResults.load(), 0);
  EXPECT_GT(sent.load(), 0);
  EXPECT_GT(connects.load(), 0);
  EXPECT_GT(succeeded.load(), 0);
  // Every command the server saw is whole: one of the messages sent.
  std::set<std::string> known = {"ADD_BUNDLE 4,C0!", "ADD_BUNDLE 4,C1!", "ADD_BUNDLE 4,C2!",
                                 "UPDATE_SETTINGS 1,0,1,0,1!", "GET_BUNDLE_STATE S!"};
  for (int t = 0; t < 3; ++t) {
    for (int index = 0; index < 4; ++index) {
      for (const char* side : {"In", "Out"}) {
        static const char* const words[] = {"Real", "Virtual", "Shared", "Switcher"};
        known.insert(std::string("ADD_PORT C,") + side + ",COM" + std::to_string(t) + "," + words[index] + "!");
      }
    }
  }
  const auto commands = server.Commands();
  for (const auto& command : commands) EXPECT_EQ(known.count(command), 1u) << command;
  EXPECT_GE(static_cast<long>(commands.size()), succeeded.load());

  // Part 2.1: no write failed (the server always answers), so the pipe is
  // open exactly when the count is positive, and that many disconnects close
  // it; the server then has no client left (no handle leaked).
  const int32_t count = g_remoteControl.ConnectionCount();
  EXPECT_GE(count, 0);
  EXPECT_EQ(g_remoteControl.IsPipeOpen(), count > 0);
  for (int32_t i = 0; i < count; ++i) EXPECT_EQ(DisconnectFromService(), 1);
  EXPECT_FALSE(g_remoteControl.IsPipeOpen());
  EXPECT_EQ(g_remoteControl.ConnectionCount(), 0);
  EXPECT_TRUE(server.WaitForOpenClients(0));
}
