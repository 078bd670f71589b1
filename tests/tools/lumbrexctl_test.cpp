// lumbrexctl.exe as scripts use it: exit code 0 when done, 1 when the service, the library or the system
// refused or the command line is bad (nothing sent then), and the part of the output a script reads.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

#include "driver/control/standin_driver.h"
#include "support/driver_owners.h"
#include "support/registry_fixture.h"
#include "support/service_process.h"
#include "support/test_pipe_server.h"

namespace {

using namespace testsupport;

// One object, brackets balanced outside strings: what a JSON reader needs first.
bool LooksLikeJson(const std::string& output) {
  const std::string bare = std::regex_replace(output, std::regex(R"("(\\.|[^"\\])*")"), "S");
  int depth = 0;
  for (char c : bare) depth += (c == '{' || c == '[') - (c == '}' || c == ']');
  return depth == 0 && std::count(bare.begin(), bare.end(), '"') == 0 &&
         bare.find_first_not_of(" \r\n") == bare.find('{') && bare.find_last_not_of(" \r\n") == bare.rfind('}');
}

TEST(Lumbrexctl, ExitCodesAndOutputAgainstTheService) {
  ScopedTree vendor64(kVendorKey, kView64), vendor32(kVendorKey, kView32), driverKey(kDriverKey);
  const ProgramRun alone = RunProgram(L"lumbrexctl.exe", {L"bundle", L"add", L"T1"});
  EXPECT_EQ(alone.exitCode, 1u);
  EXPECT_NE(alone.output.find("ConnectToLocalService failed"), std::string::npos) << alone.output;
  ServiceProcess service;
  ASSERT_TRUE(service.Ready()) << service.Problem();
  // A stand-in driver left loaded in the prefix hides its query device meanwhile:
  // the shared port's rows read "driver not available".
  const testsupport::HiddenQueryLink hidden;
  const std::wstring perms = PermissionsKey(L"COM9"), out = SideKey(L"T1", LUMBREX_SIDE_OUT);
  const std::wstring lukasz = L"\u0141ukasz.exe", cyrillic = L"\u0421\u0432\u044f\u0437\u044c.exe";
  // `written`: what another program stores in the registry before the run; `never`: must not be in the output.
  const struct {
    std::vector<std::wstring> arguments;
    DWORD exitCode;
    const char* says;
    std::vector<RegItem> written = {};
    const char* never = nullptr;
  } runs[] = {
      {{L"bundle", L"add", L"T1"}, 0, ""},
      {{L"bundle", L"add", L""}, 1, "bundle add: the bundle name '' is empty; the service needs"},
      // The service's no carries no reason: the configuration read after it does.
      {{L"bundle", L"add", L"t1"}, 1,
       "AddBundle failed: refused by the service (no error code): the bundle exists already"},
      {{L"bundle", L"delete", L"T9"}, 1, "DeleteBundle failed: refused by the service (no error code): no such bundle"},
      {{L"port", L"add", L"T1", L"in", L"COM1", L"real"}, 0, ""},
      {{L"port", L"add", L"T1", L"in", L"COM1", L"virtual"}, 1, "exists already on that side, as a real port"},
      {{L"port", L"main", L"T1", L"out", L"COM1"}, 1, "the port is not on the out side of that bundle"},
      {{L"share", L"reset", L"T9", L"in", L"COM1"}, 1, "no such bundle T9; nothing was reset"},
      {{L"share", L"reset", L"T1", L"out", L"COM1"}, 1, "no port COM1 on the out side of T1; nothing was reset"},
      {{L"port", L"add", L"T1", L"in", L"COM-1", L"real"}, 1, "the port name 'COM-1' is not one BundleAddPort takes"},
      {{L"port", L"params", L"T1", L"in", L"COM1", L"9600", L"E", L"7", L"1"}, 0, ""},
      {{L"port", L"params", L"T9", L"in", L"COM1", L"9600", L"N", L"8", L"0"}, 1, "(no error code): no such bundle"},
      {{L"port", L"dynamic", L"T1", L"out", L"COM1"}, 1, "the port is not on the out side of that bundle"},
      {{L"share", L"set", L"T1", L"out", L"COM1", L"a.exe", L"3"}, 1, "(no error code): the port is not on the out"},
      // The library reads the entry before it sends: its code, then what the configuration says.
      {{L"port", L"perms", L"T1", L"out", L"COM1", L"1"}, 1, "error 2: File not found. (the port is not on the out"},
      {{L"option", L"get", L"print"}, 1, "print: not set ("},  // never stored yet, said as show says it
      {{L"option", L"get", L"print", L"--json"}, 1, "\"on\": null"},
      {{L"option", L"set", L"print", L"on"}, 0, ""},
      {{L"bundle", L"state", L"T1"}, 0, "T1: present"},
      {{L"show"}, 0, "print: on"},
      {{L"show", L"--json"}, 0, "\"parameters\": \"9600,E,7,1\""},
      {{L"frobnicate"}, 1, "--help"},
      {{L"port", L"add", L"T1", L"sideways", L"COM1", L"real"}, 1, "--help"},
      // Names the service would read as something else never leave the tool.
      {{L"bundle", L"add", L"a!b"}, 1, "'!'"},
      {{L"bundle", L"add", L"\u0421\u0432\u044f\u0437\u043a\u0430"}, 1, "ANSI code page"},
      {{L"bundle", L"add", L"a,b"}, 1, "','"},
      // The library escapes '!' and ',' in an application name.
      {{L"share", L"set", L"T1", L"in", L"COM1", L"My, App!.exe", L"3"}, 0, ""},
      // Share permissions in the automation object's words: within 32 bits signed, as documents hold them.
      {{L"share", L"set", L"T1", L"in", L"COM1", L"a.exe", L"2147483647"}, 0, ""},
      {{L"share", L"set", L"T1", L"in", L"COM1", L"a.exe", L"4294967295"}, 1,
       "VALUE is 0, or a number from -2147483648 to 2147483647 (the limit of configuration documents too) with at "
       "least one of the bits 1, 2, 4 set, not '4294967295'"},
      {{L"share", L"set", L"T1", L"in", L"COM1", L"a.exe", L"2147483649"}, 1, "2147483647 (the limit"},
      {{L"port", L"params", L"T1", L"in", L"COM1", L"-9600", L"E", L"7", L"1"}, 1, "BAUD is 1 to"},
      {{L"port", L"perms", L"T1", L"in", L"COM1", L"4"}, 1, "MASK is 0 to 3"},
      {{L"bundle", L"list"}, 0, "T1\n"},
      {{L"bundle", L"list", L"--json"}, 0, "\"bundles\": [\n    \"T1\"\n  ]"},
      {{L"port", L"list", L"T1", L"in", L"--json"}, 0, "\"name\": \"COM1\""},
      {{L"port", L"add", L"T1", L"out", L"COM9", L"shared"}, 0, ""},
      // The code has its own member: the message is the system's text.
      {{L"port", L"list", L"T1", L"out", L"--json"}, 0, "\"message\": \"driver not available: File not found.\""},
      {{L"option", L"get", L"print"}, 0, "print: on"},
      {{L"--version"}, 0, "lumbrex.dll 1.0.0"},
      {{L"--version"}, 0, "lumbrexctl 1.0.0"},
      {{L"--help"}, 0, "  --user U              with --remote: log on to SERVER as U"},
      {{L"--user", L"U", L"show"}, 1, "--user requires --remote"},
      // Names the ANSI code page cannot carry are left as they are, and said so: sent, they would name
      // Lukasz.exe and ?????.exe instead.
      {{L"share", L"reset", L"T1", L"out", L"COM9"}, 1, "'\xC5\x81ukasz.exe' not reset: its name holds characters",
       {Dw(perms, lukasz, 7), Dw(perms, L"plain.exe", 7), Dw(perms, cyrillic, 7)}},
      {{L"show", L"--json"}, 0, "\"plain.exe\": 3", {}, "\"Lukasz.exe\""},
      {{L"show", L"--json"}, 0, "\"\xC5\x81ukasz.exe\": 7", {}, "?.exe"},
      // Lone surrogates no UTF-8 can carry keep two names apart as JSON escapes.
      {{L"show", L"--json"}, 0, "\"a\\ud800\": 1", {Dw(perms, L"a\xD800", 1), Dw(perms, L"a\xDC00", 2)}},
      {{L"show", L"--json"}, 0, "\"a\\udc00\": 2"},
      // A port name the library refuses (13, as for the query before it): its permissions are not "none".
      {{L"show"}, 0, "share permissions: not readable through the library, which refuses the port name (code 13",
       {Sz(out, L"COM-7", L"Shared|9600,n,8,1|1|1"), Dw(PermissionsKey(L"COM-7"), L"x.exe", 5)}},
      // A parity letter the library does not know is not shown as N.
      {{L"port", L"list", L"T1", L"out"}, 0, "COM-7  shared  9600,N,8,1"},
      {{L"port", L"list", L"T1", L"in"}, 0, "COM5  real  9600,?,8,1 (the stored parity letter is none of",
       {Sz(SideKey(L"T1", LUMBREX_SIDE_IN), L"COM5", L"R|9600,q,8,1|1|1")}},
      {{L"port", L"list", L"T1", L"in", L"--json"}, 0, "\"parameters\": \"9600,?,8,1\""},
      // Every word the tool echoes has its control characters escaped.
      {{L"--remote", L"evil\x1b[31m\nlumbrexctl: fake line", L"bundle", L"add", L"X"}, 1,
       "\\\\evil\\x1b[31m\\nlumbrexctl: fake line\\pipe", {}, "\x1b"},
      {{L"bundle", L"add\x1b[2J"}, 1, "unknown verb 'add\\x1b[2J'", {}, "\x1b"},
      {{L"--remote=", L"bundle", L"add", L"X"}, 1, "'--remote=' needs a value"},
      {{L"--remote", L"", L"bundle", L"add", L"X"}, 1, "--remote needs a SERVER"},
      {{L"--remote", L"S", L"apply", L"x.json"}, 1, "apply: --remote cannot be used: this verb reads the configuration"},
      {{L"--timeout", L"-1", L"show"}, 1, "--timeout is 0 to"},
      {{L"port", L"dynamic", L"T1", L"in", L"COM6"}, 1, "the port's stored entry names no port type",
       {Sz(SideKey(L"T1", LUMBREX_SIDE_IN), L"COM6", L"")}},
      {{L"bundle", L"delete", L"T1"}, 0, ""},
      {{L"bundle", L"state", L"T1"}, 1, "T1: not present"},
      {{L"bundle", L"list", L"--json"}, 0, "\"bundles\": []"},
  };
  for (const auto& run : runs) {
    SCOPED_TRACE(&run - runs);
    ASSERT_EQ(Write(run.written), ERROR_SUCCESS);
    const ProgramRun got = RunProgram(L"lumbrexctl.exe", run.arguments);
    EXPECT_EQ(got.exitCode, run.exitCode) << got.output;
    EXPECT_NE(got.output.find(run.says), std::string::npos) << got.output;
    EXPECT_TRUE(run.never == nullptr || got.output.find(run.never) == std::string::npos) << got.output;
    EXPECT_TRUE(run.arguments.back() != L"--json" || LooksLikeJson(got.output)) << got.output;
  }
}

// A fake service that fails as a real one can: the message names the call and what happened, and a service
// that takes a command and never answers holds the tool only until --timeout.
TEST(Lumbrexctl, FaultsOfTheServiceAreNamed) {
  RegistryFixture registry({Dw(PermissionsKey(L"COM9"), L"a.exe", 7), Dw(PermissionsKey(L"COM9"), L"b.exe", 7),
                            Sz(SideKey(L"B", LUMBREX_SIDE_OUT), L"COM9", L"Shared||1|1")});
  ASSERT_EQ(registry.status(), ERROR_SUCCESS);
  TestPipeServer server;
  using Reply = TestPipeServer::Reply;
  const Reply never{"", false, INFINITE}, slow = TestPipeServer::Send("OK!", 1200);
  const struct {
    std::vector<Reply> replies;  // one a command, in order
    std::vector<std::wstring> arguments;
    DWORD exitCode;
    const char* says;
  } runs[] = {
      {{TestPipeServer::Send("ERROR!")}, {L"bundle", L"state", L"T"}, 1, "T: not present"},
      {{TestPipeServer::Close()}, {L"bundle", L"add", L"T"}, 1, "AddBundle failed: the connection to the service was lost"},
      {{Reply{"O", true}}, {L"bundle", L"state", L"T"}, 1, "GetBundleState failed: the connection to the service was lost"},
      {{TestPipeServer::Close()}, {L"share", L"reset", L"B", L"out", L"COM9"}, 1,
       "not reset: not sent: the connection to the service was lost"},
      // The limit is per call: two slow answers take longer than it together.
      {{slow, slow}, {L"--timeout", L"2", L"share", L"reset", L"B", L"out", L"COM9"}, 0, ""},
      {{never}, {L"--timeout", L"1", L"bundle", L"add", L"T"}, 1,
       "lumbrexctl: AddBundle did not return within 1 s (the service has not answered the command)\n"},
  };
  for (const auto& run : runs) {
    SCOPED_TRACE(&run - runs);
    for (const Reply& reply : run.replies) server.QueueReply(reply);
    const size_t before = server.CommandCount();
    const ProgramRun got = RunProgram(L"lumbrexctl.exe", run.arguments, 30000);
    EXPECT_EQ(got.exitCode, run.exitCode) << got.output;
    EXPECT_NE(got.output.find(run.says), std::string::npos) << got.output;
    EXPECT_EQ(server.CommandCount() - before, run.replies.size());
  }
}

// A connect that fails says why: no service at all, or one whose only pipe instance is taken.
TEST(Lumbrexctl, ABusyServiceIsToldFromAnAbsentOne) {
  const auto connectSays = [] { return RunProgram(L"lumbrexctl.exe", {L"bundle", L"add", L"T"}).output; };
  EXPECT_NE(connectSays().find("could not be opened (is the service running?)"), std::string::npos);
  const lumbrex::UniqueHandle only(CreateNamedPipeW(lumbrex::kLocalPipePath, PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE, 1,
                                                    512, 512, 0, nullptr));
  ASSERT_TRUE(only.valid());
  const lumbrex::UniqueHandle taken(CreateFileW(lumbrex::kLocalPipePath, GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                                OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(taken.valid());
  EXPECT_NE(connectSays().find("is busy: the service admits no more clients"), std::string::npos);
}

}  // namespace
