// The exact bytes each changing export writes to the service's pipe, and what
// every changing export does when the link fails (the reply rule itself is
// the reply reader's, fuzzed natively against its model).
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "lumbrex.h"
#include "support/export_table.h"
#include "support/service_connection.h"
#include "support/small_config.h"
#include "support/test_pipe_server.h"

using namespace export_table;
using namespace testsupport;

namespace {

const VARIANT b1 = Arg(L"B1"), com1 = Arg(L"COM1"), com2 = Arg(L"COM2"), com3 = Arg(L"COM3"), com7 = Arg(L"COM7");
// The calls of a row, each of whose results must be 1.
#define CALLS(...) [] { return std::vector<int>{__VA_ARGS__}; }

// Calls over SmallConfig (support/small_config.h) and the commands they send.
const struct {
  std::function<std::vector<int>()> calls;
  std::vector<std::string> sent;
  std::vector<RegItem> extra = {};  // written after SmallConfig
} kWire[] = {
    {CALLS(AddBundle(b1)), {"ADD_BUNDLE 4,B1!"}},
    {CALLS(AddBundle(I4(7))), {"ADD_BUNDLE 4,7!"}},
    {CALLS(AddBundle(Arg(L""))), {"ADD_BUNDLE 4,!"}},
    {CALLS(DeleteBundle(b1)), {"DEL_BUNDLE B1!"}},
    {CALLS(GetBundleState(Arg(L"B 1,x"))), {"GET_BUNDLE_STATE B 1,x!"}},
    {CALLS(BundleAddPort(b1, 0, Arg(L"COM5"), I4(8)), BundleAddPort(b1, 1, Arg(L"COM_5"), I8(4))),
     {"ADD_PORT B1,In,COM5,Switcher!", "ADD_PORT B1,Out,COM_5,Shared!"}},
    {CALLS(BundleAddPort(b1, 0, Arg(L"@1"), OfType(VT_UI2, 2)), BundleAddPort(b1, 1, com7, OfType(VT_UINT, 1))),
     {"ADD_PORT B1,In,@1,Virtual!", "ADD_PORT B1,Out,COM7,Real!"}},
    {CALLS(BundleDeletePort(b1, 1, Arg(L"COM-5"))), {"DEL_PORT B1,Out,COM-5!"}},
    {CALLS(BundleGetPortState(b1, 0, Arg(L"COM 7"))), {"GET_PORT_STATE B1,In,COM 7!"}},
    {CALLS(BundleSetMainPortForSide(b1, 1, com7)), {"SET_MAIN B1,Out,COM7!"}},
    {CALLS(OptionSetAutoOpenPort(0)), {"UPDATE_SETTINGS 0,0,1,1,1!"}},
    {CALLS(OptionSetIgnoreErrors(7)), {"UPDATE_SETTINGS 1,1,1,1,1!"}},
    {CALLS(OptionSetPortToPrint(0)), {"UPDATE_SETTINGS 1,0,0,1,1!"}},
    {CALLS(OptionSetOnlyMainPortCanSend(0)), {"UPDATE_SETTINGS 1,0,1,0,1!"}},
    {CALLS(OptionSetBaudrateEmulation(0)), {"UPDATE_SETTINGS 1,0,1,1,0!"}},
    // The root options as read in the 32-bit view, non-zero as 1, missing as 0.
    {CALLS(OptionSetIgnoreErrors(0)), {"UPDATE_SETTINGS 1,0,1,1,1!"},
     {Dw(kRootKey, kAutoOpen, 5, kView32), Dw(kRootKey, kPrints, 0)}},
    {CALLS(OptionSetPortToPrint(1)), {"UPDATE_SETTINGS 0,0,1,0,1!"}, {{kRootKey, L"", kRemoved, "", kView32}}},
    {CALLS(OptionSetAutoOpenPort(1)), {"UPDATE_SETTINGS 1,0,1,1,0!"}, {Removed(kDriverKey)}},
    {CALLS(BundleSetRealPortParameters(b1, 0, com1, 19200, 2, 7, 1, 1)),
     {"SET_RPORT_PARAMS B1,In,COM1,19200-E-7-1-X|1|0!"}},
    {CALLS(BundleSetRealPortParameters(b1, 1, com3, -1, 4, 5, 2, 2)), {"SET_RPORT_PARAMS B1,Out,COM3,-1-S-5-2-P|1|1!"}},
    {CALLS(BundleSetRealPortParameters(b1, 0, Arg(L"COM9"), 0, 0, 8, 0, 0)),
     {"SET_RPORT_PARAMS B1,In,COM9,0-N-8-0|0|0!"}},
    {CALLS(BundleSetDynamicParametersForRealPort(b1, 0, com2)), {"SET_RPORT_PARAMS B1,In,COM2,|0|1!"}},
    {CALLS(BundlePortSetPermissions(b1, 0, com2, I4(2))), {"SET_RPORT_PARAMS B1,In,COM2,19200-e-7-1-x|1|0!"}},
    {CALLS(BundlePortSetPermissions(b1, 7, com3, I4(-1))), {"SET_RPORT_PARAMS B1,Out,COM3,|1|1!"}},
    {CALLS(BundlePortSetPermissions(b1, 0, com1, I4(5))), {"SET_RPORT_PARAMS B1,In,COM1,9600-n-8-0|0|1!"}},
    {CALLS(SharedPortSetPermissionsForApp(b1, 0, com7, Arg(L"a,b!"), I4(3))),
     {"SET_SHARE_PERMISSION B1,In,COM7,a@2b@1,3!"}},
    {CALLS(SharedPortSetPermissionsForApp(b1, 0, com7, Arg(L"@!,"), OfType(VT_UI4, -1))),
     {"SET_SHARE_PERMISSION B1,In,COM7,@3@1@2,-1!"}},
    {CALLS(SharedSetDefaultPermissions(b1, 1, com7, Arg(L""))), {"SET_SHARE_PERMISSION B1,Out,COM7,,3!"}},
    {CALLS(SharedDelAllPermissions(b1, 0, com2)),
     {"SET_SHARE_PERMISSION B1,In,COM2,app.exe,3!", "SET_SHARE_PERMISSION B1,In,COM2,other.exe,3!"}},
    {CALLS(SharedDelAllPermissions(b1, 1, Arg(L"COM-1"))), {"SET_SHARE_PERMISSION B1,Out,COM-1,a@2b,3!"},
     {Dw(PermissionsKey(L"COM-1"), L"a,b", 0)}},
    // Code page 1252: one byte a character; what it cannot hold goes out as
    // Windows' best-fit look-alike, "?" where there is none.
    {CALLS(AddBundle(Arg(L"caf\u00e9"))), {"ADD_BUNDLE 4,caf\xE9!"}},
    {CALLS(AddBundle(Arg(L"\u0142\u0100\u4e2d"))), {"ADD_BUNDLE 4,lA?!"}},
    {CALLS(SharedSetDefaultPermissions(Arg(L"B\u00fc"), 0, com7, Arg(L"\u20ac\u4e2d"))),
     {"SET_SHARE_PERMISSION B\xFC,In,COM7,\x80?,3!"}},
    {CALLS(BundleDeletePort(b1, 0, Arg(std::wstring(L"CO\0M1", 5)))), {"DEL_PORT B1,In,CO!"}},
};

TEST(Commands, EveryChangingExportSendsExactBytes) {
  // Messages are in the calling thread's ANSI code page: make it 1252.
  SetThreadLocale(MAKELCID(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), SORT_DEFAULT));
  TestPipeServer server;
  const ServiceConnection connection;
  ASSERT_TRUE(connection.connected());
  size_t total = 0;
  for (const auto& w : kWire) {
    SCOPED_TRACE(w.sent[0]);
    SmallConfig config(w.extra);
    ASSERT_TRUE(config.ok());
    const size_t before = server.CommandCount();
    for (int result : w.calls()) EXPECT_EQ(result, 1);
    const std::vector<std::string> all = server.Commands();
    EXPECT_EQ(std::vector<std::string>(all.begin() + before, all.end()), w.sent);
    for (const std::string& command : w.sent) total += command.size();
  }
  EXPECT_EQ(server.BytesReceived(), total);  // nothing follows a "!"
}

