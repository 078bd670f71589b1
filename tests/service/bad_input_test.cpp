// Part 2.4: bad input never stops the service. Each bad command gets
// "ERROR!" (or, past the length bound, "ERROR!" and a closed pipe), and the
// service goes on serving every other client with nothing lost.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "service/service_fixture.h"

using namespace servicetest;

namespace {

class Part2_4_ServiceBadInput : public ServiceTest {
 protected:
  // The service still serves: a command on a fresh connection is carried out.
  void ExpectStillServing() {
    EXPECT_EQ(CommandOnNewConnection("ADD_BUNDLE 4,Alive!"), "OK!");
    EXPECT_TRUE(KeyExists(BundleKey(L"Alive")));
    EXPECT_EQ(CommandOnNewConnection("DEL_BUNDLE Alive!"), "OK!");
  }
};

TEST_F(Part2_4_ServiceBadInput, UnknownWordsAndReplyWordsGetErrorAndTheConnectionGoesOn) {
  for (const char* bad : {"HELLO 1!", "!", " !", "OK!", "ERROR!", "ok!", "ADD_BUNDLE4,B1!", "ADD_BUNDLES 4,B1!",
                          "ADD BUNDLE 4,B1!", "\r\n!", "ADD_BUNDLE!", "DEL_BUNDLE!", "RENAME_BUNDLE!"}) {
    EXPECT_EQ(Command(bad), "ERROR!") << bad;
  }
  EXPECT_EQ(Command("ADD_BUNDLE 4,B1!"), "OK!");
  EXPECT_EQ(testsupport::EnumSubkeyNamesDirect(kRoot), std::vector<std::wstring>{L"B1"});
}

TEST_F(Part2_4_ServiceBadInput, MissingAndExtraFieldsGetError) {
  ASSERT_EQ(Command("ADD_BUNDLE 4,B1!"), "OK!");
  for (const char* bad : {"ADD_PORT B1,In!", "ADD_PORT B1!", "ADD_PORT !", "DEL_PORT B1,In,COM1,X!", "SET_MAIN B1!",
                          "GET_PORT_STATE B1,In,COM1,Real!", "SET_RPORT_PARAMS B1,In,COM1!",
                          "SET_SHARE_PERMISSION B1,In,COM1,app!", "SET_SHARE_PERMISSION B1,In,COM1,app,3,4!",
                          "GET_BUNDLE_STATE B1,B2!", "DEL_BUNDLE B1,!", "UPDATE_SETTINGS 1,1,1,1!",
                          "ADD_PORT B1,In,COM1,Real !", "ADD_PORT ,In,COM1,Real!"}) {
    EXPECT_EQ(Command(bad), "ERROR!") << bad;
  }
  EXPECT_TRUE(testsupport::EnumValueNamesDirect(SideKey(L"B1", L"IN")).empty());
  EXPECT_TRUE(KeyExists(BundleKey(L"B1")));
  EXPECT_FALSE(ValueExists(kRoot, L"AutoOpen", testsupport::kView32));
}

TEST_F(Part2_4_ServiceBadInput, ANulByteInACommandGetsErrorAndNothingIsWritten) {
  EXPECT_EQ(Command(std::string("ADD_BUNDLE 4,B\0X!", 17)), "ERROR!");
  EXPECT_EQ(Command(std::string("\0!", 2)), "ERROR!");
  EXPECT_FALSE(KeyExists(kRoot));
  EXPECT_EQ(Command("ADD_BUNDLE 4,B!"), "OK!");
}

TEST_F(Part2_4_ServiceBadInput, EveryByteValueIsTakenAsCodePage1252Text) {
  // All the non-ASCII bytes (and the controls but NUL) in one bundle name.
  std::string name;
  for (int byte = 1; byte < 256; ++byte)
    if (byte != '!' && byte != ',' && byte != '\\' && byte != ' ' && (byte < 0x20 || byte >= 0x80))
      name.push_back(static_cast<char>(byte));
  ASSERT_LE(name.size(), 255u);
  EXPECT_EQ(Command("ADD_BUNDLE 4," + name + "!"), "OK!");
  const auto bundles = testsupport::EnumSubkeyNamesDirect(kRoot);
  ASSERT_EQ(bundles.size(), 1u);
  std::wstring expected(name.size(), L'\0');
  ASSERT_EQ(MultiByteToWideChar(1252, 0, name.data(), static_cast<int>(name.size()), expected.data(),
                                static_cast<int>(expected.size())),
            static_cast<int>(name.size()));
  EXPECT_EQ(bundles[0], expected);
  EXPECT_EQ(Command("GET_BUNDLE_STATE " + name + "!"), "OK!");
  EXPECT_EQ(Command("\xFF\xFE\x80!"), "ERROR!");
  ExpectStillServing();
}

TEST_F(Part2_4_ServiceBadInput, ACommandOfTheFullBoundIsStillRead) {
  // 4096 bytes before the "!": read and judged (the name is too long), and
  // the connection stays open.
  std::string command = "ADD_BUNDLE 4,";
  command += std::string(4096 - command.size(), 'N');
  ASSERT_EQ(command.size(), 4096u);
  EXPECT_EQ(Command(command + "!"), "ERROR!");
  EXPECT_EQ(Command("ADD_BUNDLE 4,B1!"), "OK!");
}

TEST_F(Part2_4_ServiceBadInput, ACommandPastTheBoundGetsErrorAndAClosedPipe) {
  std::string command = "ADD_BUNDLE 4,";
  command += std::string(4097 - command.size(), 'N');
  EXPECT_EQ(Command(command + "!"), "ERROR!");
  EXPECT_TRUE(client_.ServerClosed());
  EXPECT_FALSE(KeyExists(kRoot));
  ExpectStillServing();
}

TEST_F(Part2_4_ServiceBadInput, AnEndlessCommandWithoutBangGetsErrorAndAClosedPipe) {
  // 64 KiB of text and no "!": the service answers once it has seen more
  // than its bound, then closes the pipe; the rest of the write is dropped.
  const std::string flood(65536, 'A');
  PipeClient flooder;
  ASSERT_TRUE(flooder.Connect());
  // The write may block when the pipe's buffer is full and the service has
  // gone: a bounded write, whatever its outcome.
  flooder.Send(flood, 5000);
  std::string reply;
  ASSERT_TRUE(flooder.ReadReply(reply));
  EXPECT_EQ(reply, "ERROR!");
  EXPECT_TRUE(flooder.ServerClosed());
  EXPECT_EQ(Command("ADD_BUNDLE 4,B1!"), "OK!");  // the fixture's client was not disturbed
  ExpectStillServing();
}

TEST_F(Part2_4_ServiceBadInput, AClientThatVanishesMidCommandChangesNothing) {
  {
    PipeClient vanishing;
    ASSERT_TRUE(vanishing.Connect());
    ASSERT_TRUE(vanishing.Send("ADD_BUNDLE 4,Half"));
  }
  Sleep(200);
  EXPECT_EQ(Command("GET_BUNDLE_STATE Half!"), "ERROR!");
  EXPECT_FALSE(KeyExists(BundleKey(L"Half")));
  ExpectStillServing();
}

TEST_F(Part2_4_ServiceBadInput, AClientThatVanishesBeforeItsReplyStillHasItsCommandCarriedOut) {
  {
    PipeClient vanishing;
    ASSERT_TRUE(vanishing.Connect());
    ASSERT_TRUE(vanishing.Send("ADD_BUNDLE 4,Whole!"));
  }
  // The command is whole: it is carried out even though no one reads the reply.
  bool seen = false;
  for (int i = 0; i < 50 && !seen; ++i) {
    seen = KeyExists(BundleKey(L"Whole"));
    if (!seen) Sleep(20);
  }
  EXPECT_TRUE(seen);
  ExpectStillServing();
}

TEST_F(Part2_4_ServiceBadInput, ClientsThatConnectAndLeaveAtOnceDoNoHarm) {
  for (int i = 0; i < 50; ++i) {
    HANDLE pipe = CreateFileW(testsupport::ServiceProcess::PipePath(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (pipe == INVALID_HANDLE_VALUE) {
      WaitNamedPipeW(testsupport::ServiceProcess::PipePath(), 1000);
      continue;
    }
    CloseHandle(pipe);
  }
  ExpectStillServing();
}

TEST_F(Part2_4_ServiceBadInput, HundredsOfClientsAtOnceAreEachServed) {
  constexpr int kClients = 200;
  std::vector<std::unique_ptr<PipeClient>> clients;
  for (int i = 0; i < kClients; ++i) {
    clients.push_back(std::make_unique<PipeClient>());
    ASSERT_TRUE(clients.back()->Connect()) << "client " << i;
  }
  // All connected at once; every one sends, then every one reads.
  for (int i = 0; i < kClients; ++i)
    ASSERT_TRUE(clients[i]->Send("ADD_BUNDLE 4,C" + std::to_string(i) + "!")) << i;
  for (int i = 0; i < kClients; ++i) {
    std::string reply;
    ASSERT_TRUE(clients[i]->ReadReply(reply)) << i;
    EXPECT_EQ(reply, "OK!") << i;
  }
  // A second round on the same connections, one of them bad.
  for (int i = 0; i < kClients; ++i)
    ASSERT_TRUE(clients[i]->Send(i == 7 ? std::string("NONSENSE!") : "GET_BUNDLE_STATE C" + std::to_string(i) + "!"));
  for (int i = 0; i < kClients; ++i) {
    std::string reply;
    ASSERT_TRUE(clients[i]->ReadReply(reply)) << i;
    EXPECT_EQ(reply, i == 7 ? "ERROR!" : "OK!") << i;
  }
  EXPECT_EQ(testsupport::EnumSubkeyNamesDirect(kRoot).size(), static_cast<size_t>(kClients));
  clients.clear();
  ExpectStillServing();
}

TEST_F(Part2_4_ServiceBadInput, RandomBytesFromManyClientsGetOneReplyPerBang) {
  // Eight clients at once send random bytes (a "!" at least every 1000 bytes,
  // so every command stays under the bound); each "!" gets exactly one reply,
  // OK! or ERROR!, and the service goes on serving.
  constexpr int kClients = 8;
  constexpr int kChunks = 40;
  std::vector<std::string> failures(kClients);
  std::vector<std::thread> threads;
  for (int k = 0; k < kClients; ++k) {
    threads.emplace_back([k, &failures] {
      uint32_t seed = 0x9E3779B9u * (k + 1);
      auto next = [&seed] {
        seed ^= seed << 13;
        seed ^= seed >> 17;
        seed ^= seed << 5;
        return seed;
      };
      PipeClient client;
      if (!client.Connect()) {
        failures[k] = "no connection";
        return;
      }
      size_t sinceBang = 0;
      for (int chunk = 0; chunk < kChunks; ++chunk) {
        std::string bytes(1 + next() % 600, '\0');
        int bangs = 0;
        for (auto& byte : bytes) {
          byte = static_cast<char>(next() & 0xFF);
          if (++sinceBang >= 1000) byte = '!';
          if (byte == '!') {
            ++bangs;
            sinceBang = 0;
          }
        }
        if (!client.Send(bytes)) {
          failures[k] = "send failed";
          return;
        }
        for (int reply = 0; reply < bangs; ++reply) {
          std::string text;
          if (!client.ReadReply(text) || (text != "OK!" && text != "ERROR!")) {
            failures[k] = "bad or missing reply: " + text;
            return;
          }
        }
      }
    });
  }
  for (auto& thread : threads) thread.join();
  for (int k = 0; k < kClients; ++k) EXPECT_EQ(failures[k], "") << "client " << k;
  ExpectStillServing();
}

TEST_F(Part2_4_ServiceBadInput, ASecondServiceRefusesToStartWhileOneServes) {
  std::string output;
  const DWORD code = testsupport::RunServiceTool({L"--foreground"}, 20000, &output);
  EXPECT_EQ(code, 1u) << output;
  EXPECT_NE(output.find("another server holds it"), std::string::npos) << output;
  ExpectStillServing();
}

TEST(Part2_4_ServiceCommandLine, UnknownArgumentsPrintTheUsageAndExitWith2) {
  std::string output;
  EXPECT_EQ(testsupport::RunServiceTool({L"--frobnicate"}, 20000, &output), 2u);
  EXPECT_NE(output.find("usage: lumbrex-service.exe"), std::string::npos) << output;
  EXPECT_EQ(testsupport::RunServiceTool({L"--foreground", L"--install"}, 20000), 2u);
  EXPECT_EQ(testsupport::RunServiceTool({L"--help"}, 20000), 0u);
}

// The log: one line per command with the client, the text and the outcome.
class Part2_4_ServiceLog : public ServiceTest {
 protected:
  void SetUp() override {
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    logPath_ = std::wstring(folder) + L"lumbrex-service-log-test.txt";
    DeleteFileW(logPath_.c_str());
    options_.logPath = logPath_;
    ServiceTest::SetUp();
  }
  void TearDown() override {
    service_.reset();
    DeleteFileW(logPath_.c_str());
  }
  std::string ReadLog() {
    std::string text;
    HANDLE file = CreateFileW(logPath_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return text;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) text.append(buffer, got);
    CloseHandle(file);
    return text;
  }
  std::wstring logPath_;
};

TEST_F(Part2_4_ServiceLog, EveryCommandIsLoggedWithClientTextAndOutcome) {
  ASSERT_EQ(Command("ADD_BUNDLE 4,B1!"), "OK!");
  ASSERT_EQ(Command("DEL_PORT B1,In,COM1!"), "ERROR!");
  ASSERT_EQ(Command("BOGUS\x01!"), "ERROR!");
  ASSERT_EQ(Command("ADD_BUNDLE 4,Caf\xE9!"), "OK!");
  Sleep(100);
  const std::string log = ReadLog();
  EXPECT_NE(log.find("serving \\\\.\\pipe\\TessaryControl2 in the foreground, local clients only"), std::string::npos)
      << log;
  EXPECT_NE(log.find("client 1: connected"), std::string::npos) << log;
  EXPECT_NE(log.find("client 1: ADD_BUNDLE 4,B1 -> OK\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find("client 1: DEL_PORT B1,In,COM1 -> ERROR (no such port on that side)\r\n"), std::string::npos)
      << log;
  EXPECT_NE(log.find("client 1: BOGUS\\x01 -> ERROR (unknown command word)\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find("client 1: ADD_BUNDLE 4,Caf\xC3\xA9 -> OK\r\n"), std::string::npos) << log;  // UTF-8
}

}  // namespace
