// Many clients at once against the stand-in service, each on a pipe connection of its own: every command is
// answered "OK!" and none is lost, as the library then reads back from the registry.
#include "link/link_util.h"
#include "support/pipe_client.h"
#include "support/registry_fixture.h"

using namespace linktest;

TEST(Load, ManyClientsAgainstTheService) {
  const int rounds = static_cast<int>(EnvNumber("LUMBREX_LOAD_ROUNDS", 3000));
  testsupport::ScopedTree vendor64(testsupport::kVendorKey);
  testsupport::ScopedTree vendor32(testsupport::kVendorKey, KEY_WOW64_32KEY);
  testsupport::ServiceProcess service;
  ASSERT_TRUE(service.Ready()) << service.Problem();
  std::vector<std::future<int>> clients;
  for (int k = 0; k < 16; ++k)
    clients.push_back(std::async(std::launch::async, [k, rounds] {
      testsupport::PipeClient pipe;
      const std::string bundle = "L" + std::to_string(k);
      int ok = pipe.Connect(30000) && pipe.Transact("ADD_BUNDLE 4," + bundle + "!") == "OK!";
      for (int r = 1; r <= rounds; ++r)
        ok += pipe.Transact("ADD_PORT " + bundle + ",In,COM" + std::to_string(r) + ",Real!") == "OK!";
      return ok;
    }));
  for (int k = 0; k < 16; ++k) {
    EXPECT_EQ(clients[k].get(), rounds + 1) << "client " << k;
    Var bundle, ports;
    *bundle = testsupport::Bstr(L"L" + std::to_wstring(k));
    ASSERT_EQ(GetPortsNamesByBundleAndSide(bundle.copy(), 0, ports.get()), 1);
    LONG upper = -1;
    EXPECT_EQ(SafeArrayGetUBound(ports->parray, 1, &upper), S_OK);
    EXPECT_EQ(upper + 1, rounds) << "client " << k;
  }
}
