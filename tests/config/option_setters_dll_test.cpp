// Part 3.3: the five option setters through the real lumbrex.dll, against the
// test pipe server: the exact bytes of UPDATE_SETTINGS, results and the
// untouched last-error code.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "config_fixture.h"
#include "lumbrex.h"
#include "support/test_pipe_server.h"

using namespace testsupport;
using namespace configtest;
using Commands = std::vector<std::string>;

namespace {

using Setter = int(WINAPI*)(int);
struct OptionSetter {
  const wchar_t* name;  // registry value name
  Setter setter;
};
// In UPDATE_SETTINGS order (positions 1 to 5).
const OptionSetter kSetters[] = {{L"AutoOpen", OptionSetAutoOpenPort},
                                 {L"IgnoreError", OptionSetIgnoreErrors},
                                 {L"Prints", OptionSetPortToPrint},
                                 {L"SendDataOnlyMainPort", OptionSetOnlyMainPortCanSend},
                                 {L"StrictBaudrate", OptionSetBaudrateEmulation}};
const wchar_t* const kRootOptionNames[] = {L"AutoOpen", L"IgnoreError", L"Prints", L"SendDataOnlyMainPort"};

// "UPDATE_SETTINGS a,b,c,d,e!" for five flags.
std::string Message(const int (&flags)[5]) {
  std::string text = "UPDATE_SETTINGS ";
  for (int i = 0; i < 5; ++i) text += std::to_string(flags[i]) + (i < 4 ? "," : "!");
  return text;
}

// Stores the five options: the four root ones in the 32-bit view, the
// driver's in its service key (native view).
void StoreAll(const uint32_t (&values)[5]) {
  for (int i = 0; i < 4; ++i) ASSERT_EQ(SetDword(kRoot, kRootOptionNames[i], values[i], kView32), ERROR_SUCCESS);
  ASSERT_EQ(SetDword(kDriverKey, L"StrictBaudrate", values[4]), ERROR_SUCCESS);
}

// Puts 13 in the last-error code by a deliberate failure.
void PresetLastError13() {
  ASSERT_EQ(OptionGetPortsAutoOpen(nullptr), 0);
  ASSERT_EQ(QKGetLastError(), 13u);
}

// The registry reset around every test and a connected library whose service
// answers OK!.
class Part3_3_OptionSetters : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.listening());
    ASSERT_EQ(ConnectToLocalService(), 1);
  }
  void TearDown() override {
    DisconnectFromService();
    // Every command went out exactly as recorded: nothing after a "!".
    size_t total = cleared_;
    for (const std::string& command : server_.Commands()) total += command.size();
    EXPECT_EQ(server_.BytesReceived(), total);
  }

  // Forgets the commands so far (their bytes still count for TearDown).
  void ClearCommands() {
    for (const std::string& command : server_.Commands()) cleared_ += command.size();
    server_.ClearCommands();
  }

  ConfigTree tree_;
  TestPipeServer server_;
  size_t cleared_ = 0;
};

}  // namespace

TEST_F(Part3_3_OptionSetters, AutoOpenStoredAs5IsReadAs5AndSentAs1) {
  ASSERT_EQ(SetDword(kRoot, L"AutoOpen", 5, kView32), ERROR_SUCCESS);
  ASSERT_EQ(SetDword(kRoot, L"IgnoreError", 0, kView32), ERROR_SUCCESS);
  unsigned int value = 0;
  ASSERT_EQ(OptionGetPortsAutoOpen(&value), 1);
  EXPECT_EQ(value, 5u);
  EXPECT_EQ(OptionSetIgnoreErrors(1), 1);
  EXPECT_EQ(server_.Commands(), (Commands{"UPDATE_SETTINGS 1,1,0,0,0!"}));
  EXPECT_EQ(server_.BytesReceived(), 26u);
  // The setter only sends: the stored 5 is the service's to change.
  EXPECT_EQ(OptionGetPortsAutoOpen(&value), 1);
  EXPECT_EQ(value, 5u);
}

