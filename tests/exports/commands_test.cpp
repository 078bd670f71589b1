// The exact bytes each changing export writes to the service's pipe, the reply
// rule, and what every changing export does when the link fails.
#include <gtest/gtest.h>

#include <functional>
#include <list>

#include "lumbrex.h"
#include "support/export_table.h"
#include "support/small_config.h"
#include "support/test_pipe_server.h"

using namespace reliability;
using namespace testsupport;

namespace {

// A string argument that lives as long as the test program.
VARIANT S(const std::wstring& text) {
  static std::list<Var> kept;
  kept.emplace_back(Bstr(text));
  return kept.back().copy();
}
const VARIANT b1 = S(L"B1"), com1 = S(L"COM1"), com2 = S(L"COM2"), com3 = S(L"COM3"), com7 = S(L"COM7");
#define CALL(expression) [] { return expression; }

// Calls over SmallConfig (support/small_config.h) and the commands they send.
const struct {
  std::function<int()> call;
  std::vector<std::string> sent;
  std::vector<RegItem> extra = {};  // written after SmallConfig
} kWire[] = {
    {CALL(AddBundle(b1)), {"ADD_BUNDLE 4,B1!"}},
    {CALL(AddBundle(I4(7))), {"ADD_BUNDLE 4,7!"}},
    {CALL(AddBundle(S(L""))), {"ADD_BUNDLE 4,!"}},
    {CALL(DeleteBundle(b1)), {"DEL_BUNDLE B1!"}},
    {CALL(GetBundleState(S(L"B 1,x"))), {"GET_BUNDLE_STATE B 1,x!"}},
    {CALL(BundleAddPort(b1, 0, S(L"COM5"), I4(8)) + BundleAddPort(b1, 1, S(L"COM_5"), I8(4)) - 1),
     {"ADD_PORT B1,In,COM5,Switcher!", "ADD_PORT B1,Out,COM_5,Shared!"}},
    {CALL(BundleAddPort(b1, 0, S(L"@1"), OfType(VT_UI2, 2)) + BundleAddPort(b1, 1, com7, OfType(VT_UINT, 1)) - 1),
     {"ADD_PORT B1,In,@1,Virtual!", "ADD_PORT B1,Out,COM7,Real!"}},
    {CALL(BundleDeletePort(b1, 1, S(L"COM-5"))), {"DEL_PORT B1,Out,COM-5!"}},
    {CALL(BundleGetPortState(b1, 0, S(L"COM 7"))), {"GET_PORT_STATE B1,In,COM 7!"}},
    {CALL(BundleSetMainPortForSide(b1, 1, com7)), {"SET_MAIN B1,Out,COM7!"}},
    {CALL(OptionSetAutoOpenPort(0)), {"UPDATE_SETTINGS 0,0,1,1,1!"}},
    {CALL(OptionSetIgnoreErrors(7)), {"UPDATE_SETTINGS 1,1,1,1,1!"}},
    {CALL(OptionSetPortToPrint(0)), {"UPDATE_SETTINGS 1,0,0,1,1!"}},
    {CALL(OptionSetOnlyMainPortCanSend(0)), {"UPDATE_SETTINGS 1,0,1,0,1!"}},
    {CALL(OptionSetBaudrateEmulation(0)), {"UPDATE_SETTINGS 1,0,1,1,0!"}},
    // The root options as read in the 32-bit view, non-zero as 1, missing as 0.
    {CALL(OptionSetIgnoreErrors(0)), {"UPDATE_SETTINGS 1,0,1,1,1!"},
     {Dw(kRootKey, L"AutoOpen", 5, kView32), Dw(kRootKey, L"Prints", 0)}},
    {CALL(OptionSetPortToPrint(1)), {"UPDATE_SETTINGS 0,0,1,0,1!"}, {{kRootKey, L"", kRemoved, "", kView32}}},
    {CALL(OptionSetAutoOpenPort(1)), {"UPDATE_SETTINGS 1,0,1,1,0!"}, {Removed(kDriverKey)}},
    {CALL(BundleSetRealPortParameters(b1, 0, com1, 19200, 2, 7, 1, 1)),
     {"SET_RPORT_PARAMS B1,In,COM1,19200-E-7-1-X|1|0!"}},
    {CALL(BundleSetRealPortParameters(b1, 1, com3, -1, 4, 5, 2, 2)), {"SET_RPORT_PARAMS B1,Out,COM3,-1-S-5-2-P|1|1!"}},
    {CALL(BundleSetRealPortParameters(b1, 0, S(L"COM9"), 0, 0, 8, 0, 0)), {"SET_RPORT_PARAMS B1,In,COM9,0-N-8-0|0|0!"}},
    {CALL(BundleSetDynamicParametersForRealPort(b1, 0, com2)), {"SET_RPORT_PARAMS B1,In,COM2,|0|1!"}},
    {CALL(BundlePortSetPermissions(b1, 0, com2, I4(2))), {"SET_RPORT_PARAMS B1,In,COM2,19200-e-7-1-x|1|0!"}},
    {CALL(BundlePortSetPermissions(b1, 7, com3, I4(-1))), {"SET_RPORT_PARAMS B1,Out,COM3,|1|1!"}},
    {CALL(BundlePortSetPermissions(b1, 0, com1, I4(5))), {"SET_RPORT_PARAMS B1,In,COM1,9600-n-8-0|0|1!"}},
    {CALL(SharedPortSetPermissionsForApp(b1, 0, com7, S(L"a,b!"), I4(3))),
     {"SET_SHARE_PERMISSION B1,In,COM7,a@2b@1,3!"}},
    {CALL(SharedPortSetPermissionsForApp(b1, 1, com7, S(L"x@y"), I8(9))), {"SET_SHARE_PERMISSION B1,Out,COM7,x@3y,9!"}},
    {CALL(SharedPortSetPermissionsForApp(b1, 0, com7, S(L"@!,"), OfType(VT_UI4, -1))),
     {"SET_SHARE_PERMISSION B1,In,COM7,@3@1@2,-1!"}},
    {CALL(SharedSetDefaultPermissions(b1, 1, com7, S(L""))), {"SET_SHARE_PERMISSION B1,Out,COM7,,3!"}},
    {CALL(SharedDelAllPermissions(b1, 0, com2)),
     {"SET_SHARE_PERMISSION B1,In,COM2,app.exe,3!", "SET_SHARE_PERMISSION B1,In,COM2,other.exe,3!"}},
    {CALL(SharedDelAllPermissions(b1, 1, S(L"COM-1"))), {"SET_SHARE_PERMISSION B1,Out,COM-1,a@2b,3!"},
     {Dw(kSharedPortsKey + L"\\COM-1\\Permissions", L"a,b", 0)}},
    // Code page 1252: one byte a character; what it cannot hold goes out as
    // Windows' best-fit look-alike, "?" where there is none.
    {CALL(AddBundle(S(L"caf\u00e9"))), {"ADD_BUNDLE 4,caf\xE9!"}},
    {CALL(AddBundle(S(L"\u0142\u0100\u4e2d"))), {"ADD_BUNDLE 4,lA?!"}},
    {CALL(SharedSetDefaultPermissions(S(L"B\u00fc"), 0, com7, S(L"\u20ac\u4e2d"))),
     {"SET_SHARE_PERMISSION B\xFC,In,COM7,\x80?,3!"}},
    {CALL(BundleDeletePort(b1, 0, S(std::wstring(L"CO\0M1", 5)))), {"DEL_PORT B1,In,CO!"}},
};

TEST(Commands, EveryChangingExportSendsExactBytes) {
  // Messages are in the calling thread's ANSI code page: make it 1252.
  SetThreadLocale(MAKELCID(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), SORT_DEFAULT));
  TestPipeServer server;
  ASSERT_EQ(ConnectToLocalService(), 1);
  size_t total = 0;
  for (const auto& w : kWire) {
    SCOPED_TRACE(w.sent[0]);
    SmallConfig config(w.extra);
    ASSERT_TRUE(config.ok());
    const size_t before = server.CommandCount();
    EXPECT_EQ(w.call(), 1);
    const std::vector<std::string> all = server.Commands();
    EXPECT_EQ(std::vector<std::string>(all.begin() + before, all.end()), w.sent);
    for (const std::string& command : w.sent) total += command.size();
  }
  EXPECT_EQ(server.BytesReceived(), total);  // nothing follows a "!"
  DisconnectFromService();
}

