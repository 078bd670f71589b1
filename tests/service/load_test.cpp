// Part 2.4 under load: 16 clients, each on its own connection and thread,
// issue 500 commands each, interleaved; every reply arrives, no command is
// lost, and the registry is consistent at the end.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "service/service_fixture.h"

using namespace servicetest;

namespace {

constexpr int kClients = 16;
constexpr int kRounds = 100;  // five commands a round: 500 commands a client

std::string SideWord(int round) { return round % 2 == 0 ? "In" : "Out"; }

// The five commands of one round of client k.
std::vector<std::string> RoundCommands(int k, int round) {
  const std::string bundle = "L" + std::to_string(k);
  const std::string port = "P" + std::to_string(round);
  const std::string address = bundle + "," + SideWord(round) + "," + port;
  return {
      "ADD_PORT " + address + ",Real!",
      "SET_RPORT_PARAMS " + address + "," + std::to_string(9600 + round) + "-N-8-0|1|0!",
      "GET_PORT_STATE " + address + "!",
      // Every client writes into the one shared permissions key.
      "SET_SHARE_PERMISSION Common,In,COM50,client" + std::to_string(k) + "," + std::to_string(round % 7 + 1) + "!",
      round % 3 == 0 ? "DEL_PORT " + address + "!" : "SET_MAIN " + address + "!",
  };
}

class Part2_4_ServiceLoad : public ServiceTest {};

TEST_F(Part2_4_ServiceLoad, SixteenClientsFiveHundredCommandsEachAllAnsweredNoneLost) {
  for (int k = 0; k < kClients; ++k) ASSERT_EQ(Command("ADD_BUNDLE 4,L" + std::to_string(k) + "!"), "OK!");
  ASSERT_EQ(Command("ADD_BUNDLE 4,Common!"), "OK!");
  ASSERT_EQ(Command("ADD_PORT Common,In,COM50,Shared!"), "OK!");

  std::atomic<int> replies{0};
  std::atomic<int> okReplies{0};
  std::vector<std::string> failures(kClients);
  const auto start = std::chrono::steady_clock::now();
  std::vector<std::thread> threads;
  for (int k = 0; k < kClients; ++k) {
    threads.emplace_back([k, &replies, &okReplies, &failures] {
      PipeClient client;
      if (!client.Connect(30000)) {
        failures[k] = "no connection";
        return;
      }
      for (int round = 0; round < kRounds; ++round) {
        for (const std::string& command : RoundCommands(k, round)) {
          const std::string reply = client.Transact(command, 30000);
          if (reply == "<no reply>") {
            failures[k] = "no reply to " + command;
            return;
          }
          ++replies;
          if (reply == "OK!")
            ++okReplies;
          else if (failures[k].empty())
            failures[k] = command + " -> " + reply;
        }
      }
    });
  }
  for (auto& thread : threads) thread.join();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("load: %d commands from %d clients in %.1f s\n", kClients * kRounds * 5, kClients, seconds);

  for (int k = 0; k < kClients; ++k) EXPECT_EQ(failures[k], "") << "client " << k;
  EXPECT_EQ(replies.load(), kClients * kRounds * 5);
  EXPECT_EQ(okReplies.load(), kClients * kRounds * 5);

  // The registry holds exactly what the commands say, for every client.
  for (int k = 0; k < kClients; ++k) {
    const std::wstring bundle = L"L" + std::to_wstring(k);
    std::vector<std::wstring> expectedIn, expectedOut;
    for (int round = 0; round < kRounds; ++round) {
      const std::wstring port = L"P" + std::to_wstring(round);
      const std::wstring side = round % 2 == 0 ? L"IN" : L"OUT";
      if (round % 3 == 0) {
        EXPECT_FALSE(ValueExists(SideKey(bundle, side), port)) << k << " " << round;
        continue;
      }
      (round % 2 == 0 ? expectedIn : expectedOut).push_back(port);
      EXPECT_EQ(ReadString(SideKey(bundle, side), port),
                L"Real|" + std::to_wstring(9600 + round) + L",N,8,0|1|0")
          << k << " " << round;
    }
    auto sorted = [](std::vector<std::wstring> names) {
      std::sort(names.begin(), names.end());
      return names;
    };
    EXPECT_EQ(sorted(testsupport::EnumValueNamesDirect(SideKey(bundle, L"IN"))), sorted(expectedIn)) << k;
    EXPECT_EQ(sorted(testsupport::EnumValueNamesDirect(SideKey(bundle, L"OUT"))), sorted(expectedOut)) << k;
    // The last rounds that kept their port: 98 (In) and 97 (Out).
    EXPECT_EQ(ReadString(BundleKey(bundle), L"InMain"), L"P98") << k;
    EXPECT_EQ(ReadString(BundleKey(bundle), L"OutMain"), L"P97") << k;
    EXPECT_EQ(ReadDword(PermissionsKey(L"COM50"), L"client" + std::to_wstring(k)), (kRounds - 1) % 7 + 1u) << k;
  }
  EXPECT_EQ(testsupport::EnumValueNamesDirect(PermissionsKey(L"COM50")).size(), static_cast<size_t>(kClients));
  EXPECT_EQ(testsupport::EnumSubkeyNamesDirect(kRoot).size(), static_cast<size_t>(kClients + 1));
}

}  // namespace

namespace {

// Racing clients: each command is carried out whole under the service's lock,
// so of many clients creating the same thing exactly one succeeds.
TEST_F(Part2_4_ServiceLoad, RacingCreatorsOfTheSameBundleAndPortGetExactlyOneOk) {
  constexpr int kRacers = 16;
  constexpr int kRounds = 20;
  std::vector<std::string> replies(kRacers * kRounds * 2);
  std::vector<std::thread> threads;
  for (int k = 0; k < kRacers; ++k) {
    threads.emplace_back([k, &replies] {
      PipeClient client;
      if (!client.Connect(30000)) return;
      for (int round = 0; round < kRounds; ++round) {
        const std::string bundle = "Race" + std::to_string(round);
        replies[(round * kRacers + k) * 2] = client.Transact("ADD_BUNDLE 4," + bundle + "!", 30000);
        // The port command may come before the bundle exists: then ERROR!.
        replies[(round * kRacers + k) * 2 + 1] = client.Transact("ADD_PORT " + bundle + ",In,COM1,Real!", 30000);
      }
    });
  }
  for (auto& thread : threads) thread.join();
  for (int round = 0; round < kRounds; ++round) {
    int bundleOks = 0, portOks = 0;
    for (int k = 0; k < kRacers; ++k) {
      const std::string& bundleReply = replies[(round * kRacers + k) * 2];
      const std::string& portReply = replies[(round * kRacers + k) * 2 + 1];
      EXPECT_TRUE(bundleReply == "OK!" || bundleReply == "ERROR!") << bundleReply;
      EXPECT_TRUE(portReply == "OK!" || portReply == "ERROR!") << portReply;
      bundleOks += bundleReply == "OK!";
      portOks += portReply == "OK!";
    }
    EXPECT_EQ(bundleOks, 1) << round;
    EXPECT_EQ(portOks, 1) << round;
    const std::wstring bundle = L"Race" + std::to_wstring(round);
    EXPECT_EQ(testsupport::EnumValueNamesDirect(SideKey(bundle, L"IN")), std::vector<std::wstring>{L"COM1"});
    EXPECT_EQ(ReadString(SideKey(bundle, L"IN"), L"COM1"), L"Real||1|1");
  }
}

}  // namespace