TEST_F(Part3_3_OptionSetters, OnlyMainPortCanSendWith7Sends1InTheFourthPosition) {
  ASSERT_EQ(SetDword(kRoot, L"SendDataOnlyMainPort", 0, kView32), ERROR_SUCCESS);
  EXPECT_EQ(OptionSetOnlyMainPortCanSend(7), 1);
  EXPECT_EQ(server_.Commands(), (Commands{"UPDATE_SETTINGS 0,0,0,1,0!"}));
}

TEST_F(Part3_3_OptionSetters, AnyNonZeroArgumentIsSentAs1) {
  const int arguments[] = {1, 2, 7, -1, 256, INT32_MIN, INT32_MAX};
  Commands expected;
  for (int argument : arguments) {
    EXPECT_EQ(OptionSetPortToPrint(argument), 1) << argument;
    expected.push_back("UPDATE_SETTINGS 0,0,1,0,0!");
  }
  EXPECT_EQ(server_.Commands(), expected);
}

TEST_F(Part3_3_OptionSetters, BaudrateEmulationWithoutDriverKeySendsTheRootOptionsAsRead) {
  // The ConfigTree fixture removed the driver's service key.
  ASSERT_EQ(SetDword(kRoot, L"AutoOpen", 1, kView32), ERROR_SUCCESS);
  ASSERT_EQ(SetDword(kRoot, L"IgnoreError", 0, kView32), ERROR_SUCCESS);
  ASSERT_EQ(SetDword(kRoot, L"Prints", 9, kView32), ERROR_SUCCESS);
  ASSERT_EQ(SetDword(kRoot, L"SendDataOnlyMainPort", 0xFFFFFFFFu, kView32), ERROR_SUCCESS);
  unsigned int value = 77;
  ASSERT_EQ(OptionGetBaudrateEmulation(&value), 0);
  ASSERT_EQ(QKGetLastError(), 2u);
  EXPECT_EQ(OptionSetBaudrateEmulation(3), 1);
  EXPECT_EQ(OptionSetBaudrateEmulation(0), 1);
  EXPECT_EQ(OptionSetBaudrateEmulation(-5), 1);
  EXPECT_EQ(server_.Commands(),
            (Commands{"UPDATE_SETTINGS 1,0,1,1,1!", "UPDATE_SETTINGS 1,0,1,1,0!", "UPDATE_SETTINGS 1,0,1,1,1!"}));
  EXPECT_EQ(QKGetLastError(), 2u);  // the unreadable driver option stored nothing
}

TEST_F(Part3_3_OptionSetters, EmptyConfigurationSends0ForTheFourOthers) {
  // No root key in either view, no driver key.
  for (size_t i = 0; i < 5; ++i) {
    ClearCommands();
    int flags[5] = {0, 0, 0, 0, 0};
    flags[i] = 1;
    EXPECT_EQ(kSetters[i].setter(1), 1) << kSetters[i].name;
    EXPECT_EQ(kSetters[i].setter(0), 1) << kSetters[i].name;
    EXPECT_EQ(server_.Commands(), (Commands{Message(flags), "UPDATE_SETTINGS 0,0,0,0,0!"})) << kSetters[i].name;
  }
  EXPECT_EQ(QKGetLastError(), 0u);  // read failures are not reported
}

TEST_F(Part3_3_OptionSetters, EachSetterPutsItsValueInItsOwnPosition) {
  // All stored on: each setter turns off only its own position.
  StoreAll({1, 1, 1, 1, 1});
  for (size_t i = 0; i < 5; ++i) {
    ClearCommands();
    int flags[5] = {1, 1, 1, 1, 1};
    flags[i] = 0;
    EXPECT_EQ(kSetters[i].setter(0), 1) << kSetters[i].name;
    EXPECT_EQ(server_.Commands(), Commands{Message(flags)}) << kSetters[i].name;
  }
  // All stored off: each setter turns on only its own position.
  StoreAll({0, 0, 0, 0, 0});
  for (size_t i = 0; i < 5; ++i) {
    ClearCommands();
    int flags[5] = {0, 0, 0, 0, 0};
    flags[i] = 1;
    EXPECT_EQ(kSetters[i].setter(1), 1) << kSetters[i].name;
    EXPECT_EQ(server_.Commands(), Commands{Message(flags)}) << kSetters[i].name;
  }
}