TEST(Commands, ReplyBeginningWithOkIsSuccess) {
  TestPipeServer server;
  ASSERT_EQ(ConnectToLocalService(), 1);
  const std::pair<const char*, int> replies[] = {{"OK!", 1}, {"ok!", 1}, {"OKAY!", 1}, {"oK, done!", 1},
                                                 {"ERROR!", 0}, {"O!", 0}, {"!", 0}, {" OK!", 0}, {"KO!", 0}};
  for (const auto& reply : replies) {
    server.QueueReply(reply.first);
    EXPECT_EQ(DeleteBundle(b1), reply.second) << reply.first;
  }
  DisconnectFromService();
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
    ASSERT_TRUE(!connect || (WaitNamedPipeW(kPipePath, 5000) && ConnectToLocalService() == 1));
    GoodCall good(e);
    StoreLastError2();
    const size_t before = server.CommandCount();
    EXPECT_EQ(CallExport(Resolve(e.name), e.kinds, good.Args()), std::string(e.name) == "SharedDelAllPermissions");
    EXPECT_EQ(QKGetLastError(), 2u);
    EXPECT_EQ(server.CommandCount() > before, connect);
    DisconnectFromService();
  }
}

TEST(Commands, EveryChangingExportFailsWithoutConnection) { EveryChangingExportFails(LinkFault::kNotConnected); }
TEST(Commands, EveryChangingExportFailsOnAnErrorReply) { EveryChangingExportFails(LinkFault::kErrorReply); }
TEST(Commands, EveryChangingExportFailsWhenTheServiceClosesThePipe) {
  EveryChangingExportFails(LinkFault::kPipeClosed);
}

}  // namespace
