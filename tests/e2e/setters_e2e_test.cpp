// The eleven setters end to end (issues 5, 6, 7): options (Part 3.3), real
// port parameters (Part 4.2), port permission masks (Part 4.3) and share
// permissions (Part 5.1) set through the real lumbrex.dll, carried out by the
// stand-in service, and read back from the registry and through the
// library's getters.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/e2e_fixture.h"
#include "lumbrex.h"
#include "support/variants.h"

using namespace e2e;
using testsupport::Bstr;
using testsupport::EnumValueNamesDirect;
using testsupport::I4;
using testsupport::kView32;
using testsupport::kView64;
using testsupport::Var;
using Names = std::vector<std::wstring>;
using Rows = std::vector<std::pair<std::wstring, std::wstring>>;

namespace {

// ---- Part 3.3 ---------------------------------------------------------------

struct Option {
  int(WINAPI* set)(int);
  int(WINAPI* get)(unsigned int*);
  const wchar_t* value;
  bool driverKey;  // "StrictBaudrate" lives under korrin9, the others in the root key's 32-bit view
};
const Option kOptions[] = {
    {&OptionSetAutoOpenPort, &OptionGetPortsAutoOpen, L"AutoOpen", false},
    {&OptionSetIgnoreErrors, &OptionGetIgnoreErrorsOnPortCreation, L"IgnoreError", false},
    {&OptionSetPortToPrint, &OptionGetPortToPrint, L"Prints", false},
    {&OptionSetOnlyMainPortCanSend, &OptionGetIfSendToMainSet, L"SendDataOnlyMainPort", false},
    {&OptionSetBaudrateEmulation, &OptionGetBaudrateEmulation, L"StrictBaudrate", true},
};

std::optional<DWORD> StoredOption(const Option& option) {
  return option.driverKey ? ReadDword(kDriver, option.value, kView64) : ReadDword(kRoot, option.value, kView32);
}

std::optional<unsigned> GetOption(const Option& option) {
  unsigned value = 0xDEADBEEF;
  if (option.get(&value) != 1) return std::nullopt;
  return value;
}

class Part3_3_EndToEnd : public EndToEndTest {};

// ---- Parts 4.2, 4.3 -----------------------------------------------------------

int SetParameters(const std::wstring& bundle, int side, const std::wstring& port, int baudrate, int parity,
                  int dataBits, int stopBits, int flowControl) {
  Var b, p;
  *b = Bstr(bundle);
  *p = Bstr(port);
  return BundleSetRealPortParameters(b.copy(), side, p.copy(), baudrate, parity, dataBits, stopBits, flowControl);
}

int SetDynamic(const std::wstring& bundle, int side, const std::wstring& port) {
  Var b, p;
  *b = Bstr(bundle);
  *p = Bstr(port);
  return BundleSetDynamicParametersForRealPort(b.copy(), side, p.copy());
}

int SetPermissions(const std::wstring& bundle, int side, const std::wstring& port, int mask) {
  Var b, p;
  *b = Bstr(bundle);
  *p = Bstr(port);
  return BundlePortSetPermissions(b.copy(), side, p.copy(), I4(mask));  // the export clears the mask
}

class Part4_2_EndToEnd : public EndToEndTest {
 protected:
  void SetUp() override {
    EndToEndTest::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_EQ(Add(L"B"), 1);
    ASSERT_EQ(AddPort(L"B", 0, L"COM1", 1), 1);
    ASSERT_EQ(AddPort(L"B", 1, L"COM2", 1), 1);
  }
};
class Part4_3_EndToEnd : public Part4_2_EndToEnd {};

// ---- Part 5.1 -----------------------------------------------------------------

int SetApp(const std::wstring& bundle, int side, const std::wstring& port, const std::wstring& application,
           VARIANT permission) {
  Var b, p, a;
  *b = Bstr(bundle);
  *p = Bstr(port);
  *a = Bstr(application);
  return SharedPortSetPermissionsForApp(b.copy(), side, p.copy(), a.copy(), permission);
}

int SetDefault(const std::wstring& bundle, int side, const std::wstring& port, const std::wstring& application) {
  Var b, p, a;
  *b = Bstr(bundle);
  *p = Bstr(port);
  *a = Bstr(application);
  return SharedSetDefaultPermissions(b.copy(), side, p.copy(), a.copy());
}

int DelAll(const std::wstring& bundle, int side, const std::wstring& port) {
  Var b, p;
  *b = Bstr(bundle);
  *p = Bstr(port);
  return SharedDelAllPermissions(b.copy(), side, p.copy());
}

class Part5_1_EndToEnd : public EndToEndTest {
 protected:
  void SetUp() override {
    EndToEndTest::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_EQ(Add(L"B"), 1);
    ASSERT_EQ(AddPort(L"B", 0, L"COM7", 4), 1);
    ASSERT_EQ(AddPort(L"B", 1, L"COM8", 4), 1);
  }
};

// The rows as the registry enumerates them, read directly.
Rows DirectRows(const std::wstring& port) {
  Rows rows;
  for (const std::wstring& name : EnumValueNamesDirect(PermissionsKey(port))) {
    const auto value = ReadDword(PermissionsKey(port), name);
    rows.emplace_back(name, value ? std::to_wstring(static_cast<int32_t>(*value)) : L"<not a DWORD>");
  }
  return rows;
}

}  // namespace

