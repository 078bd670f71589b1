// lumbrex::Observe (src/callers), which lumbrexctl and the automation object read every export call with,
// against a fake service under Wine: a pipe that breaks under a command is told from the service's no, and a
// refusal right after a refusal is still seen as stored.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "callers/call_outcome.h"
#include "support/test_pipe_server.h"
#include "support/variants.h"

namespace {

using namespace testsupport;
using Reply = TestPipeServer::Reply;

TEST(CallOutcome, TellsABrokenPipeFromTheServicesNoAndARefusalFromTheHeldOne) {
  TestPipeServer server;
  Var bundle(Bstr(L"B")), port(Bstr(L"COM1"));
  const std::function<int()> add = [&] { return AddBundle(bundle.copy()); };
  const std::function<int()> badSide = [&] { return BundleAddPort(bundle.copy(), 2, port.copy(), I4(1)); };
  const struct {
    const char* service;
    std::vector<Reply> replies;
    std::function<int()> call;
    int times;  // on one connection; the last call's outcome is checked
    int result;
    bool lost, stored;
  } rows[] = {
      {"answers OK", {TestPipeServer::Send("OK!")}, add, 1, 1, false, false},
      {"says no", {TestPipeServer::Send("ERROR!")}, add, 1, 0, false, false},
      {"closes in the middle of its reply", {Reply{"O", true}}, add, 1, 0, true, false},
      // The read failed under the first; the next command's write finds the pipe closed.
      {"closed under the command before", {TestPipeServer::Close()}, add, 2, 0, true, false},
      // 13 over a held 13: nothing sent, and still seen as stored.
      {"is never asked", {}, badSide, 2, 0, false, true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.service);
    for (const Reply& reply : row.replies) server.QueueReply(reply);
    const size_t before = server.CommandCount();
    ASSERT_EQ(ConnectToLocalService(), 1);
    lumbrex::CallOutcome outcome;
    for (int i = 0; i < row.times; ++i) outcome = lumbrex::Observe(row.call);
    EXPECT_EQ(outcome.result, row.result);
    EXPECT_EQ(outcome.ConnectionLost(), row.lost) << "system error " << outcome.systemError;
    EXPECT_EQ(outcome.StoredCode(), row.stored) << outcome.codeBefore << " -> " << outcome.code;
    EXPECT_TRUE(!row.stored || outcome.code == ERROR_INVALID_DATA) << outcome.code;
    EXPECT_EQ(server.CommandCount() - before, row.replies.size());
    DisconnectFromService();
  }
}

}  // namespace
