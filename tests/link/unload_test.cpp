// Parts 1.1 and 2.1: the connection object is destroyed at unload, releasing
// one connection reference (closing the pipe at count 1).
#include <gtest/gtest.h>

#include "support/test_pipe_server.h"

using testsupport::TestPipeServer;

TEST(Part2_1_Lifecycle, UnloadReleasesOneReference) {
  TestPipeServer server;
  HMODULE dll = LoadLibraryW(L"lumbrex.dll");
  ASSERT_NE(dll, nullptr);
  using Connect = int(WINAPI*)();
  auto connect = reinterpret_cast<Connect>(reinterpret_cast<void*>(GetProcAddress(dll, "ConnectToLocalService")));
  ASSERT_NE(connect, nullptr);
  ASSERT_EQ(connect(), 1);
  ASSERT_TRUE(server.WaitForOpenClients(1));
  ASSERT_TRUE(FreeLibrary(dll));
  EXPECT_TRUE(server.WaitForOpenClients(0));
  EXPECT_EQ(server.TotalClients(), 1u);  // closed, not reopened
}

TEST(Part2_1_Lifecycle, LoadAndUnloadWithoutConnection) {
  for (int i = 0; i < 3; ++i) {
    HMODULE dll = LoadLibraryW(L"lumbrex.dll");
    ASSERT_NE(dll, nullptr);
    EXPECT_TRUE(FreeLibrary(dll));
  }
}
