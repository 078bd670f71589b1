// Part 2.4 (with the formats of Part 2.2): every command sent over a raw pipe
// to lumbrex-service.exe, its effect read back straight from the registry in
// the layout of Parts 3.1, 3.3, 4.1 and 5.1.
#include <gtest/gtest.h>

#include <algorithm>

#include "service/service_fixture.h"

using namespace servicetest;
using testsupport::kView32;
using testsupport::kView64;

namespace {

class Part2_4_Service : public ServiceTest {
 protected:
  // A bundle B1 with the given port on the input side.
  void MakeBundleWithPort(const std::string& port = "COM3", const std::string& type = "Real") {
    ASSERT_EQ(Command("ADD_BUNDLE 4,B1!"), "OK!");
    ASSERT_EQ(Command("ADD_PORT B1,In," + port + "," + type + "!"), "OK!");
  }
};

// --- ADD_BUNDLE -------------------------------------------------------------

TEST_F(Part2_4_Service, AddBundleMakesTheBundleKeyWithSidesAndEmptyMainPorts) {
  EXPECT_EQ(Command("ADD_BUNDLE 4,B1!"), "OK!");
  EXPECT_TRUE(KeyExists(BundleKey(L"B1")));
  EXPECT_TRUE(KeyExists(SideKey(L"B1", L"IN")));
  EXPECT_TRUE(KeyExists(SideKey(L"B1", L"OUT")));
  DWORD type = 0;
  EXPECT_EQ(ReadRawString(BundleKey(L"B1"), L"InMain", kView64, &type), std::wstring(1, L'\0'));
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(ReadRawString(BundleKey(L"B1"), L"OutMain", kView64, &type), std::wstring(1, L'\0'));
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(testsupport::EnumSubkeyNamesDirect(kRoot), std::vector<std::wstring>{L"B1"});
  EXPECT_TRUE(testsupport::EnumValueNamesDirect(SideKey(L"B1", L"IN")).empty());
  // Bundles live in the 64-bit view only.
  EXPECT_FALSE(KeyExists(BundleKey(L"B1"), kView32));
}

TEST_F(Part2_4_Service, AddBundleOfAnExistingNameIsRefusedAndLeavesItUntouched) {
  MakeBundleWithPort();
  EXPECT_EQ(Command("ADD_BUNDLE 4,B1!"), "ERROR!");
  EXPECT_EQ(Command("ADD_BUNDLE 4,b1!"), "ERROR!");  // registry names ignore case
  EXPECT_EQ(ReadString(SideKey(L"B1", L"IN"), L"COM3"), L"Real||1|1");
}

TEST_F(Part2_4_Service, AddBundleTakesAnyNumberButNoBadName) {
  EXPECT_EQ(Command("ADD_BUNDLE 7,B2!"), "OK!");
  EXPECT_EQ(Command("ADD_BUNDLE 4,!"), "ERROR!");
  EXPECT_EQ(Command("ADD_BUNDLE 4,A\\B!"), "ERROR!");
  EXPECT_EQ(Command("ADD_BUNDLE 4,A,B!"), "ERROR!");
  EXPECT_EQ(Command("ADD_BUNDLE x,B3!"), "ERROR!");
  EXPECT_EQ(Command("ADD_BUNDLE -4,B3!"), "ERROR!");
  EXPECT_EQ(Command("ADD_BUNDLE B3!"), "ERROR!");
  EXPECT_EQ(Command("ADD_BUNDLE 4,B3,!"), "ERROR!");
  EXPECT_EQ(Command("ADD_BUNDLE 4," + std::string(256, 'N') + "!"), "ERROR!");
  EXPECT_EQ(Command("ADD_BUNDLE 4," + std::string(255, 'N') + "!"), "OK!");
  EXPECT_EQ(testsupport::EnumSubkeyNamesDirect(kRoot).size(), 2u);
  EXPECT_TRUE(KeyExists(BundleKey(L"B2")));
}

TEST_F(Part2_4_Service, AddBundleConvertsTheAnsiNameToUtf16) {
  // Code page 1252: 0xE9 is U+00E9, 0x80 is U+20AC.
  EXPECT_EQ(Command("ADD_BUNDLE 4,Caf\xE9\x80!"), "OK!");
  EXPECT_EQ(testsupport::EnumSubkeyNamesDirect(kRoot), std::vector<std::wstring>{L"Caf\u00E9\u20AC"});
  EXPECT_EQ(Command(Ansi(L"GET_BUNDLE_STATE Caf\u00E9\u20AC!")), "OK!");
}

// --- DEL_BUNDLE, GET_BUNDLE_STATE, RENAME_BUNDLE ---------------------------

TEST_F(Part2_4_Service, DelBundleRemovesTheWholeBundleAndNothingElse) {
  MakeBundleWithPort();
  ASSERT_EQ(Command("ADD_BUNDLE 4,B2!"), "OK!");
  EXPECT_EQ(Command("DEL_BUNDLE B1!"), "OK!");
  EXPECT_FALSE(KeyExists(BundleKey(L"B1")));
  EXPECT_TRUE(KeyExists(SideKey(L"B2", L"IN")));
  EXPECT_EQ(Command("DEL_BUNDLE B1!"), "ERROR!");
  EXPECT_EQ(Command("DEL_BUNDLE !"), "ERROR!");
  EXPECT_EQ(Command("DEL_BUNDLE B2\\IN!"), "ERROR!");  // no reaching into a bundle
  EXPECT_TRUE(KeyExists(SideKey(L"B2", L"IN")));
}

TEST_F(Part2_4_Service, DelBundleWithoutAnyConfigurationIsRefused) {
  EXPECT_EQ(Command("DEL_BUNDLE B1!"), "ERROR!");
  EXPECT_FALSE(KeyExists(kRoot));
}

TEST_F(Part2_4_Service, GetBundleStateAnswersOkExactlyWhenTheBundleExists) {
  EXPECT_EQ(Command("GET_BUNDLE_STATE B1!"), "ERROR!");
  ASSERT_EQ(Command("ADD_BUNDLE 4,B1!"), "OK!");
  EXPECT_EQ(Command("GET_BUNDLE_STATE B1!"), "OK!");
  EXPECT_EQ(Command("GET_BUNDLE_STATE b1!"), "OK!");
  EXPECT_EQ(Command("GET_BUNDLE_STATE B2!"), "ERROR!");
  // A bundle made by hand counts as well: every subkey of the root is one.
  ASSERT_EQ(testsupport::CreateKey(BundleKey(L"Hand")), ERROR_SUCCESS);
  EXPECT_EQ(Command("GET_BUNDLE_STATE Hand!"), "OK!");
}

TEST_F(Part2_4_Service, RenameBundleMovesTheWholeTree) {
  MakeBundleWithPort();
  ASSERT_EQ(Command("SET_MAIN B1,In,COM3!"), "OK!");
  EXPECT_EQ(Command("RENAME_BUNDLE B1,B9!"), "OK!");
  EXPECT_FALSE(KeyExists(BundleKey(L"B1")));
  EXPECT_EQ(ReadString(SideKey(L"B9", L"IN"), L"COM3"), L"Real||1|1");
  EXPECT_EQ(ReadString(BundleKey(L"B9"), L"InMain"), L"COM3");
  EXPECT_EQ(ReadString(BundleKey(L"B9"), L"OutMain"), L"");
  EXPECT_TRUE(KeyExists(SideKey(L"B9", L"OUT")));
  ASSERT_EQ(Command("ADD_BUNDLE 4,B2!"), "OK!");
  EXPECT_EQ(Command("RENAME_BUNDLE B9,B2!"), "ERROR!");  // the new name is taken
  EXPECT_EQ(Command("RENAME_BUNDLE B1,B3!"), "ERROR!");  // no such bundle
  EXPECT_EQ(Command("RENAME_BUNDLE B9!"), "ERROR!");
  EXPECT_TRUE(KeyExists(SideKey(L"B9", L"IN")));
  EXPECT_FALSE(KeyExists(BundleKey(L"B3")));
}

// --- ADD_PORT, DEL_PORT, GET_PORT_STATE -------------------------------------

TEST_F(Part2_4_Service, AddPortWritesTheKindWordEmptyParametersAndBothBits) {
  ASSERT_EQ(Command("ADD_BUNDLE 4,B1!"), "OK!");
  EXPECT_EQ(Command("ADD_PORT B1,In,COM1,Real!"), "OK!");
  EXPECT_EQ(Command("ADD_PORT B1,In,CNCA0,Virtual!"), "OK!");
  EXPECT_EQ(Command("ADD_PORT B1,Out,COM7,Shared!"), "OK!");
  EXPECT_EQ(Command("ADD_PORT B1,Out,SW1,Switcher!"), "OK!");
  EXPECT_EQ(Command("ADD_PORT B1,Out,K1,KOLM!"), "OK!");
  DWORD type = 0;
  EXPECT_EQ(ReadRawString(SideKey(L"B1", L"IN"), L"COM1", kView64, &type), std::wstring(L"Real||1|1") + L'\0');
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(ReadString(SideKey(L"B1", L"IN"), L"CNCA0"), L"Virtual||1|1");
  EXPECT_EQ(ReadString(SideKey(L"B1", L"OUT"), L"COM7"), L"Shared||1|1");
  EXPECT_EQ(ReadString(SideKey(L"B1", L"OUT"), L"SW1"), L"Switcher||1|1");
  EXPECT_EQ(ReadString(SideKey(L"B1", L"OUT"), L"K1"), L"KOLM||1|1");
  EXPECT_EQ(testsupport::EnumValueNamesDirect(SideKey(L"B1", L"IN")).size(), 2u);
  EXPECT_EQ(testsupport::EnumValueNamesDirect(SideKey(L"B1", L"OUT")).size(), 3u);
  // Main ports are not changed by adding ports.
  EXPECT_EQ(ReadString(BundleKey(L"B1"), L"InMain"), L"");
}

TEST_F(Part2_4_Service, AddPortOfAnExistingPortIsRefusedButTheOtherSideIsFree) {
  MakeBundleWithPort();
  ASSERT_EQ(Command("SET_RPORT_PARAMS B1,In,COM3,9600-N-8-0|1|0!"), "OK!");
  EXPECT_EQ(Command("ADD_PORT B1,In,COM3,Virtual!"), "ERROR!");
  EXPECT_EQ(Command("ADD_PORT B1,In,com3,Real!"), "ERROR!");
  EXPECT_EQ(ReadString(SideKey(L"B1", L"IN"), L"COM3"), L"Real|9600,N,8,0|1|0");
  EXPECT_EQ(Command("ADD_PORT B1,Out,COM3,Real!"), "OK!");
  EXPECT_EQ(ReadString(SideKey(L"B1", L"OUT"), L"COM3"), L"Real||1|1");
}

TEST_F(Part2_4_Service, AddPortRefusesMissingBundlesAndBadFields) {
  EXPECT_EQ(Command("ADD_PORT B1,In,COM1,Real!"), "ERROR!");
  EXPECT_FALSE(KeyExists(BundleKey(L"B1")));
  ASSERT_EQ(Command("ADD_BUNDLE 4,B1!"), "OK!");
  EXPECT_EQ(Command("ADD_PORT B1,Both,COM1,Real!"), "ERROR!");
  EXPECT_EQ(Command("ADD_PORT B1,In,COM1,Serial!"), "ERROR!");
  EXPECT_EQ(Command("ADD_PORT B1,In,,Real!"), "ERROR!");
  EXPECT_EQ(Command("ADD_PORT B1,In,A\\B,Real!"), "ERROR!");
  EXPECT_EQ(Command("ADD_PORT B1,In,COM1!"), "ERROR!");
  EXPECT_EQ(Command("ADD_PORT B1,In,COM1,Real,1!"), "ERROR!");
  EXPECT_EQ(Command("ADD_PORT B1,In," + std::string(128, 'P') + ",Real!"), "ERROR!");
  EXPECT_TRUE(testsupport::EnumValueNamesDirect(SideKey(L"B1", L"IN")).empty());
  EXPECT_EQ(Command("ADD_PORT B1,In," + std::string(127, 'P') + ",Real!"), "OK!");
}

TEST_F(Part2_4_Service, AddPortRemakesAMissingSideKey) {
  ASSERT_EQ(Command("ADD_BUNDLE 4,B1!"), "OK!");
  ASSERT_EQ(testsupport::DeleteTree(SideKey(L"B1", L"OUT")), ERROR_SUCCESS);
  EXPECT_EQ(Command("ADD_PORT B1,Out,COM2,Real!"), "OK!");
  EXPECT_EQ(ReadString(SideKey(L"B1", L"OUT"), L"COM2"), L"Real||1|1");
}

TEST_F(Part2_4_Service, DelPortRemovesTheEntryAndClearsItAsMainPort) {
  MakeBundleWithPort();
  ASSERT_EQ(Command("ADD_PORT B1,In,COM4,Real!"), "OK!");
  ASSERT_EQ(Command("ADD_PORT B1,Out,COM3,Real!"), "OK!");
  ASSERT_EQ(Command("SET_MAIN B1,In,COM3!"), "OK!");
  ASSERT_EQ(Command("SET_MAIN B1,Out,COM3!"), "OK!");
  EXPECT_EQ(Command("DEL_PORT B1,In,COM3!"), "OK!");
  EXPECT_FALSE(ValueExists(SideKey(L"B1", L"IN"), L"COM3"));
  EXPECT_TRUE(ValueExists(SideKey(L"B1", L"IN"), L"COM4"));
  EXPECT_EQ(ReadString(BundleKey(L"B1"), L"InMain"), L"");
  // The other side keeps its port and its main port.
  EXPECT_EQ(ReadString(SideKey(L"B1", L"OUT"), L"COM3"), L"Real||1|1");
  EXPECT_EQ(ReadString(BundleKey(L"B1"), L"OutMain"), L"COM3");
  EXPECT_EQ(Command("DEL_PORT B1,In,COM3!"), "ERROR!");
  EXPECT_EQ(Command("DEL_PORT B2,In,COM4!"), "ERROR!");
  EXPECT_EQ(Command("DEL_PORT B1,In!"), "ERROR!");
  EXPECT_EQ(Command("DEL_PORT B1,Out,com3!"), "OK!");  // registry names ignore case
  EXPECT_EQ(ReadString(BundleKey(L"B1"), L"OutMain"), L"");
}

TEST_F(Part2_4_Service, DelPortKeepsAMainPortThatIsAnotherPort) {
  MakeBundleWithPort();
  ASSERT_EQ(Command("ADD_PORT B1,In,COM4,Real!"), "OK!");
  ASSERT_EQ(Command("SET_MAIN B1,In,COM4!"), "OK!");
  EXPECT_EQ(Command("DEL_PORT B1,In,COM3!"), "OK!");
  EXPECT_EQ(ReadString(BundleKey(L"B1"), L"InMain"), L"COM4");
}

TEST_F(Part2_4_Service, GetPortStateAnswersOkExactlyWhenThePortIsOnThatSide) {
  MakeBundleWithPort();
  EXPECT_EQ(Command("GET_PORT_STATE B1,In,COM3!"), "OK!");
  EXPECT_EQ(Command("GET_PORT_STATE B1,In,com3!"), "OK!");
  EXPECT_EQ(Command("GET_PORT_STATE B1,Out,COM3!"), "ERROR!");
  EXPECT_EQ(Command("GET_PORT_STATE B1,In,COM4!"), "ERROR!");
  EXPECT_EQ(Command("GET_PORT_STATE B2,In,COM3!"), "ERROR!");
  EXPECT_EQ(Command("GET_PORT_STATE B1,In!"), "ERROR!");
}

// --- SET_MAIN ---------------------------------------------------------------

TEST_F(Part2_4_Service, SetMainWritesTheSidesMainPortValue) {
  MakeBundleWithPort();
  ASSERT_EQ(Command("ADD_PORT B1,Out,COM9,Virtual!"), "OK!");
  EXPECT_EQ(Command("SET_MAIN B1,In,COM3!"), "OK!");
  EXPECT_EQ(Command("SET_MAIN B1,Out,COM9!"), "OK!");
  DWORD type = 0;
  EXPECT_EQ(ReadRawString(BundleKey(L"B1"), L"InMain", kView64, &type), std::wstring(L"COM3") + L'\0');
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(ReadString(BundleKey(L"B1"), L"OutMain"), L"COM9");
}

TEST_F(Part2_4_Service, SetMainRefusesAPortThatIsNotOnThatSide) {
  MakeBundleWithPort();
  ASSERT_EQ(Command("SET_MAIN B1,In,COM3!"), "OK!");
  EXPECT_EQ(Command("SET_MAIN B1,Out,COM3!"), "ERROR!");
  EXPECT_EQ(Command("SET_MAIN B1,In,COM5!"), "ERROR!");
  EXPECT_EQ(Command("SET_MAIN B2,In,COM3!"), "ERROR!");
  EXPECT_EQ(ReadString(BundleKey(L"B1"), L"InMain"), L"COM3");
  EXPECT_EQ(ReadString(BundleKey(L"B1"), L"OutMain"), L"");
}

TEST_F(Part2_4_Service, SetMainWithAnEmptyPortClearsTheMainPort) {
  MakeBundleWithPort();
  ASSERT_EQ(Command("SET_MAIN B1,In,COM3!"), "OK!");
  EXPECT_EQ(Command("SET_MAIN B1,In,!"), "OK!");
  EXPECT_EQ(ReadString(BundleKey(L"B1"), L"InMain"), L"");
}

TEST_F(Part2_4_Service, SetMainStoresThePortNameAsSent) {
  MakeBundleWithPort();
  EXPECT_EQ(Command("SET_MAIN B1,In,com3!"), "OK!");
  EXPECT_EQ(ReadString(BundleKey(L"B1"), L"InMain"), L"com3");
}

// --- SET_RPORT_PARAMS -------------------------------------------------------

TEST_F(Part2_4_Service, SetRportParamsTurnsDashesBackIntoCommasAndKeepsTheKind) {
  MakeBundleWithPort();
  // The Overview's example request.
  EXPECT_EQ(Command("SET_RPORT_PARAMS B1,In,COM3,19200-E-7-1-X|1|0!"), "OK!");
  DWORD type = 0;
  EXPECT_EQ(ReadRawString(SideKey(L"B1", L"IN"), L"COM3", kView64, &type),
            std::wstring(L"Real|19200,E,7,1,X|1|0") + L'\0');
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  // Dynamic parameters: an empty parameter text.
  EXPECT_EQ(Command("SET_RPORT_PARAMS B1,In,COM3,|0|1!"), "OK!");
  EXPECT_EQ(ReadString(SideKey(L"B1", L"IN"), L"COM3"), L"Real||0|1");
}

TEST_F(Part2_4_Service, SetRportParamsKeepsEveryKindWordAsStored) {
  MakeBundleWithPort("CNCA0", "Virtual");
  EXPECT_EQ(Command("SET_RPORT_PARAMS B1,In,CNCA0,9600-N-8-0|1|1!"), "OK!");
  EXPECT_EQ(ReadString(SideKey(L"B1", L"IN"), L"CNCA0"), L"Virtual|9600,N,8,0|1|1");
  // An entry written by someone else: its kind word as it stands (Part 4.1).
  ASSERT_EQ(testsupport::SetString(SideKey(L"B1", L"IN"), L"COM5", L"|r|115200,n,8,0|1|1"), ERROR_SUCCESS);
  EXPECT_EQ(Command("SET_RPORT_PARAMS B1,In,COM5,4800-O-7-2-P|0|0!"), "OK!");
  EXPECT_EQ(ReadString(SideKey(L"B1", L"IN"), L"COM5"), L"r|4800,O,7,2,P|0|0");
}

TEST_F(Part2_4_Service, SetRportParamsStoresTheBitFieldsAsReceived) {
  MakeBundleWithPort();
  EXPECT_EQ(Command("SET_RPORT_PARAMS B1,In,COM3,a-b-c|yes|1|x!"), "OK!");
  EXPECT_EQ(ReadString(SideKey(L"B1", L"IN"), L"COM3"), L"Real|a,b,c|yes|1|x");
}

TEST_F(Part2_4_Service, SetRportParamsRefusesMissingPortsAndFieldsWithoutBits) {
  MakeBundleWithPort();
  EXPECT_EQ(Command("SET_RPORT_PARAMS B1,In,COM4,9600-N-8-0|1|1!"), "ERROR!");
  EXPECT_FALSE(ValueExists(SideKey(L"B1", L"IN"), L"COM4"));
  EXPECT_EQ(Command("SET_RPORT_PARAMS B1,Out,COM3,9600-N-8-0|1|1!"), "ERROR!");
  EXPECT_EQ(Command("SET_RPORT_PARAMS B2,In,COM3,9600-N-8-0|1|1!"), "ERROR!");
  EXPECT_EQ(Command("SET_RPORT_PARAMS B1,In,COM3,9600-N-8-0!"), "ERROR!");
  EXPECT_EQ(Command("SET_RPORT_PARAMS B1,In,COM3,9600-N-8-0|1!"), "ERROR!");
  EXPECT_EQ(Command("SET_RPORT_PARAMS B1,In,COM3,9600,N,8,0|1|1!"), "ERROR!");  // commas split fields
  EXPECT_EQ(ReadString(SideKey(L"B1", L"IN"), L"COM3"), L"Real||1|1");
}

TEST_F(Part2_4_Service, SetRportParamsRefusesAnEntryWithoutKindWordOrOfAnotherType) {
  ASSERT_EQ(Command("ADD_BUNDLE 4,B1!"), "OK!");
  ASSERT_EQ(testsupport::SetString(SideKey(L"B1", L"IN"), L"COM5", L"||"), ERROR_SUCCESS);
  ASSERT_EQ(testsupport::SetDword(SideKey(L"B1", L"IN"), L"COM6", 1), ERROR_SUCCESS);
  EXPECT_EQ(Command("SET_RPORT_PARAMS B1,In,COM5,9600-N-8-0|1|1!"), "ERROR!");
  EXPECT_EQ(Command("SET_RPORT_PARAMS B1,In,COM6,9600-N-8-0|1|1!"), "ERROR!");
  EXPECT_EQ(ReadString(SideKey(L"B1", L"IN"), L"COM5"), L"||");
  EXPECT_EQ(ReadDword(SideKey(L"B1", L"IN"), L"COM6"), 1u);
}

// --- UPDATE_SETTINGS --------------------------------------------------------

TEST_F(Part2_4_Service, UpdateSettingsWritesTheFiveOptionsWhereTheReadersLook) {
  EXPECT_EQ(Command("UPDATE_SETTINGS 1,0,1,0,1!"), "OK!");
  EXPECT_EQ(ReadDword(kRoot, L"AutoOpen", kView32), 1u);
  EXPECT_EQ(ReadDword(kRoot, L"IgnoreError", kView32), 0u);
  EXPECT_EQ(ReadDword(kRoot, L"Prints", kView32), 1u);
  EXPECT_EQ(ReadDword(kRoot, L"SendDataOnlyMainPort", kView32), 0u);
  EXPECT_EQ(ReadDword(kDriver, L"StrictBaudrate"), 1u);
  // Not in the 64-bit view of the root key, so they never look like bundles.
  EXPECT_FALSE(ValueExists(kRoot, L"AutoOpen", kView64));
  EXPECT_TRUE(testsupport::EnumSubkeyNamesDirect(kRoot, kView64).empty());

  EXPECT_EQ(Command("UPDATE_SETTINGS 0,1,0,1,0!"), "OK!");
  EXPECT_EQ(ReadDword(kRoot, L"AutoOpen", kView32), 0u);
  EXPECT_EQ(ReadDword(kRoot, L"IgnoreError", kView32), 1u);
  EXPECT_EQ(ReadDword(kRoot, L"Prints", kView32), 0u);
  EXPECT_EQ(ReadDword(kRoot, L"SendDataOnlyMainPort", kView32), 1u);
  EXPECT_EQ(ReadDword(kDriver, L"StrictBaudrate"), 0u);
}

TEST_F(Part2_4_Service, UpdateSettingsKeepsOtherValuesOfTheDriverKey) {
  ASSERT_EQ(testsupport::SetDword(kDriver, L"Start", 3), ERROR_SUCCESS);
  EXPECT_EQ(Command("UPDATE_SETTINGS 0,0,0,0,1!"), "OK!");
  EXPECT_EQ(ReadDword(kDriver, L"Start"), 3u);
  EXPECT_EQ(ReadDword(kDriver, L"StrictBaudrate"), 1u);
}

TEST_F(Part2_4_Service, UpdateSettingsStoresEightBitValuesAsSentAndRefusesOthers) {
  EXPECT_EQ(Command("UPDATE_SETTINGS 255,2,0,0,7!"), "OK!");
  EXPECT_EQ(ReadDword(kRoot, L"AutoOpen", kView32), 255u);
  EXPECT_EQ(ReadDword(kRoot, L"IgnoreError", kView32), 2u);
  EXPECT_EQ(ReadDword(kDriver, L"StrictBaudrate"), 7u);
  for (const char* bad : {"UPDATE_SETTINGS 256,0,0,0,0!", "UPDATE_SETTINGS 1,0,0,0!", "UPDATE_SETTINGS 1,0,0,0,0,0!",
                          "UPDATE_SETTINGS -1,0,0,0,0!", "UPDATE_SETTINGS 1,0,x,0,0!", "UPDATE_SETTINGS 1,0,,0,0!",
                          "UPDATE_SETTINGS  1,0,0,0,0!", "UPDATE_SETTINGS!"}) {
    EXPECT_EQ(Command(bad), "ERROR!") << bad;
  }
  // Nothing of a refused command was written.
  EXPECT_EQ(ReadDword(kRoot, L"AutoOpen", kView32), 255u);
  EXPECT_EQ(ReadDword(kRoot, L"Prints", kView32), 0u);
}

// --- SET_SHARE_PERMISSION ---------------------------------------------------

TEST_F(Part2_4_Service, SetSharePermissionWritesTheUnescapedApplicationsValue) {
  MakeBundleWithPort("COM7", "Shared");
  EXPECT_EQ(Command("SET_SHARE_PERMISSION B1,In,COM7,a@2b@1,3!"), "OK!");
  EXPECT_EQ(ReadDword(PermissionsKey(L"COM7"), L"a,b!"), 3u);
  EXPECT_EQ(Command("SET_SHARE_PERMISSION B1,In,COM7,x@3y,5!"), "OK!");
  EXPECT_EQ(ReadDword(PermissionsKey(L"COM7"), L"x@y"), 5u);
  // One pass: "@31" is "@" then "1", never "!".
  EXPECT_EQ(Command("SET_SHARE_PERMISSION B1,In,COM7,@31,1!"), "OK!");
  EXPECT_EQ(ReadDword(PermissionsKey(L"COM7"), L"@1"), 1u);
  // Part 2.2's escaping of "@!," gives "@3@1@2".
  EXPECT_EQ(Command("SET_SHARE_PERMISSION B1,In,COM7,@3@1@2,2!"), "OK!");
  EXPECT_EQ(ReadDword(PermissionsKey(L"COM7"), L"@!,"), 2u);
  EXPECT_EQ(testsupport::EnumValueNamesDirect(PermissionsKey(L"COM7")).size(), 4u);
  // Permissions live in the 64-bit view.
  EXPECT_FALSE(KeyExists(PermissionsKey(L"COM7"), kView32));
}

TEST_F(Part2_4_Service, SetSharePermissionOverwritesAndTakesTheWholeValueRange) {
  MakeBundleWithPort("COM7", "Shared");
  EXPECT_EQ(Command("SET_SHARE_PERMISSION B1,In,COM7,app.exe,7!"), "OK!");
  EXPECT_EQ(Command("SET_SHARE_PERMISSION B1,In,COM7,APP.EXE,0!"), "OK!");
  EXPECT_EQ(ReadDword(PermissionsKey(L"COM7"), L"app.exe"), 0u);
  EXPECT_EQ(Command("SET_SHARE_PERMISSION B1,In,COM7,app.exe,9!"), "OK!");
  EXPECT_EQ(ReadDword(PermissionsKey(L"COM7"), L"app.exe"), 9u);
  EXPECT_EQ(Command("SET_SHARE_PERMISSION B1,In,COM7,app.exe,-1!"), "OK!");
  EXPECT_EQ(ReadDword(PermissionsKey(L"COM7"), L"app.exe"), 0xFFFFFFFFu);
  EXPECT_EQ(Command("SET_SHARE_PERMISSION B1,In,COM7,app.exe,2147483647!"), "OK!");
  EXPECT_EQ(ReadDword(PermissionsKey(L"COM7"), L"app.exe"), 0x7FFFFFFFu);
  // Part 5.1: a value without any of the bits 1, 2, 4 is refused.
  for (const char* bad : {"8", "16", "256", "-8", "2147483648", "x", "", "3 "}) {
    EXPECT_EQ(Command(std::string("SET_SHARE_PERMISSION B1,In,COM7,app.exe,") + bad + "!"), "ERROR!") << bad;
  }
  EXPECT_EQ(ReadDword(PermissionsKey(L"COM7"), L"app.exe"), 0x7FFFFFFFu);
}

TEST_F(Part2_4_Service, SetSharePermissionRefusesUnknownPortsAndBadNames) {
  MakeBundleWithPort("COM7", "Shared");
  EXPECT_EQ(Command("SET_SHARE_PERMISSION B1,Out,COM7,app,3!"), "ERROR!");
  EXPECT_EQ(Command("SET_SHARE_PERMISSION B1,In,COM8,app,3!"), "ERROR!");
  EXPECT_EQ(Command("SET_SHARE_PERMISSION B2,In,COM7,app,3!"), "ERROR!");
  EXPECT_EQ(Command("SET_SHARE_PERMISSION B1,In,COM7,,3!"), "ERROR!");
  EXPECT_EQ(Command("SET_SHARE_PERMISSION B1,In,COM7,a@4,3!"), "ERROR!");
  EXPECT_EQ(Command("SET_SHARE_PERMISSION B1,In,COM7,a@,3!"), "ERROR!");
  EXPECT_EQ(Command("SET_SHARE_PERMISSION B1,In,COM7,a,b,3!"), "ERROR!");
  EXPECT_EQ(Command("SET_SHARE_PERMISSION B1,In,COM7," + std::string(128, 'a') + ",3!"), "ERROR!");
  EXPECT_FALSE(KeyExists(PermissionsKey(L"COM7")));
  EXPECT_FALSE(KeyExists(PermissionsKey(L"COM8")));
  EXPECT_EQ(Command("SET_SHARE_PERMISSION B1,In,COM7," + std::string(127, 'a') + ",3!"), "OK!");
}

TEST_F(Part2_4_Service, SetSharePermissionConvertsTheAnsiNameToUtf16) {
  MakeBundleWithPort("COM7", "Shared");
  EXPECT_EQ(Command("SET_SHARE_PERMISSION B1,In,COM7,\xC4pp\x80.exe,1!"), "OK!");
  EXPECT_EQ(ReadDword(PermissionsKey(L"COM7"), L"\u00C4pp\u20AC.exe"), 1u);
}

// --- the exchange itself ----------------------------------------------------

TEST_F(Part2_4_Service, OneConnectionCarriesManyCommandsEachWithExactlyOneReply) {
  EXPECT_EQ(Command("ADD_BUNDLE 4,B1!"), "OK!");
  EXPECT_EQ(Command("ADD_BUNDLE 4,B1!"), "ERROR!");
  EXPECT_EQ(Command("GET_BUNDLE_STATE B1!"), "OK!");
  // Nothing follows a reply's "!": no byte waits in the pipe.
  DWORD available = 1;
  Sleep(100);
  HANDLE pipe = CreateFileW(testsupport::ServiceProcess::PipePath(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(pipe, "GET_BUNDLE_STATE B1!", 20, &written, nullptr));
  char reply[8] = {};
  DWORD got = 0;
  ASSERT_TRUE(ReadFile(pipe, reply, 3, &got, nullptr));
  EXPECT_EQ(std::string(reply, got), "OK!");
  Sleep(100);
  ASSERT_TRUE(PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr));
  EXPECT_EQ(available, 0u);
  CloseHandle(pipe);
}

TEST_F(Part2_4_Service, CommandsSplitOverWritesOrSharingOneWriteAreEachCarriedOut) {
  ASSERT_TRUE(client_.Send("ADD_BUN"));
  Sleep(50);
  ASSERT_TRUE(client_.Send("DLE 4,"));
  Sleep(50);
  ASSERT_TRUE(client_.Send("B1!"));
  std::string reply;
  ASSERT_TRUE(client_.ReadReply(reply));
  EXPECT_EQ(reply, "OK!");
  ASSERT_TRUE(client_.Send("GET_BUNDLE_STATE B1!GET_BUNDLE_STATE B2!ADD_BUNDLE 4,B2!"));
  ASSERT_TRUE(client_.ReadReply(reply));
  EXPECT_EQ(reply, "OK!");
  ASSERT_TRUE(client_.ReadReply(reply));
  EXPECT_EQ(reply, "ERROR!");
  ASSERT_TRUE(client_.ReadReply(reply));
  EXPECT_EQ(reply, "OK!");
  EXPECT_TRUE(KeyExists(BundleKey(L"B2")));
}

TEST_F(Part2_4_Service, WordsAreMatchedWithoutRegardToCase) {
  EXPECT_EQ(Command("add_bundle 4,B1!"), "OK!");
  EXPECT_EQ(Command("Add_Port B1,IN,COM1,real!"), "OK!");
  EXPECT_EQ(ReadString(SideKey(L"B1", L"IN"), L"COM1"), L"Real||1|1");
  EXPECT_EQ(Command("get_port_state B1,in,COM1!"), "OK!");
}

TEST_F(Part2_4_Service, TheLibrarysOwnReaderSeesTheLayout) {
  // A full round: the values a reader of Parts 3.2 and 4.1 looks at.
  ASSERT_EQ(Command("ADD_BUNDLE 4,B1!"), "OK!");
  ASSERT_EQ(Command("ADD_PORT B1,In,COM1,Real!"), "OK!");
  ASSERT_EQ(Command("ADD_PORT B1,Out,COM2,Virtual!"), "OK!");
  ASSERT_EQ(Command("SET_MAIN B1,Out,COM2!"), "OK!");
  ASSERT_EQ(Command("SET_RPORT_PARAMS B1,In,COM1,115200-E-7-2-P|1|0!"), "OK!");
  EXPECT_EQ(testsupport::EnumValueNamesDirect(SideKey(L"B1", L"IN")), std::vector<std::wstring>{L"COM1"});
  EXPECT_EQ(testsupport::EnumValueNamesDirect(SideKey(L"B1", L"OUT")), std::vector<std::wstring>{L"COM2"});
  EXPECT_EQ(ReadString(SideKey(L"B1", L"IN"), L"COM1"), L"Real|115200,E,7,2,P|1|0");
  EXPECT_EQ(ReadString(BundleKey(L"B1"), L"OutMain"), L"COM2");
  std::vector<std::wstring> values = testsupport::EnumValueNamesDirect(BundleKey(L"B1"));
  std::sort(values.begin(), values.end());
  EXPECT_EQ(values, (std::vector<std::wstring>{L"InMain", L"OutMain"}));
  std::vector<std::wstring> sides = testsupport::EnumSubkeyNamesDirect(BundleKey(L"B1"));
  std::sort(sides.begin(), sides.end());
  EXPECT_EQ(sides, (std::vector<std::wstring>{L"IN", L"OUT"}));
}

}  // namespace
