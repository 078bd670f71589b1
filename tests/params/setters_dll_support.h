// Shared fixture of the Part 4.2 and 4.3 setter tests: the params fixture's
// bundle plus the bundle "B" of the Parts' examples, a test pipe server
// answering OK! and a connected library.
#pragma once
#include <string>
#include <vector>

#include "params/dll_test_support.h"
#include "support/test_pipe_server.h"

namespace paramstest {

using Commands = std::vector<std::string>;

class SetterDllTest : public ParamsDllTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.listening());
    ASSERT_EQ(ConnectToLocalService(), 1);
  }
  void TearDown() override { DisconnectFromService(); }

  // The bundle named as in the Parts' examples, removed before and after.
  static constexpr const wchar_t* kExampleBundle = L"B";
  static void ExampleEntry(const std::wstring& port, const std::wstring& text, const wchar_t* side = L"IN") {
    ASSERT_EQ(testsupport::SetString(kRoot + L"\\" + kExampleBundle + L"\\" + side, port, text), ERROR_SUCCESS);
  }
  // SET_RPORT_PARAMS for the fixture's bundle on side In.
  static std::string Sent(const std::string& port, const std::string& field, const std::string& side = "In") {
    return "SET_RPORT_PARAMS ParamsDllBundle," + side + "," + port + "," + field + "!";
  }
  // Every byte the server received belongs to the recorded commands: nothing
  // followed a "!".
  bool NothingBeyondCommands() const {
    size_t total = 0;
    for (const std::string& c : server_.Commands()) total += c.size();
    return total == server_.BytesReceived();
  }

  testsupport::ScopedTree exampleTree_{kRoot + L"\\B"};
  testsupport::TestPipeServer server_;
};

}  // namespace paramstest