TEST_F(Part3_3_OptionSetters, StoredValuesAreReducedTo0Or1) {
  StoreAll({5, 0, 0x80000000u, 2, 0xFFFFFFFFu});
  EXPECT_EQ(OptionSetIgnoreErrors(0), 1);
  EXPECT_EQ(server_.Commands(), (Commands{"UPDATE_SETTINGS 1,0,1,1,1!"}));
}

TEST_F(Part3_3_OptionSetters, EveryCallReadsTheRegistryAnew) {
  StoreAll({0, 0, 0, 0, 0});
  EXPECT_EQ(OptionSetAutoOpenPort(0), 1);
  ASSERT_EQ(SetDword(kRoot, L"Prints", 1, kView32), ERROR_SUCCESS);
  ASSERT_EQ(SetDword(kDriverKey, L"StrictBaudrate", 1), ERROR_SUCCESS);
  EXPECT_EQ(OptionSetAutoOpenPort(0), 1);
  EXPECT_EQ(server_.Commands(), (Commands{"UPDATE_SETTINGS 0,0,0,0,0!", "UPDATE_SETTINGS 0,0,1,0,1!"}));
}

TEST_F(Part3_3_OptionSetters, UnreadableOptionsCountAs0) {
  // Root options of other types or sizes, and the driver's as a string.
  const uint64_t eight = 1;
  ASSERT_EQ(SetString(kRoot, L"AutoOpen", L"1", REG_SZ, kView32), ERROR_SUCCESS);
  ASSERT_EQ(SetRaw(kRoot, L"IgnoreError", REG_QWORD, &eight, 8, kView32), ERROR_SUCCESS);
  ASSERT_EQ(SetRaw(kRoot, L"Prints", REG_BINARY, &eight, 4, kView32), ERROR_SUCCESS);
  ASSERT_EQ(SetDword(kRoot, L"SendDataOnlyMainPort", 1, kView32), ERROR_SUCCESS);
  ASSERT_EQ(SetString(kDriverKey, L"StrictBaudrate", L"1"), ERROR_SUCCESS);
  PresetLastError13();
  ASSERT_EQ(OptionSetIgnoreErrors(0), 1);
  EXPECT_EQ(server_.Commands(), (Commands{"UPDATE_SETTINGS 0,0,0,1,0!"}));
  EXPECT_EQ(QKGetLastError(), 13u);  // neither 13 nor 234 from the reads is stored
}

TEST_F(Part3_3_OptionSetters, RootOptionsAreReadFromThe32BitViewOnly) {
  for (const wchar_t* name : kRootOptionNames) ASSERT_EQ(SetDword(kRoot, name, 1, kView64), ERROR_SUCCESS);
  ASSERT_EQ(SetDword(kDriverKey, L"StrictBaudrate", 1), ERROR_SUCCESS);
  ASSERT_EQ(SetDword(kRoot, L"StrictBaudrate", 0, kView32), ERROR_SUCCESS);  // not the driver's option
  EXPECT_EQ(OptionSetPortToPrint(0), 1);
  EXPECT_EQ(server_.Commands(), (Commands{"UPDATE_SETTINGS 0,0,0,0,1!"}));
}

TEST_F(Part3_3_OptionSetters, SuccessLeavesTheLastErrorCodeAlone) {
  PresetLastError13();
  for (const OptionSetter& s : kSetters) EXPECT_EQ(s.setter(1), 1) << s.name;
  EXPECT_EQ(QKGetLastError(), 13u);
  EXPECT_EQ(server_.CommandCount(), 5u);
}

TEST_F(Part3_3_OptionSetters, ReplyOtherThanOkGives0AndKeepsTheCode) {
  StoreAll({1, 0, 1, 0, 1});
  PresetLastError13();
  for (const OptionSetter& s : kSetters) {
    server_.QueueReply("ERROR!");
    EXPECT_EQ(s.setter(1), 0) << s.name;
    EXPECT_EQ(QKGetLastError(), 13u) << s.name;
  }
  EXPECT_EQ(server_.Commands(), (Commands{"UPDATE_SETTINGS 1,0,1,0,1!", "UPDATE_SETTINGS 1,1,1,0,1!",
                                          "UPDATE_SETTINGS 1,0,1,0,1!", "UPDATE_SETTINGS 1,0,1,1,1!",
                                          "UPDATE_SETTINGS 1,0,1,0,1!"}));
  // Part 2.2: any reply starting with OK in either case succeeds.
  server_.QueueReply("ok!");
  EXPECT_EQ(OptionSetAutoOpenPort(0), 1);
  server_.QueueReply("O!");
  EXPECT_EQ(OptionSetAutoOpenPort(0), 0);
  EXPECT_EQ(QKGetLastError(), 13u);
}