// Every changing export with good arguments while the link fails: 0 (1 from
// SharedDelAllPermissions, which reports only refused arguments), the
// last-error code as it was.
enum class LinkFault { kNotConnected, kErrorReply, kPipeClosed };

void EveryChangingExportFails(LinkFault fault) {
  SmallConfig config;
  ASSERT_TRUE(config.ok());
  TestPipeServer server;
  server.SetRule([fault](const std::string&) {
    return fault == LinkFault::kPipeClosed ? TestPipeServer::Close() : TestPipeServer::Send("ERROR!");
  });
  for (const ExportInfo& e : AllExports()) {
    if (!e.command) continue;
    SCOPED_TRACE(e.name);
    const bool connect = fault != LinkFault::kNotConnected;
    ASSERT_TRUE(!connect || WaitNamedPipeW(kPipePath, 5000));
    const std::unique_ptr<ServiceConnection> connection(connect ? new ServiceConnection : nullptr);
    ASSERT_TRUE(!connect || connection->connected());
    GoodCall good(e);
    StoreMissingBundleError();
    const size_t before = server.CommandCount();
    EXPECT_EQ(CallExport(e, good.Args()), std::string(e.name) == "SharedDelAllPermissions");
    EXPECT_EQ(QKGetLastError(), 2u);
    EXPECT_EQ(server.CommandCount() > before, connect);
  }
}

TEST(Commands, EveryChangingExportFailsWhenTheLinkFails) {
  for (LinkFault fault : {LinkFault::kNotConnected, LinkFault::kErrorReply, LinkFault::kPipeClosed}) {
    SCOPED_TRACE(static_cast<int>(fault));
    EveryChangingExportFails(fault);
  }
}

}  // namespace
