// The round trip users rely on: every changing export once through lumbrex.dll and the stand-in service, each
// change read back through the library's readers; then what the stand-in driver says about a shared port.
#include <gtest/gtest.h>

#include <deque>
#include <functional>

#include "driver/control/answer_builder.h"
#include "lumbrex.h"
#include "driver/control/standin_driver.h"
#include "support/driver_owners.h"
#include "support/registry_fixture.h"
#include "support/service_connection.h"
#include "support/service_process.h"
#include "support/variants.h"

namespace {

using namespace testsupport;

// A string argument (a VT_BSTR) that lives as long as the test program.
VARIANT Arg(const wchar_t* text) {
  static std::deque<Var> held;
  *held.emplace_back() = Bstr(text);
  return held.back().copy();
}
const VARIANT kBundle = Arg(L"E2E"), kCom3 = Arg(L"COM3"), kCom7 = Arg(L"COM7"), kApp = Arg(L"a,b!@");

// A result as text: arrays as "[a,b]", VT_EMPTY as "".
std::wstring Text(const VARIANT& v) {
  Var item;
  if (!(v.vt & VT_ARRAY))
    return SUCCEEDED(VariantChangeType(item.get(), const_cast<VARIANT*>(&v), 0, VT_BSTR)) ? TextOf(*item) : L"?";
  LONG low = 0, high = -1;
  SafeArrayGetLBound(v.parray, 1, &low);
  SafeArrayGetUBound(v.parray, 1, &high);
  std::wstring out;
  for (LONG i = low; i <= high; ++i, VariantClear(item.get())) {
    if ((v.vt & VT_TYPEMASK) == VT_BSTR) item->vt = VT_BSTR;  // else VT_VARIANT: copied whole
    SafeArrayGetElement(v.parray, &i, item->vt == VT_BSTR ? static_cast<void*>(&item->bstrVal) : item.get());
    out += (i > low ? L"," : L"") + Text(*item);
  }
  return L"[" + out + L"]";
}
std::wstring Read(const std::function<int(VARIANT*)>& reader) {
  Var out;
  return reader(out.get()) ? Text(*out) : L"failed " + std::to_wstring(QKGetLastError());
}
// A result or a value, after a space.
std::wstring Number(int number) { return L" " + std::to_wstring(number); }

std::wstring Bundles() { return Read(GetBundlesNames) + Number(GetBundleState(kBundle)); }
std::wstring Port(int side, VARIANT port) {
  return Read([&](VARIANT* v) { return GetPortsNamesByBundleAndSide(kBundle, side, v); }) +
         Read([&](VARIANT* v) { return BundleGetPortType(kBundle, side, port, v); }) +
         Number(BundleGetPortState(kBundle, side, port));
}
std::wstring Com3() {  // main port, parameters, dynamic flag, permission mask
  int p[5] = {-1, -1, -1, -1, -1};
  std::wstring out = Read([](VARIANT* v) { return BundleGetMainPortForSide(kBundle, 0, v); }) +
                     Number(BundleGetRealPortParameters(kBundle, 0, kCom3, &p[0], &p[1], &p[2], &p[3], &p[4]));
  for (int value : p) out += Number(value);
  return out + Number(BundleRealPortAreParametersDynamic(kBundle, 0, kCom3)) + L" mask " +
         Read([](VARIANT* v) { return BundlePortGetPermissions(kBundle, 0, kCom3, v); });
}
std::wstring Apps() {
  Var names, values;
  const std::wstring result = Number(SharedPortGetAppPermissions(kBundle, 1, kCom7, names.get(), values.get()));
  return result + Text(*names) + Text(*values);
}
std::wstring Options() {
  std::wstring out;
  unsigned value = 0;
  for (auto get : {OptionGetPortsAutoOpen, OptionGetIgnoreErrorsOnPortCreation, OptionGetPortToPrint,
                   OptionGetIfSendToMainSet, OptionGetBaudrateEmulation})
    out += get(&value) ? std::to_wstring(value) : L"-";
  return out;
}

TEST(EndToEnd, EveryChangeThroughTheServiceReadsBackThroughTheLibrary) {
  ScopedTree vendor64(kVendorKey, kView64), vendor32(kVendorKey, kView32), driverKey(kDriverKey);
  ServiceProcess service;
  ASSERT_TRUE(service.Ready()) << service.Problem();
  const ServiceConnection connection;
  ASSERT_TRUE(connection.connected());
  const struct { int (*call)(); std::wstring (*read)(); std::wstring want; } steps[] = {
      {[] { return AddBundle(kBundle); }, Bundles, L"[E2E] 1"},
      {[] { return BundleAddPort(kBundle, 0, kCom3, I4(1)); }, [] { return Port(0, kCom3); }, L"[COM3]1 1"},
      {[] { return BundleAddPort(kBundle, 1, kCom7, I4(4)); }, [] { return Port(1, kCom7); }, L"[COM7]4 1"},
      {[] { return BundleSetMainPortForSide(kBundle, 0, kCom3); }, Com3, L"COM3 0 -1 -1 -1 -1 -1 1 mask 3"},
      {[] { return BundleSetRealPortParameters(kBundle, 0, kCom3, 19200, 2, 7, 1, 1); }, Com3,
       L"COM3 1 19200 2 7 1 1 0 mask 3"},
      {[] { return BundlePortSetPermissions(kBundle, 0, kCom3, I4(2)); }, Com3, L"COM3 1 19200 2 7 1 1 0 mask 2"},
      {[] { return BundleSetDynamicParametersForRealPort(kBundle, 0, kCom3); }, Com3,
       L"COM3 0 -1 -1 -1 -1 -1 1 mask 2"},
      {[] { return SharedPortSetPermissionsForApp(kBundle, 1, kCom7, kApp, I4(5)); }, Apps, L" 1[a,b!@][5]"},
      {[] { return SharedSetDefaultPermissions(kBundle, 1, kCom7, Arg(L"new.exe")); }, Apps, L" 1[a,b!@,new.exe][5,3]"},
      {[] { return SharedDelAllPermissions(kBundle, 1, kCom7); }, Apps, L" 1[a,b!@,new.exe][3,3]"},
      {[] { return OptionSetAutoOpenPort(1); }, Options, L"10000"},
      {[] { return OptionSetIgnoreErrors(1); }, Options, L"11000"},
      {[] { return OptionSetPortToPrint(1); }, Options, L"11100"},
      {[] { return OptionSetOnlyMainPortCanSend(1); }, Options, L"11110"},
      {[] { return OptionSetBaudrateEmulation(1); }, Options, L"11111"},
      {[] { return BundleDeletePort(kBundle, 1, kCom7); }, [] { return Port(1, kCom7); }, L"failed 2 0"},
      {[] { return DeleteBundle(kBundle); }, Bundles, L" 0"},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(&step - steps);
    EXPECT_EQ(step.call(), 1);
    EXPECT_EQ(step.read(), step.want);
  }
  EXPECT_EQ(DisconnectFromService(), 1);

  // The driver's answer, its port names matched without regard to case.
  const StandinDriverInUse driver;
  ASSERT_EQ(driver.problem(), L"");
  ASSERT_EQ(standin_driver::StandinSetAnswer(standin_driver::BuildAnswer(
                {{u"COM7", u"term.exe", 0, 10, 11, 12}, {u"COM8", u"other.exe"}, {u"com7", u"log.exe", 0, 1}})),
            0u);
  EXPECT_EQ(Read([](VARIANT* v) { return SharedGetPortApplications(kCom7, v); }),
            L"[[term.exe,10,12,11],[log.exe,1,0,0]]");
}

}  // namespace
