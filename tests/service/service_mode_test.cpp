// Part 2.4: lumbrex-service.exe as a Windows service under the Service
// Control Manager (install, start, a command through the pipe, stop,
// uninstall). The foreground's Ctrl+C stop is tested by ctrl_c_stop.sh.
#include <gtest/gtest.h>

#include <string>

#include "service/service_fixture.h"

using namespace servicetest;

namespace {

std::wstring TempFile(const wchar_t* name) {
  wchar_t folder[MAX_PATH];
  GetTempPathW(MAX_PATH, folder);
  return std::wstring(folder) + name;
}

std::string ReadFileText(const std::wstring& path) {
  std::string text;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return text;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) text.append(buffer, got);
  CloseHandle(file);
  return text;
}

bool ServiceInstalled() {
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (!manager) return false;
  SC_HANDLE service = OpenServiceW(manager, L"LumbrexService", SERVICE_QUERY_STATUS);
  const bool installed = service != nullptr;
  if (service) CloseServiceHandle(service);
  CloseServiceHandle(manager);
  return installed;
}

// Removes the service whatever a test left behind.
struct UninstallAtEnd {
  UninstallAtEnd() { testsupport::RunServiceTool({L"--uninstall"}); }
  ~UninstallAtEnd() { testsupport::RunServiceTool({L"--uninstall"}); }
};

TEST(Part2_4_ServiceMode, InstallStartCommandStopUninstallThroughTheServiceControlManager) {
  testsupport::ScopedTree root64(kRoot);
  UninstallAtEnd cleanup;
  const std::wstring log = TempFile(L"lumbrex-service-mode-test.log");
  DeleteFileW(log.c_str());

  std::string output;
  ASSERT_EQ(testsupport::RunServiceTool({L"--install", L"--log", log}, 60000, &output), 0u) << output;
  EXPECT_TRUE(ServiceInstalled());
  // A second install is refused by the SCM (the service exists).
  EXPECT_EQ(testsupport::RunServiceTool({L"--install"}, 60000, &output), 1u) << output;

  ASSERT_EQ(testsupport::RunServiceTool({L"--start"}, 60000, &output), 0u) << output;
  ASSERT_TRUE(testsupport::ServiceProcess::WaitForPipe(15000));
  {
    PipeClient client;
    ASSERT_TRUE(client.Connect());
    EXPECT_EQ(client.Transact("ADD_BUNDLE 4,ServiceMode!"), "OK!");
    EXPECT_EQ(client.Transact("GET_BUNDLE_STATE ServiceMode!"), "OK!");
    EXPECT_EQ(client.Transact("GET_BUNDLE_STATE Nothing!"), "ERROR!");
  }
  EXPECT_TRUE(KeyExists(SideKey(L"ServiceMode", L"IN")));

  // A client still connected does not hold the stop up; its pipe is closed.
  PipeClient idle;
  ASSERT_TRUE(idle.Connect());
  ASSERT_EQ(idle.Transact("GET_BUNDLE_STATE ServiceMode!"), "OK!");
  ASSERT_EQ(testsupport::RunServiceTool({L"--stop"}, 60000, &output), 0u) << output;
  EXPECT_TRUE(idle.ServerClosed(5000));
  // Stopped: the pipe is gone.
  EXPECT_FALSE(testsupport::ServiceProcess::WaitForPipe(300));
  ASSERT_EQ(testsupport::RunServiceTool({L"--uninstall"}, 60000, &output), 0u) << output;
  EXPECT_FALSE(ServiceInstalled());
  EXPECT_EQ(testsupport::RunServiceTool({L"--start"}, 60000, &output), 1u) << output;

  const std::string text = ReadFileText(log);
  EXPECT_NE(text.find("serving \\\\.\\pipe\\TessaryControl2 as the service, local clients only"), std::string::npos)
      << text;
  EXPECT_NE(text.find(": ADD_BUNDLE 4,ServiceMode -> OK"), std::string::npos) << text;
  EXPECT_NE(text.find(": GET_BUNDLE_STATE Nothing -> ERROR (no such bundle)"), std::string::npos) << text;
  EXPECT_NE(text.find("lumbrex-service: stopped"), std::string::npos) << text;
  DeleteFileW(log.c_str());
}

TEST(Part2_4_ServiceMode, RunWithoutModeOutsideTheServiceControlManagerPrintsUsage) {
  std::string output;
  EXPECT_EQ(testsupport::RunServiceTool({}, 60000, &output), 2u) << output;
  EXPECT_NE(output.find("usage:"), std::string::npos) << output;
  EXPECT_EQ(testsupport::RunServiceTool({L"--service"}, 60000, &output), 1u) << output;
}

// --allow-remote creates the instances with PIPE_ACCEPT_REMOTE_CLIENTS; local
// clients are served as before. (Wine has no remote pipes to try it with.)
class Part2_4_ServiceRemote : public ServiceTest {
 protected:
  void SetUp() override {
    log_ = TempFile(L"lumbrex-service-remote-test.log");
    DeleteFileW(log_.c_str());
    options_.extraArguments = {L"--allow-remote"};
    options_.logPath = log_;
    ServiceTest::SetUp();
  }
  void TearDown() override {
    service_.reset();
    DeleteFileW(log_.c_str());
  }
  std::wstring log_;
};

TEST_F(Part2_4_ServiceRemote, AllowRemoteStillServesLocalClients) {
  EXPECT_EQ(Command("ADD_BUNDLE 4,B1!"), "OK!");
  EXPECT_EQ(CommandOnNewConnection("GET_BUNDLE_STATE B1!"), "OK!");
  EXPECT_NE(ReadFileText(log_).find("remote clients admitted"), std::string::npos) << ReadFileText(log_);
}

}  // namespace