// ---- Part 3.3: options ----------------------------------------------------------

TEST_F(Part3_3_EndToEnd, EachSetterStoresItsOptionAndTheGettersReadAllFive) {
  for (const Option& option : kOptions) {
    EXPECT_EQ(GetOption(option), std::nullopt) << option.value;  // nothing stored yet
    EXPECT_EQ(QKGetLastError(), 2u);
  }
  // Switched on one at a time: each setter sends all five, the others as read.
  for (size_t i = 0; i < std::size(kOptions); ++i) {
    SCOPED_TRACE(kOptions[i].value);
    ASSERT_EQ(kOptions[i].set(1), 1);
    for (size_t j = 0; j < std::size(kOptions); ++j) {
      const unsigned expected = j <= i ? 1 : 0;
      EXPECT_EQ(StoredOption(kOptions[j]), expected) << kOptions[j].value;
      EXPECT_EQ(GetOption(kOptions[j]), expected) << kOptions[j].value;
    }
  }
  // The root-key options are in the 32-bit view only.
  for (size_t i = 0; i < 4; ++i) EXPECT_FALSE(ValueExists(kRoot, kOptions[i].value, kView64)) << kOptions[i].value;
  // Switched off one at a time.
  for (size_t i = 0; i < std::size(kOptions); ++i) {
    SCOPED_TRACE(kOptions[i].value);
    ASSERT_EQ(kOptions[i].set(0), 1);
    for (size_t j = 0; j < std::size(kOptions); ++j) {
      const unsigned expected = j <= i ? 0 : 1;
      EXPECT_EQ(StoredOption(kOptions[j]), expected) << kOptions[j].value;
      EXPECT_EQ(GetOption(kOptions[j]), expected) << kOptions[j].value;
    }
  }
}

TEST_F(Part3_3_EndToEnd, ANonZeroArgumentIsStoredAsOne) {
  for (const Option& option : kOptions) {
    SCOPED_TRACE(option.value);
    ASSERT_EQ(option.set(7), 1);
    EXPECT_EQ(GetOption(option), 1u);
    ASSERT_EQ(option.set(-1), 1);
    EXPECT_EQ(StoredOption(option), 1u);
    ASSERT_EQ(option.set(0), 1);
    EXPECT_EQ(GetOption(option), 0u);
  }
}

TEST_F(Part3_3_EndToEnd, AStoredFiveIsReadAsFiveAndRewrittenAsOneByAnotherSetter) {
  ASSERT_EQ(testsupport::SetDword(kRoot, L"AutoOpen", 5, kView32), ERROR_SUCCESS);
  EXPECT_EQ(GetOption(kOptions[0]), 5u);
  ASSERT_EQ(OptionSetIgnoreErrors(1), 1);
  EXPECT_EQ(StoredOption(kOptions[0]), 1u);
  EXPECT_EQ(GetOption(kOptions[0]), 1u);
  EXPECT_EQ(GetOption(kOptions[1]), 1u);
  EXPECT_EQ(GetOption(kOptions[4]), 0u);  // korrin9 made by the service
}

