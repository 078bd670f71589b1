// Lumbrex.Control called through its interface's table: names that are no
// text, and threads that use the object at once.
#include <windows.h>
#include <ole2.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/registry_fixture.h"
#include "support/test_pipe_server.h"

#include "table_fixture.h"

namespace table_test {
namespace {

// A name that is not text, in every place of every method that takes one:
// refused before anything is sent, whatever text the library would have made
// of it (Empty "", True "-1", an object its default property's text).
TEST_F(AutomationTable, NamesThatAreNotTextAreRefusedBeforeSending) {
  testsupport::TestPipeServer service;
  ASSERT_EQ(c->ConnectToLocalService(), S_OK);
  DefaultText object(L"TableBundle");
  LONG number = 5;
  const struct {
    const char* input;
    VARIANT value;
    const wchar_t* says;
  } inputs[] = {
      {"Empty", testsupport::OfType(VT_EMPTY), L"is Empty (an unset variable), not text"},
      {"True", testsupport::OfType(VT_BOOL, VARIANT_TRUE), L"is True or False, not text"},
      {"a number by reference", testsupport::ByRef(VT_I4, &number), L"is '5', not text"},
      {"an object", Dispatch(&object), L"is an object, not text"},
  };
  Var name(Bstr(L"TableBundle")), port(Bstr(L"COM1"));
  const VARIANT t = name.copy(), p = port.copy(), zero = I4(0), one = I4(1);
  for (const auto& in : inputs) {
    const VARIANT& n = in.value;
    Var out;
    VARIANT_BOOL answer = VARIANT_FALSE;
    const Call rows[] = {
        {"AddBundle", [&] { return c->AddBundle(n); }},
        {"DeleteBundle", [&] { return c->DeleteBundle(n); }},
        {"GetBundleState", [&] { return c->GetBundleState(n, &answer); }},
        {"BundleAddPort bundle", [&] { return c->BundleAddPort(n, zero, p, one); }},
        {"BundleAddPort port", [&] { return c->BundleAddPort(t, zero, n, one); }},
        {"BundleDeletePort port", [&] { return c->BundleDeletePort(t, zero, n); }},
        {"BundleGetPortState port", [&] { return c->BundleGetPortState(t, zero, n, &answer); }},
        {"BundleSetMainPortForSide port", [&] { return c->BundleSetMainPortForSide(t, zero, n); }},
        {"GetPortsNamesByBundleAndSide", [&] { return c->GetPortsNamesByBundleAndSide(n, zero, &out); }},
        {"BundleGetMainPortForSide", [&] { return c->BundleGetMainPortForSide(n, zero, &out); }},
        {"BundleSetRealPortParameters port",
         [&] { return c->BundleSetRealPortParameters(t, zero, n, I4(9600), zero, I4(8), zero, zero); }},
        {"BundleSetDynamicParametersForRealPort port",
         [&] { return c->BundleSetDynamicParametersForRealPort(t, zero, n); }},
        {"BundlePortSetPermissions port", [&] { return c->BundlePortSetPermissions(t, zero, n, one); }},
        {"SharedPortSetPermissionsForApp application",
         [&] { return c->SharedPortSetPermissionsForApp(t, zero, p, n, one); }},
        {"SharedSetDefaultPermissions application", [&] { return c->SharedSetDefaultPermissions(t, zero, p, n); }},
        {"SharedDelAllPermissions port", [&] { return c->SharedDelAllPermissions(t, zero, n); }},
        {"SharedGetPortApplications", [&] { return c->SharedGetPortApplications(n, &out); }},
    };
    for (const auto& row : rows) {
      SetErrorInfo(0, nullptr);
      EXPECT_EQ(row.call(), HRESULT(0x8007000D)) << row.method << " given " << in.input;
      EXPECT_THAT(ErrorText(), testing::HasSubstr(in.says)) << row.method << " given " << in.input;
    }
  }
  EXPECT_EQ(service.CommandCount(), 0u);
}

// A command the service leaves unanswered holds up other commands (the
// library sends one at a time), not the object's reads on other threads.
TEST_F(AutomationTable, ReadsDoNotWaitForACommandTheServiceLeavesUnanswered) {
  testsupport::RegistryFixture registry;  // no configuration: the read fails at once with 2
  testsupport::TestPipeServer service;
  const lumbrex::UniqueHandle release(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  service.SetRule([&](const std::string&) { return testsupport::TestPipeServer::Reply{"ERROR!", false, 5000, release.get()}; });
  ASSERT_EQ(c->ConnectToLocalService(), S_OK);
  Var bundle(Bstr(L"TableBundle"));
  const VARIANT b = bundle.copy();
  std::atomic<HRESULT> added{E_PENDING};
  std::thread command([&] {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    added = c->AddBundle(b);
    CoUninitialize();
  });
  ASSERT_TRUE(service.WaitForCommands(1));
  const DWORD start = GetTickCount();
  Var names;
  EXPECT_EQ(c->GetBundlesNames(&names), HRESULT(0x80070002));
  EXPECT_LT(GetTickCount() - start, 1000u);
  EXPECT_EQ(added.load(), E_PENDING) << "the command ended before the read: nothing was shown";
  SetEvent(release.get());
  command.join();
  // The service said no; the 2 the read stored meanwhile is not the command's.
  EXPECT_EQ(added.load(), HRESULT(0x80040201));
}

// Threads failing at once in different ways, on one object: each call must
// report its own failure, though the library keeps one code for the process.
// The command's failure stores no code, so a code another thread stores
// during it would read as the command's.
TEST_F(AutomationTable, ThreadsAtOnceEachGetTheirOwnError) {
  testsupport::RegistryFixture registry;  // no configuration: a bundle query stores 2
  Var bundle(Bstr(L"TableNoSuchBundle")), side(I4(0)), dashed(Bstr(L"COM-1"));
  const VARIANT b = bundle.copy(), s = side.copy(), d = dashed.copy();
  const Failure rows[] = {
      {"BundleGetPortType, no bundle (2)", [&] { Var out; return c->BundleGetPortType(b, s, d, &out); },
       HRESULT(0x80070002)},
      // The library refuses port COM-1 (13) and sends nothing.
      {"BundleSetMainPortForSide, port COM-1 (13)", [&] { return c->BundleSetMainPortForSide(b, s, d); },
       HRESULT(0x8007000D)},
      {"AddBundle, no connection (nothing stored)", [&] { return c->AddBundle(b); }, HRESULT(0x80040201)},
  };
  constexpr int kCalls = 1000;
  std::atomic<int> wrong[3] = {{0}, {0}, {0}};
  std::vector<std::thread> threads;
  for (int t = 0; t < 3; ++t)
    threads.emplace_back([&, t] {
      CoInitializeEx(nullptr, COINIT_MULTITHREADED);
      for (int i = 0; i < kCalls; ++i)
        if (rows[t].run() != rows[t].number) ++wrong[t];
      CoUninitialize();
    });
  for (std::thread& thread : threads) thread.join();
  for (int r = 0; r < 3; ++r) EXPECT_EQ(wrong[r].load(), 0) << rows[r].call;
}

}  // namespace
}  // namespace table_test
