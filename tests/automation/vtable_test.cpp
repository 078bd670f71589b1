// Lumbrex.Control called through its interface's table: results, refusals
// and what each refusal says.
#include <windows.h>
#include <initguid.h>
#include <ole2.h>

#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "callers/number_rules.h"
#include "support/registry_fixture.h"
#include "support/test_pipe_server.h"

#include "table_fixture.h"

namespace table_test {
namespace {

// A method with a result, given a null result pointer: refused, never written through.
TEST_F(AutomationTable, NullResultPointersAreRefused) {
  Var bundle(Bstr(L"TableBundle")), side(I4(0)), port(Bstr(L"COM1"));
  const VARIANT b = bundle.copy(), s = side.copy(), p = port.copy();
  const Call rows[] = {
      {"GetBundleState", [&] { return c->GetBundleState(b, nullptr); }},
      {"BundleGetPortState", [&] { return c->BundleGetPortState(b, s, p, nullptr); }},
      {"GetBundlesNames", [&] { return c->GetBundlesNames(nullptr); }},
      {"GetPortsNamesByBundleAndSide", [&] { return c->GetPortsNamesByBundleAndSide(b, s, nullptr); }},
      {"BundleGetMainPortForSide", [&] { return c->BundleGetMainPortForSide(b, s, nullptr); }},
      {"GetRealPortsList", [&] { return c->GetRealPortsList(nullptr); }},
      {"BundleGetPortType", [&] { return c->BundleGetPortType(b, s, p, nullptr); }},
      {"OptionGetPortsAutoOpen", [&] { return c->OptionGetPortsAutoOpen(nullptr); }},
      {"OptionGetIgnoreErrorsOnPortCreation", [&] { return c->OptionGetIgnoreErrorsOnPortCreation(nullptr); }},
      {"OptionGetPortToPrint", [&] { return c->OptionGetPortToPrint(nullptr); }},
      {"OptionGetIfSendToMainSet", [&] { return c->OptionGetIfSendToMainSet(nullptr); }},
      {"OptionGetBaudrateEmulation", [&] { return c->OptionGetBaudrateEmulation(nullptr); }},
      {"BundleRealPortAreParametersDynamic", [&] { return c->BundleRealPortAreParametersDynamic(b, s, p, nullptr); }},
      {"BundleGetRealPortParameters", [&] { return c->BundleGetRealPortParameters(b, s, p, nullptr); }},
      {"BundlePortGetPermissions", [&] { return c->BundlePortGetPermissions(b, s, p, nullptr); }},
      {"SharedPortGetAppPermissions", [&] { return c->SharedPortGetAppPermissions(b, s, p, nullptr); }},
      {"SharedGetPortApplications", [&] { return c->SharedGetPortApplications(p, nullptr); }},
      {"LastError", [&] { return c->get_LastError(nullptr); }},
      {"Version", [&] { return c->get_Version(nullptr); }},
  };
  for (const auto& row : rows) {
    SetErrorInfo(0, nullptr);
    EXPECT_EQ(row.call(), E_POINTER) << row.method;
  }
  // A method's refusal carries the object's error source.
  SetErrorInfo(0, nullptr);
  c->GetBundlesNames(nullptr);
  EXPECT_EQ(ErrorText(&IErrorInfo::GetSource), L"Lumbrex.Control");
}

// Inputs no script makes but a C++ caller can: each fails or is refused,
// none is read through a null or looping reference.
TEST_F(AutomationTable, MalformedInputsFailWithoutCrashing) {
  VARIANT loop;
  loop.vt = VT_BYREF | VT_VARIANT;
  loop.pvarVal = &loop;
  const struct {
    const char* input;
    VARIANT value;
  } inputs[] = {
      {"VT_BYREF|VT_I4 to nothing", testsupport::ByRef(VT_I4, nullptr)},
      {"VT_BYREF|VT_BSTR to nothing", testsupport::ByRef(VT_BSTR, nullptr)},
      {"VT_BYREF|VT_VARIANT to nothing", testsupport::ByRef(VT_VARIANT, nullptr)},
      {"VT_BYREF|VT_VARIANT to itself", loop},
      {"VT_ARRAY|VT_I4 without an array", testsupport::OfType(VT_ARRAY | VT_I4)},
      {"VT_DISPATCH null", testsupport::OfType(VT_DISPATCH)},
      {"VT_R8 not a number", testsupport::OfType(VT_R8, 0x7FF8000000000000LL)},
  };
  Var name(Bstr(L"TableBundle")), zero(I4(0));
  const VARIANT b = name.copy(), z = zero.copy();
  for (const auto& in : inputs) {
    const VARIANT& v = in.value;
    Var out;
    const Call rows[] = {
        {"AddBundle", [&] { return c->AddBundle(v); }},
        {"GetPortsNamesByBundleAndSide side", [&] { return c->GetPortsNamesByBundleAndSide(b, v, &out); }},
        {"BundleGetPortType port", [&] { return c->BundleGetPortType(b, z, v, &out); }},
        {"OptionSetAutoOpenPort", [&] { return c->OptionSetAutoOpenPort(v); }},
        {"BundlePortSetPermissions mask", [&] { return c->BundlePortSetPermissions(b, z, b, v); }},
        {"SharedPortSetPermissionsForApp permission",
         [&] { return c->SharedPortSetPermissionsForApp(b, z, b, b, v); }},
        {"SharedGetPortApplications", [&] { return c->SharedGetPortApplications(v, &out); }},
        {"ConnectToRemoteService", [&] { return c->ConnectToRemoteService(v, v, v); }},
    };
    for (const auto& row : rows) EXPECT_TRUE(FAILED(row.call())) << row.method << " given " << in.input;
  }
}

// What a failure's number and description say, with no configuration in the
// registry and the object connected to a service that records what it gets
// (and answers OK). The rows run in order: each starts with the code the one
// before left.
TEST_F(AutomationTable, FailuresNameTheirCause) {
  testsupport::RegistryFixture registry;
  testsupport::TestPipeServer service;
  ASSERT_EQ(c->ConnectToLocalService(), S_OK);
  Var bundle(Bstr(L"TableNoSuchBundle")), side(I4(0)), port(Bstr(L"COM1")), cafe(Bstr(L"caf\u00e9"));
  Var dashed(Bstr(L"COM-1"));  // no port name for the library, nothing the object refuses
  const VARIANT b = bundle.copy(), s = side.copy(), p = port.copy(), e = cafe.copy(), d = dashed.copy();
  const VARIANT eight = I4(8), three = I4(3);
  Var app(Bstr(L"My, App.exe")), textSide(Bstr(L"1"));
  const VARIANT a = app.copy(), unset = testsupport::OfType(VT_EMPTY);
  LONG real = 1;  // VBA's "Dim t As Long" passed on
  Var out;
  VARIANT_BOOL open = VARIANT_FALSE;
  const auto badPort = [&] { return c->BundleSetMainPortForSide(b, s, d); };
  const auto params = [&](int baud, int parity, int data, int stop, int flow) {
    return c->BundleSetRealPortParameters(b, s, p, I4(baud), I4(parity), I4(data), I4(stop), I4(flow));
  };
  const HRESULT brokenPipe = HRESULT_FROM_WIN32(ERROR_BROKEN_PIPE);
  using testsupport::Dw, testsupport::Removed, testsupport::Write;
  const std::wstring perms = testsupport::PermissionsKey(L"COM1");
  const std::wstring shareWords =
      lumbrex::NumberRefusal(lumbrex::NumberArgument::kSharePermission, L"permission", L"'2147483648'");
  const Failure rows[] = {
      {"BundleGetPortType, no bundle", [&] { return c->BundleGetPortType(b, s, p, &out); }, HRESULT(0x80070002),
       L"no such bundle, side or port"},
      {"OptionGetPortsAutoOpen, no root key", [&] { return c->OptionGetPortsAutoOpen(&out); },
       HRESULT(0x80070002), L"the option is not stored"},
      {"GetBundlesNames, no root key", [&] { return c->GetBundlesNames(&out); }, HRESULT(0x80070002),
       L"no configuration yet"},
      {"port COM-1, code 2 held", badPort, HRESULT(0x8007000D), L"the library refused an argument"},
      // 13 stored over 13 is still the library's refusal of this call.
      {"port COM-1 again, code 13 held", badPort, HRESULT(0x8007000D), L"the library refused an argument"},

      // A letter of the system's code page that the thread's lacks: the
      // library would send it as "?", naming another bundle.
      {"a name the thread's code page lacks",
       [&] {
         const LCID old = GetThreadLocale();
         SetThreadLocale(MAKELCID(0x0419, SORT_DEFAULT));  // Russian
         const HRESULT result = c->AddBundle(e);
         SetThreadLocale(old);
         return result;
       },
       HRESULT(0x8007000D), L"code page"},
      // The library sends what it is given: "ADD_BUNDLE 4," for an empty name.
      {"an empty name", [&] { return c->AddBundle(testsupport::Arg(std::wstring())); }, HRESULT(0x8007000D),
       L"the bundle name \"\" is empty"},
      // Raw line breaks and NULs of a refused name are written out, as lumbrexctl writes them.
      {"a name with a line break and a NUL",
       [&] { return c->AddBundle(testsupport::Arg(std::wstring(L"a\nb\0!c", 6))); }, HRESULT(0x8007000D),
       L"name \"a\\nb\\x00!c\" holds a control character"},
      // Numbers the library would take and store as something else.
      {"baud rate 0", [&] { return params(0, 0, 8, 0, 0); }, HRESULT(0x8007000D), L"baudrate is 1 to 2147483647, not '0'"},
      {"parity 5", [&] { return params(9600, 5, 8, 0, 0); }, HRESULT(0x8007000D), L"parity is 0 to 4"},
      {"data bits 9", [&] { return params(9600, 0, 9, 0, 0); }, HRESULT(0x8007000D), L"dataBits is 5 to 8, not '9'"},
      {"flow control 3", [&] { return params(9600, 0, 8, 0, 3); }, HRESULT(0x8007000D), L"flowControl is 0 to 2"},
      {"mask 4", [&] { return c->BundlePortSetPermissions(b, s, p, I4(4)); }, HRESULT(0x8007000D),
       L"mask is 0 to 3"},
      {"port type 3", [&] { return c->BundleAddPort(b, s, p, three); }, HRESULT(0x8007000D), L"portType is 1 (real)"},
      {"side 2", [&] { return c->BundleDeletePort(b, I4(2), p); }, HRESULT(0x8007000D), L"side is 0 (input side)"},
      {"side -1, which the library reads as the output side",
       [&] { return c->BundlePortGetPermissions(b, I4(-1), p, &out); }, HRESULT(0x8007000D), L"side is 0"},
      {"share permission 8", [&] { return c->SharedPortSetPermissionsForApp(b, s, p, b, eight); },
       HRESULT(0x8007000D), L"permission is 0, or"},
      // Above 2147483647 in any type, in lumbrexctl's words; the largest value goes.
      {"share permission 2147483648 (VT_I8)",
       [&] { return c->SharedPortSetPermissionsForApp(b, s, p, b, testsupport::I8(2147483648LL)); },
       HRESULT(0x8007000D), shareWords.c_str()},
      {"share permission 2147483649 (VT_R8)",
       [&] { return c->SharedPortSetPermissionsForApp(b, s, p, b, R8(2147483649.0)); }, HRESULT(0x8007000D),
       L"not '2147483649'"},
      {"share permission 4294967295 (VT_UI4)",
       [&] { return c->SharedPortSetPermissionsForApp(b, s, p, b, testsupport::OfType(VT_UI4, 0xFFFFFFFFLL)); },
       HRESULT(0x8007000D), L"not '4294967295'"},
      {"share permission 2147483647 (VT_R8)",
       [&] { return c->SharedPortSetPermissionsForApp(b, s, p, b, R8(2147483647.0)); }, S_OK, L"", 1},
      {"side unset", [&] { return c->BundleDeletePort(b, unset, p); }, HRESULT(0x8007000D),
       L"side is 0 (input side) or 1 (output side), not Empty"},
      {"side as text", [&] { return c->BundleDeletePort(b, textSide.copy(), p); }, HRESULT(0x8007000D),
       L"not the text '1'"},
      {"side 2.5", [&] { return c->BundleDeletePort(b, R8(2.5), p); }, HRESULT(0x8007000D),
       L"not '2.5'"},
      {"option value beyond 32 bits", [&] { return c->OptionSetAutoOpenPort(R8(4294967296.0)); },
       HRESULT(0x8007000D), L"value is a whole number from -2147483648 to 2147483647, not '4294967296'"},
      // The library escapes ',' in an application name: the command goes.
      {"application name with ','", [&] { return c->SharedPortSetPermissionsForApp(b, s, p, a, three); }, S_OK, L"",
       1},
      {"port type in a by-reference Long",
       [&] { return c->BundleAddPort(b, s, p, testsupport::ByRef(VT_I4, &real)); }, S_OK, L"", 1},
      // Names another program stored are checked before the first reset goes:
      // the library would send Łukasz.exe as Lukasz.exe, another application.
      {"share reset, a stored name the code page lacks",
       [&] {
         Write({Dw(perms, L"plain.exe", 7), Dw(perms, L"\u0141ukasz.exe", 7)});
         return c->SharedDelAllPermissions(b, s, p);
       },
       HRESULT(0x8007000D), L"the stored application name \"\u0141ukasz.exe\" holds characters the ANSI code page"},
      {"share reset, names that can be sent",
       [&] {
         Write({Removed(perms), Dw(perms, L"My, App.exe", 5), Dw(perms, L"plain.exe", 7)});
         return c->SharedDelAllPermissions(b, s, p);
       },
       S_OK, L"", 2},
      // The service dies: the library stores nothing, the object says so.
      {"the service closes after reading the command",
       [&] {
         service.QueueReply(testsupport::TestPipeServer::Close());
         return c->AddBundle(b);
       },
       brokenPipe, L"the connection to the service was lost", 1},
      {"the service closes in the middle of its reply",
       [&] {
         c->DisconnectFromService();  // the broken pipe goes; a new one opens
         c->ConnectToLocalService();
         service.QueueReply(testsupport::TestPipeServer::Reply{"OK", true});
         return c->GetBundleState(b, &open);
       },
       brokenPipe, L"the connection to the service was lost", 1},
  };
  for (const auto& row : rows) {
    SetErrorInfo(0, nullptr);
    const size_t before = service.CommandCount();
    EXPECT_EQ(row.run(), row.number) << row.call;
    // A call that succeeds leaves no error object behind.
    if (*row.says == L'\0') EXPECT_EQ(ErrorText(), L"") << row.call;
    else EXPECT_THAT(ErrorText(), testing::HasSubstr(row.says)) << row.call;
    EXPECT_EQ(service.CommandCount(), before + row.sends) << row.call;
  }
}

}  // namespace
}  // namespace table_test