TEST_F(Part3_3_EndToEnd, WithoutAConnectionASetterChangesNothing) {
  ASSERT_EQ(DisconnectFromService(), 1);
  for (const Option& option : kOptions) EXPECT_EQ(option.set(1), 0) << option.value;
  EXPECT_EQ(QKGetLastError(), 0u);
  for (const Option& option : kOptions) EXPECT_EQ(StoredOption(option), std::nullopt) << option.value;
}

// ---- Part 4.2: real port parameters ----------------------------------------------

TEST_F(Part4_2_EndToEnd, SetParametersAreStoredAndReadBack) {
  ASSERT_EQ(SetParameters(L"B", 0, L"COM1", 19200, 2, 7, 1, 1), 1);
  EXPECT_EQ(ReadString(SideKey(L"B", 0), L"COM1"), L"Real|19200,E,7,1,X|1|1");
  const Parameters p = GetParameters(L"B", 0, L"COM1");
  EXPECT_EQ(p.result, 1);
  EXPECT_EQ(p.baudrate, 19200);
  EXPECT_EQ(p.parity, 2);
  EXPECT_EQ(p.dataBits, 7);
  EXPECT_EQ(p.stopBits, 1);
  EXPECT_EQ(p.flowControl, 1);
  EXPECT_EQ(AreDynamic(L"B", 0, L"COM1"), 0);
  // The kind and the permission bits are kept.
  EXPECT_EQ(PortType(L"B", 0, L"COM1"), 1);
  EXPECT_EQ(PortPermissions(L"B", 0, L"COM1"), 3);
  // The other side's port is untouched.
  EXPECT_EQ(ReadString(SideKey(L"B", 1), L"COM2"), L"Real||1|1");
  EXPECT_EQ(AreDynamic(L"B", 1, L"COM2"), 1);
  EXPECT_EQ(QKGetLastError(), 0u);
}

TEST_F(Part4_2_EndToEnd, EveryParityAndFlowControlRoundTripsThroughTheService) {
  for (int parity = 0; parity <= 4; ++parity) {
    for (int flow = 0; flow <= 2; ++flow) {
      SCOPED_TRACE(std::to_string(parity) + "/" + std::to_string(flow));
      const int baudrate = 1200 * (parity + 1) + flow;
      const int dataBits = 5 + (parity + flow) % 4;
      const int stopBits = (parity + 2 * flow) % 3;
      ASSERT_EQ(SetParameters(L"B", 1, L"COM2", baudrate, parity, dataBits, stopBits, flow), 1);
      const Parameters p = GetParameters(L"B", 1, L"COM2");
      EXPECT_EQ(p.result, 1);
      EXPECT_EQ(p.baudrate, baudrate);
      EXPECT_EQ(p.parity, parity);
      EXPECT_EQ(p.dataBits, dataBits);
      EXPECT_EQ(p.stopBits, stopBits);
      EXPECT_EQ(p.flowControl, flow == 0 ? -7 : flow);  // no flow field: left unwritten (Part 4.1)
      EXPECT_EQ(AreDynamic(L"B", 1, L"COM2"), 0);
    }
  }
  EXPECT_EQ(ReadString(SideKey(L"B", 1), L"COM2"), L"Real|6002,S,7,2,P|1|1");
}

TEST_F(Part4_2_EndToEnd, BaudrateZeroIsAcceptedAndStored) {
  ASSERT_EQ(SetParameters(L"B", 0, L"COM1", 0, 0, 8, 0, 0), 1);
  EXPECT_EQ(ReadString(SideKey(L"B", 0), L"COM1"), L"Real|0,N,8,0|1|1");
  const Parameters p = GetParameters(L"B", 0, L"COM1");
  EXPECT_EQ(p.result, 1);
  EXPECT_EQ(p.baudrate, 0);
}