TEST_F(Part3_3_OptionSetters, ClosedPipeGives0AndKeepsTheCode) {
  PresetLastError13();
  server_.QueueReply(TestPipeServer::Close());
  EXPECT_EQ(OptionSetAutoOpenPort(1), 0);  // the read fails
  ASSERT_TRUE(server_.WaitForOpenClients(0));
  EXPECT_EQ(OptionSetAutoOpenPort(1), 0);  // the write fails
  EXPECT_EQ(OptionSetAutoOpenPort(1), 0);  // the pipe is closed
  EXPECT_EQ(QKGetLastError(), 13u);
  EXPECT_EQ(server_.Commands(), (Commands{"UPDATE_SETTINGS 1,0,0,0,0!"}));
}

TEST_F(Part3_3_OptionSetters, WaitsAbout500MsForABusyLink) {
  StoreAll({0, 1, 0, 1, 0});
  PresetLastError13();
  // Held long enough for all five waits (5 x 500 ms) with room for Wine.
  LinkHolder holder(server_, [] { return OptionSetAutoOpenPort(1); }, 4500);
  ASSERT_TRUE(holder.holding());
  for (const OptionSetter& s : kSetters) {
    int result = -1;
    const double ms = MeasureMs([&] { result = s.setter(1); });
    EXPECT_EQ(result, 0) << s.name;
    EXPECT_GE(ms, 450.0) << s.name;
    EXPECT_LT(ms, 3000.0) << s.name;
  }
  EXPECT_EQ(holder.Join(), 1);
  EXPECT_EQ(QKGetLastError(), 13u);
  // Only the holder's command went out.
  EXPECT_EQ(server_.Commands(), (Commands{"UPDATE_SETTINGS 1,1,0,1,0!"}));
}

TEST(Part3_3_OptionSettersNotConnected, EachReturns0AndKeepsTheCode) {
  ConfigTree tree;
  StoreAll({1, 1, 1, 1, 1});
  TestPipeServer server;  // listening, but nobody connected
  for (unsigned int before : {0u, 13u}) {
    if (before == 13u) PresetLastError13();
    for (const OptionSetter& s : kSetters) {
      EXPECT_EQ(s.setter(1), 0) << s.name;
      EXPECT_EQ(s.setter(0), 0) << s.name;
      EXPECT_EQ(QKGetLastError(), before) << s.name;
    }
  }
  // After a disconnect, too.
  EXPECT_EQ(DisconnectFromService(), 1);
  EXPECT_EQ(OptionSetIgnoreErrors(1), 0);
  EXPECT_EQ(QKGetLastError(), 13u);
  EXPECT_EQ(server.CommandCount(), 0u);
  EXPECT_EQ(server.TotalClients(), 0u);
}

TEST(Part3_3_OptionSettersNotConnected, NoServiceAtAll) {
  ConfigTree tree;
  EXPECT_EQ(ConnectToLocalService(), 0);
  PresetLastError13();
  for (const OptionSetter& s : kSetters) EXPECT_EQ(s.setter(1), 0) << s.name;
  EXPECT_EQ(QKGetLastError(), 13u);
}

TEST(Part3_3_OptionSetterExports, ExportedUnderPlainNames) {
  HMODULE dll = GetModuleHandleW(L"lumbrex.dll");
  ASSERT_NE(dll, nullptr);
  for (const char* name : {"OptionSetAutoOpenPort", "OptionSetIgnoreErrors", "OptionSetPortToPrint",
                           "OptionSetOnlyMainPortCanSend", "OptionSetBaudrateEmulation"}) {
    EXPECT_NE(GetProcAddress(dll, name), nullptr) << name;
  }
}