TEST_F(Part4_2_EndToEnd, DynamicParametersClearTheTextAndKeepThePermissionBits) {
  ASSERT_EQ(SetParameters(L"B", 0, L"COM1", 9600, 0, 8, 0, 0), 1);
  ASSERT_EQ(SetPermissions(L"B", 0, L"COM1", 1), 1);
  ASSERT_EQ(SetDynamic(L"B", 0, L"COM1"), 1);
  EXPECT_EQ(ReadString(SideKey(L"B", 0), L"COM1"), L"Real||0|1");
  EXPECT_EQ(AreDynamic(L"B", 0, L"COM1"), 1);
  const Parameters p = GetParameters(L"B", 0, L"COM1");
  EXPECT_EQ(p.result, 0);
  EXPECT_EQ(p.baudrate, -7);
  EXPECT_EQ(PortPermissions(L"B", 0, L"COM1"), 1);
  // And fixed again, still with the stored bits.
  ASSERT_EQ(SetParameters(L"B", 0, L"COM1", 115200, 2, 7, 2, 2), 1);
  EXPECT_EQ(ReadString(SideKey(L"B", 0), L"COM1"), L"Real|115200,E,7,2,P|0|1");
  EXPECT_EQ(PortPermissions(L"B", 0, L"COM1"), 1);
  EXPECT_EQ(GetParameters(L"B", 0, L"COM1").baudrate, 115200);
}

TEST_F(Part4_2_EndToEnd, OutOfRangeValuesAreRefusedAndNothingChanges) {
  ASSERT_EQ(SetParameters(L"B", 0, L"COM1", 9600, 0, 8, 0, 0), 1);
  const struct {
    int parity, dataBits, stopBits, flow;
  } bad[] = {{5, 8, 0, 0}, {-1, 8, 0, 0}, {0, 4, 0, 0}, {0, 9, 0, 0}, {0, 8, 3, 0}, {0, 8, 0, 3}};
  for (const auto& b : bad) {
    EXPECT_EQ(SetParameters(L"B", 0, L"COM1", 19200, b.parity, b.dataBits, b.stopBits, b.flow), 0);
    EXPECT_EQ(QKGetLastError(), 13u);
  }
  EXPECT_EQ(SetParameters(L"B", 2, L"COM1", 19200, 0, 8, 0, 0), 0);
  EXPECT_EQ(QKGetLastError(), 13u);
  EXPECT_EQ(ReadString(SideKey(L"B", 0), L"COM1"), L"Real|9600,N,8,0|1|1");
  EXPECT_EQ(GetParameters(L"B", 0, L"COM1").baudrate, 9600);
}

TEST_F(Part4_2_EndToEnd, AMissingPortIsRefusedByTheServiceAndNotCreated) {
  EXPECT_EQ(SetParameters(L"B", 0, L"COM9", 9600, 0, 8, 0, 0), 0);
  EXPECT_EQ(SetDynamic(L"B", 0, L"COM9"), 0);
  EXPECT_EQ(SetParameters(L"Missing", 0, L"COM1", 9600, 0, 8, 0, 0), 0);
  EXPECT_EQ(SetParameters(L"B", 1, L"COM1", 9600, 0, 8, 0, 0), 0);  // COM1 is on the input side
  EXPECT_EQ(QKGetLastError(), 0u);
  EXPECT_FALSE(ValueExists(SideKey(L"B", 0), L"COM9"));
  EXPECT_FALSE(ValueExists(SideKey(L"B", 1), L"COM1"));
  EXPECT_FALSE(KeyExists(BundleKey(L"Missing")));
  EXPECT_EQ(PortNames(L"B", 0), Names{L"COM1"});
}

TEST_F(Part4_2_EndToEnd, ParametersOfAVirtualPortAreStoredAsForAnyPort) {
  ASSERT_EQ(AddPort(L"B", 0, L"VCOM1", 2), 1);
  ASSERT_EQ(SetParameters(L"B", 0, L"VCOM1", 38400, 1, 8, 0, 0), 1);
  EXPECT_EQ(ReadString(SideKey(L"B", 0), L"VCOM1"), L"Virtual|38400,O,8,0|1|1");
  EXPECT_EQ(PortType(L"B", 0, L"VCOM1"), 2);
  EXPECT_EQ(GetParameters(L"B", 0, L"VCOM1").parity, 1);
}

// ---- Part 4.3: port permission masks -----------------------------------------------

TEST_F(Part4_3_EndToEnd, EachMaskIsStoredAndReadBackKeepingTheParameters) {
  ASSERT_EQ(SetParameters(L"B", 0, L"COM1", 9600, 0, 8, 0, 1), 1);
  const wchar_t* entries[] = {L"Real|9600,n,8,0,x|0|0", L"Real|9600,n,8,0,x|0|1", L"Real|9600,n,8,0,x|1|0",
                              L"Real|9600,n,8,0,x|1|1"};
  for (int mask = 0; mask <= 3; ++mask) {
    SCOPED_TRACE(mask);
    ASSERT_EQ(SetPermissions(L"B", 0, L"COM1", mask), 1);
    // The parameter text travels back as the library read it: lower case.
    EXPECT_EQ(ReadString(SideKey(L"B", 0), L"COM1"), entries[mask]);
    EXPECT_EQ(PortPermissions(L"B", 0, L"COM1"), mask);
    const Parameters p = GetParameters(L"B", 0, L"COM1");
    EXPECT_EQ(p.result, 1);
    EXPECT_EQ(p.baudrate, 9600);
    EXPECT_EQ(p.flowControl, 1);
    EXPECT_EQ(PortType(L"B", 0, L"COM1"), 1);
  }
  EXPECT_EQ(PortPermissions(L"B", 1, L"COM2"), 3);  // the other port keeps its bits
}

TEST_F(Part4_3_EndToEnd, OnlyTheTwoLowBitsOfTheMaskCount) {
  ASSERT_EQ(SetPermissions(L"B", 0, L"COM1", 5), 1);
  EXPECT_EQ(PortPermissions(L"B", 0, L"COM1"), 1);
  ASSERT_EQ(SetPermissions(L"B", 0, L"COM1", -1), 1);
  EXPECT_EQ(PortPermissions(L"B", 0, L"COM1"), 3);
  ASSERT_EQ(SetPermissions(L"B", 0, L"COM1", 6), 1);
  EXPECT_EQ(PortPermissions(L"B", 0, L"COM1"), 2);
  EXPECT_EQ(ReadString(SideKey(L"B", 0), L"COM1"), L"Real||1|0");
  EXPECT_EQ(AreDynamic(L"B", 0, L"COM1"), 1);
}

TEST_F(Part4_3_EndToEnd, EveryPortKindHasItsMaskAndAnySideOtherThanZeroIsTheOutputSide) {
  ASSERT_EQ(AddPort(L"B", 1, L"SH1", 4), 1);
  ASSERT_EQ(AddPort(L"B", 1, L"SW1", 8), 1);
  ASSERT_EQ(SetPermissions(L"B", 7, L"SH1", 2), 1);
  ASSERT_EQ(SetPermissions(L"B", 1, L"SW1", 0), 1);
  EXPECT_EQ(ReadString(SideKey(L"B", 1), L"SH1"), L"Shared||1|0");
  EXPECT_EQ(ReadString(SideKey(L"B", 1), L"SW1"), L"Switcher||0|0");
  EXPECT_EQ(PortPermissions(L"B", 1, L"SH1"), 2);
  EXPECT_EQ(PortPermissions(L"B", 7, L"SW1"), 0);
  EXPECT_EQ(PortType(L"B", 1, L"SH1"), 4);
  EXPECT_EQ(PortType(L"B", 1, L"SW1"), 8);
}

TEST_F(Part4_3_EndToEnd, AMissingPortFailsWithTwoAndNothingIsSent) {
  EXPECT_EQ(SetPermissions(L"B", 0, L"COM9", 1), 0);
  EXPECT_EQ(QKGetLastError(), 2u);
  EXPECT_EQ(PortPermissions(L"B", 0, L"COM9"), std::nullopt);
  EXPECT_FALSE(ValueExists(SideKey(L"B", 0), L"COM9"));
  EXPECT_EQ(SetPermissions(L"Missing", 0, L"COM1", 1), 0);
  EXPECT_EQ(QKGetLastError(), 2u);
}

// ---- Part 5.1: share permissions --------------------------------------------------

TEST_F(Part5_1_EndToEnd, PermissionsSetForApplicationsAreReadBackInRegistryOrder) {
  ASSERT_EQ(SetApp(L"B", 0, L"COM7", L"app1", I4(3)), 1);
  ASSERT_EQ(SetApp(L"B", 0, L"COM7", L"app2", I4(1)), 1);
  ASSERT_EQ(SetApp(L"B", 0, L"COM7", L"app3", I4(7)), 1);
  EXPECT_EQ(ReadDword(PermissionsKey(L"COM7"), L"app1"), 3u);
  EXPECT_EQ(ReadDword(PermissionsKey(L"COM7"), L"app2"), 1u);
  EXPECT_EQ(ReadDword(PermissionsKey(L"COM7"), L"app3"), 7u);
  const Rows direct = DirectRows(L"COM7");
  EXPECT_EQ(direct.size(), 3u);
  const AppPermissions read = GetAppPermissions(L"B", 0, L"COM7");
  EXPECT_EQ(read.result, 1);
  EXPECT_EQ(read.rows, direct);
  // Bundle and side select nothing when reading (Part 5.1).
  EXPECT_EQ(GetAppPermissions(L"Other", 1, L"COM7").rows, direct);
  // Changed in place.
  ASSERT_EQ(SetApp(L"B", 0, L"COM7", L"app2", I4(4)), 1);
  EXPECT_EQ(ReadDword(PermissionsKey(L"COM7"), L"app2"), 4u);
  const Rows changed = GetAppPermissions(L"B", 0, L"COM7").rows;
  EXPECT_EQ(changed, DirectRows(L"COM7"));
  EXPECT_EQ(changed.size(), 3u);
  EXPECT_EQ(QKGetLastError(), 0u);
}

TEST_F(Part5_1_EndToEnd, AcceptedValuesAreStoredAsSentAndRefusedOnesReachNothing) {
  ASSERT_EQ(SetApp(L"B", 1, L"COM8", L"zero", I4(0)), 1);
  ASSERT_EQ(SetApp(L"B", 1, L"COM8", L"nine", I4(9)), 1);
  ASSERT_EQ(SetApp(L"B", 1, L"COM8", L"minus", I4(-1)), 1);
  ASSERT_EQ(SetApp(L"B", 1, L"COM8", L"wide", testsupport::I8(3)), 1);
  EXPECT_EQ(ReadDword(PermissionsKey(L"COM8"), L"zero"), 0u);
  EXPECT_EQ(ReadDword(PermissionsKey(L"COM8"), L"nine"), 9u);
  EXPECT_EQ(ReadDword(PermissionsKey(L"COM8"), L"minus"), 0xFFFFFFFFu);
  EXPECT_EQ(ReadDword(PermissionsKey(L"COM8"), L"wide"), 3u);
  const AppPermissions read = GetAppPermissions(L"B", 1, L"COM8");
  EXPECT_EQ(read.rows, DirectRows(L"COM8"));
  for (const auto& row : read.rows)
    if (row.first == L"minus") {
      EXPECT_EQ(row.second, L"-1");
    }

  EXPECT_EQ(SetApp(L"B", 1, L"COM8", L"eight", I4(8)), 0);
  EXPECT_EQ(QKGetLastError(), 13u);
  EXPECT_EQ(SetApp(L"B", 1, L"COM-8", L"app", I4(3)), 0);
  EXPECT_EQ(QKGetLastError(), 13u);
  EXPECT_FALSE(ValueExists(PermissionsKey(L"COM8"), L"eight"));
  EXPECT_EQ(GetAppPermissions(L"B", 1, L"COM8").rows.size(), 4u);
}

TEST_F(Part5_1_EndToEnd, ApplicationNamesWithTheEscapedCharactersArriveWhole) {
  const std::wstring names[] = {L"a!b", L"c,d", L"e@f", L"@1@2@3", L"C:\\Program Files\\app.exe", L"caf\u00e9"};
  for (const std::wstring& name : names) ASSERT_EQ(SetApp(L"B", 0, L"COM7", name, I4(2)), 1) << name.c_str();
  for (const std::wstring& name : names) EXPECT_EQ(ReadDword(PermissionsKey(L"COM7"), name), 2u) << name.c_str();
  const Rows read = GetAppPermissions(L"B", 0, L"COM7").rows;
  EXPECT_EQ(read, DirectRows(L"COM7"));
  EXPECT_EQ(read.size(), std::size(names));
}

TEST_F(Part5_1_EndToEnd, DefaultPermissionsAreThree) {
  ASSERT_EQ(SetApp(L"B", 0, L"COM7", L"app", I4(4)), 1);
  ASSERT_EQ(SetDefault(L"B", 0, L"COM7", L"app"), 1);
  ASSERT_EQ(SetDefault(L"B", 0, L"COM7", L"new"), 1);
  EXPECT_EQ(ReadDword(PermissionsKey(L"COM7"), L"app"), 3u);
  EXPECT_EQ(ReadDword(PermissionsKey(L"COM7"), L"new"), 3u);
  const Rows read = GetAppPermissions(L"B", 0, L"COM7").rows;
  EXPECT_EQ(read, DirectRows(L"COM7"));
  for (const auto& row : read) EXPECT_EQ(row.second, L"3");
}

TEST_F(Part5_1_EndToEnd, DelAllSetsEveryApplicationBackToThree) {
  ASSERT_EQ(SetApp(L"B", 0, L"COM7", L"app1", I4(1)), 1);
  ASSERT_EQ(SetApp(L"B", 0, L"COM7", L"app2", I4(0)), 1);
  ASSERT_EQ(SetApp(L"B", 0, L"COM7", L"app3", I4(6)), 1);
  ASSERT_EQ(SetApp(L"B", 1, L"COM8", L"other", I4(1)), 1);
  EXPECT_EQ(DelAll(L"B", 0, L"COM7"), 1);
  const Rows read = GetAppPermissions(L"B", 0, L"COM7").rows;
  EXPECT_EQ(read, DirectRows(L"COM7"));
  EXPECT_EQ(read.size(), 3u);
  for (const auto& row : read) EXPECT_EQ(row.second, L"3") << row.first.c_str();
  EXPECT_EQ(ReadDword(PermissionsKey(L"COM8"), L"other"), 1u);  // another port untouched
}

TEST_F(Part5_1_EndToEnd, APortWithoutPermissionsKeyReadsEmptyAndDelAllSendsNothing) {
  const AppPermissions read = GetAppPermissions(L"B", 0, L"COM7");
  EXPECT_EQ(read.result, 1);
  EXPECT_EQ(read.applicationsType, VT_EMPTY);
  EXPECT_EQ(QKGetLastError(), 2u);
  EXPECT_EQ(DelAll(L"B", 0, L"COM7"), 1);
  EXPECT_EQ(QKGetLastError(), 2u);
  EXPECT_FALSE(KeyExists(PermissionsKey(L"COM7")));
}

TEST_F(Part5_1_EndToEnd, APortNotOnThatSideIsRefusedByTheServiceAndNoKeyIsMade) {
  EXPECT_EQ(SetApp(L"B", 1, L"COM7", L"app", I4(3)), 0);  // COM7 is on the input side
  EXPECT_EQ(SetApp(L"B", 0, L"COM9", L"app", I4(3)), 0);
  EXPECT_EQ(SetApp(L"Missing", 0, L"COM7", L"app", I4(3)), 0);
  EXPECT_EQ(SetDefault(L"B", 0, L"COM9", L"app"), 0);
  EXPECT_EQ(QKGetLastError(), 0u);
  EXPECT_FALSE(KeyExists(PermissionsKey(L"COM7")));
  EXPECT_FALSE(KeyExists(PermissionsKey(L"COM9")));
}
