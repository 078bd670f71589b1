// Part 2.3's editing exports end to end: the real lumbrex.dll sends each
// command to the running stand-in service (Part 2.4), which answers with its
// verdict and changes the registry; every change is read back directly and
// through the Part 3.2 / 4.2 / 4.3 readers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/e2e_fixture.h"
#include "lumbrex.h"
#include "support/variants.h"

using namespace e2e;
using testsupport::Bstr;
using testsupport::EnumSubkeyNamesDirect;
using testsupport::EnumValueNamesDirect;
using testsupport::I4;
using testsupport::Var;
using Names = std::vector<std::wstring>;

namespace {

class Part2_3_EndToEnd : public EndToEndTest {};

// Type value of BundleAddPort, word the service stores (Part 2.3's table).
struct TypeCase {
  int type;
  const wchar_t* word;
};
const TypeCase kTypes[] = {{1, L"Real"}, {2, L"Virtual"}, {4, L"Shared"}, {8, L"Switcher"}};

}  // namespace

TEST_F(Part2_3_EndToEnd, AddBundleMakesTheBundleKeyWithBothSidesAndEmptyMainPorts) {
  ASSERT_EQ(Add(L"B1"), 1);
  // Directly: root\B1 with IN, OUT and the two main values, empty.
  EXPECT_TRUE(KeyExists(SideKey(L"B1", 0)));
  EXPECT_TRUE(KeyExists(SideKey(L"B1", 1)));
  EXPECT_EQ(ReadString(BundleKey(L"B1"), L"InMain"), std::wstring());
  EXPECT_EQ(ReadString(BundleKey(L"B1"), L"OutMain"), std::wstring());
  EXPECT_EQ(EnumSubkeyNamesDirect(kRoot), Names{L"B1"});
  // Through the library.
  EXPECT_EQ(BundleNames(), Names{L"B1"});
  EXPECT_EQ(PortNames(L"B1", 0), Names{});
  EXPECT_EQ(PortNames(L"B1", 1), Names{});
  EXPECT_EQ(MainPort(L"B1", 0), std::wstring());
  EXPECT_EQ(MainPort(L"B1", 1), std::wstring());
  EXPECT_EQ(QKGetLastError(), 0u);
}

TEST_F(Part2_3_EndToEnd, AddBundleOfAnExistingNameIsRefusedAndKeepsTheBundle) {
  ASSERT_EQ(Add(L"B1"), 1);
  ASSERT_EQ(AddPort(L"B1", 0, L"COM1", 1), 1);
  EXPECT_EQ(Add(L"B1"), 0);
  EXPECT_EQ(Add(L"b1"), 0);  // the registry matches names without regard to case
  EXPECT_EQ(QKGetLastError(), 0u);  // a refusal stores no code (Part 2.3)
  EXPECT_EQ(BundleNames(), Names{L"B1"});
  EXPECT_EQ(PortNames(L"B1", 0), Names{L"COM1"});
}

TEST_F(Part2_3_EndToEnd, AddBundleWithAnIntegerNamesTheBundleByItsText) {
  EXPECT_EQ(AddBundle(I4(7)), 1);
  EXPECT_TRUE(KeyExists(BundleKey(L"7")));
  EXPECT_EQ(BundleNames(), Names{L"7"});
  EXPECT_EQ(State(L"7"), 1);
}

TEST_F(Part2_3_EndToEnd, AddBundleWithAnEmptyNameGetsTheServicesRefusal) {
  EXPECT_EQ(Add(L""), 0);
  EXPECT_EQ(QKGetLastError(), 0u);
  // No bundle was made (the root key may or may not exist).
  EXPECT_TRUE(!KeyExists(kRoot) || EnumSubkeyNamesDirect(kRoot).empty());
}

TEST_F(Part2_3_EndToEnd, SeveralBundlesAreListedInTheRegistrysOrder) {
  for (const wchar_t* name : {L"Zeta", L"alpha", L"Mid", L"7"}) ASSERT_EQ(Add(name), 1) << name;
  const Names direct = EnumSubkeyNamesDirect(kRoot);
  EXPECT_EQ(direct.size(), 4u);
  EXPECT_EQ(BundleNames(), direct);
}

TEST_F(Part2_3_EndToEnd, DeleteBundleRemovesTheWholeBundleAndOnlyIt) {
  ASSERT_EQ(Add(L"B1"), 1);
  ASSERT_EQ(Add(L"B2"), 1);
  ASSERT_EQ(AddPort(L"B1", 0, L"COM1", 1), 1);
  ASSERT_EQ(AddPort(L"B1", 1, L"COM2", 4), 1);
  ASSERT_EQ(SetMain(L"B1", 1, L"COM2"), 1);

  EXPECT_EQ(Delete(L"B1"), 1);
  EXPECT_FALSE(KeyExists(BundleKey(L"B1")));
  EXPECT_TRUE(KeyExists(BundleKey(L"B2")));
  EXPECT_EQ(BundleNames(), Names{L"B2"});
  EXPECT_EQ(PortNames(L"B1", 0), std::nullopt);
  EXPECT_EQ(QKGetLastError(), 2u);  // the readers report the missing key
  EXPECT_EQ(PortType(L"B1", 1, L"COM2"), std::nullopt);
  EXPECT_EQ(QKGetLastError(), 2u);

  // A missing bundle is refused; the last-error code is left alone.
  EXPECT_EQ(Delete(L"B1"), 0);
  EXPECT_EQ(Delete(L"Never"), 0);
  EXPECT_EQ(QKGetLastError(), 2u);
  EXPECT_EQ(Delete(L"b2"), 1);  // found without regard to case
  EXPECT_EQ(BundleNames(), Names{});
}

TEST_F(Part2_3_EndToEnd, GetBundleStateIsOneForAnExistingBundleAndZeroForAMissingOne) {
  EXPECT_EQ(State(L"B1"), 0);
  ASSERT_EQ(Add(L"B1"), 1);
  EXPECT_EQ(State(L"B1"), 1);
  EXPECT_EQ(State(L"b1"), 1);
  EXPECT_EQ(State(L"B2"), 0);
  // A bundle key made by hand is a bundle too (docs/service.md).
  ASSERT_EQ(testsupport::CreateKey(BundleKey(L"Hand")), ERROR_SUCCESS);
  EXPECT_EQ(State(L"Hand"), 1);
  ASSERT_EQ(Delete(L"B1"), 1);
  EXPECT_EQ(State(L"B1"), 0);
  EXPECT_EQ(QKGetLastError(), 0u);
}

TEST_F(Part2_3_EndToEnd, BundleAddPortWritesEachOfTheFourTypesOnBothSides) {
  ASSERT_EQ(Add(L"B"), 1);
  for (int side = 0; side <= 1; ++side) {
    for (const TypeCase& c : kTypes) {
      const std::wstring port = std::wstring(L"P") + c.word[0] + c.word[1] + std::to_wstring(side);
      ASSERT_EQ(AddPort(L"B", side, port, c.type), 1) << c.word;
      // Directly: the type word, empty parameters, both permission bits.
      EXPECT_EQ(ReadString(SideKey(L"B", side), port), std::wstring(c.word) + L"||1|1");
      // Through the library.
      EXPECT_EQ(PortType(L"B", side, port), c.type) << c.word;
      EXPECT_EQ(PortPermissions(L"B", side, port), 3);
      EXPECT_EQ(AreDynamic(L"B", side, port), 1);
      const Parameters p = GetParameters(L"B", side, port);
      EXPECT_EQ(p.result, 0);  // dynamic: nothing written
      EXPECT_EQ(p.baudrate, -7);
      // Not on the other side.
      EXPECT_FALSE(ValueExists(SideKey(L"B", 1 - side), port));
      EXPECT_EQ(PortType(L"B", 1 - side, port), std::nullopt);
    }
    const Names direct = EnumValueNamesDirect(SideKey(L"B", side));
    EXPECT_EQ(direct.size(), 4u);
    EXPECT_EQ(PortNames(L"B", side), direct);
  }
}

TEST_F(Part2_3_EndToEnd, BundleAddPortVerdictsOfTheService) {
  // No such bundle: refused, and no bundle is made.
  EXPECT_EQ(AddPort(L"Missing", 0, L"COM1", 1), 0);
  EXPECT_FALSE(KeyExists(BundleKey(L"Missing")));
  EXPECT_EQ(QKGetLastError(), 0u);

  ASSERT_EQ(Add(L"B"), 1);
  ASSERT_EQ(AddPort(L"B", 0, L"COM1", 1), 1);
  // The same port again on that side: refused, the entry stays as it was.
  EXPECT_EQ(AddPort(L"B", 0, L"COM1", 8), 0);
  EXPECT_EQ(AddPort(L"B", 0, L"com1", 2), 0);
  EXPECT_EQ(ReadString(SideKey(L"B", 0), L"COM1"), L"Real||1|1");
  EXPECT_EQ(PortType(L"B", 0, L"COM1"), 1);
  // The same name on the other side is another port.
  EXPECT_EQ(AddPort(L"B", 1, L"COM1", 2), 1);
  EXPECT_EQ(PortType(L"B", 1, L"COM1"), 2);
  EXPECT_EQ(PortNames(L"B", 0), Names{L"COM1"});
  EXPECT_EQ(PortNames(L"B", 1), Names{L"COM1"});
  // A port name with "_" is valid and stored as sent.
  EXPECT_EQ(AddPort(L"B", 0, L"COM_5", 4), 1);
  EXPECT_EQ(ReadString(SideKey(L"B", 0), L"COM_5"), L"Shared||1|1");
  EXPECT_EQ(QKGetLastError(), 0u);
}

TEST_F(Part2_3_EndToEnd, BundleAddPortRefusedArgumentsReachNeitherServiceNorRegistry) {
  ASSERT_EQ(Add(L"B"), 1);
  for (int type : {0, 3, 16}) {
    EXPECT_EQ(AddPort(L"B", 0, L"COM1", type), 0);
    EXPECT_EQ(QKGetLastError(), 13u);
  }
  EXPECT_EQ(AddPort(L"B", 0, L"COM-5", 1), 0);
  EXPECT_EQ(QKGetLastError(), 13u);
  EXPECT_EQ(AddPort(L"B", 2, L"COM1", 1), 0);
  EXPECT_EQ(QKGetLastError(), 13u);
  EXPECT_EQ(EnumValueNamesDirect(SideKey(L"B", 0)), Names{});
  EXPECT_EQ(EnumValueNamesDirect(SideKey(L"B", 1)), Names{});
  EXPECT_EQ(PortNames(L"B", 0), Names{});
}

TEST_F(Part2_3_EndToEnd, BundleDeletePortRemovesTheEntryAndClearsAMainPortThatNamedIt) {
  ASSERT_EQ(Add(L"B"), 1);
  ASSERT_EQ(AddPort(L"B", 0, L"COM1", 1), 1);
  ASSERT_EQ(AddPort(L"B", 0, L"COM2", 2), 1);
  ASSERT_EQ(AddPort(L"B", 1, L"COM1", 4), 1);
  ASSERT_EQ(SetMain(L"B", 0, L"COM1"), 1);
  ASSERT_EQ(SetMain(L"B", 1, L"COM1"), 1);

  EXPECT_EQ(DeletePort(L"B", 0, L"COM1"), 1);
  EXPECT_FALSE(ValueExists(SideKey(L"B", 0), L"COM1"));
  EXPECT_EQ(ReadString(BundleKey(L"B"), L"InMain"), std::wstring());
  EXPECT_EQ(PortNames(L"B", 0), Names{L"COM2"});
  EXPECT_EQ(MainPort(L"B", 0), std::wstring());
  EXPECT_EQ(PortType(L"B", 0, L"COM1"), std::nullopt);
  EXPECT_EQ(QKGetLastError(), 2u);
  EXPECT_EQ(PortPermissions(L"B", 0, L"COM1"), std::nullopt);
  EXPECT_EQ(AreDynamic(L"B", 0, L"COM1"), 1);  // no entry reads as dynamic (Part 4.2)
  // The other side is untouched.
  EXPECT_EQ(PortNames(L"B", 1), Names{L"COM1"});
  EXPECT_EQ(MainPort(L"B", 1), L"COM1");
  EXPECT_EQ(ReadString(BundleKey(L"B"), L"OutMain"), L"COM1");

  // Refusals: gone already, missing bundle; any port text is sent.
  EXPECT_EQ(DeletePort(L"B", 0, L"COM1"), 0);
  EXPECT_EQ(DeletePort(L"Missing", 0, L"COM2"), 0);
  EXPECT_EQ(DeletePort(L"B", 0, L"COM-2"), 0);
  EXPECT_EQ(QKGetLastError(), 2u);  // left as the reader set it
  EXPECT_EQ(DeletePort(L"B", 0, L"com2"), 1);
  EXPECT_EQ(PortNames(L"B", 0), Names{});
  EXPECT_EQ(EnumValueNamesDirect(SideKey(L"B", 0)), Names{});
}

TEST_F(Part2_3_EndToEnd, BundleGetPortStateIsOneExactlyForAPortOfThatSide) {
  ASSERT_EQ(Add(L"B"), 1);
  ASSERT_EQ(AddPort(L"B", 0, L"COM1", 1), 1);
  EXPECT_EQ(PortState(L"B", 0, L"COM1"), 1);
  EXPECT_EQ(PortState(L"B", 0, L"com1"), 1);
  EXPECT_EQ(PortState(L"B", 1, L"COM1"), 0);
  EXPECT_EQ(PortState(L"B", 0, L"COM2"), 0);
  EXPECT_EQ(PortState(L"Missing", 0, L"COM1"), 0);
  EXPECT_EQ(QKGetLastError(), 0u);
  ASSERT_EQ(DeletePort(L"B", 0, L"COM1"), 1);
  EXPECT_EQ(PortState(L"B", 0, L"COM1"), 0);
}

TEST_F(Part2_3_EndToEnd, BundleSetMainPortForSideWritesTheSidesMainValue) {
  ASSERT_EQ(Add(L"B"), 1);
  ASSERT_EQ(AddPort(L"B", 0, L"COM1", 1), 1);
  ASSERT_EQ(AddPort(L"B", 0, L"COM2", 2), 1);
  ASSERT_EQ(AddPort(L"B", 1, L"COM3", 8), 1);

  EXPECT_EQ(SetMain(L"B", 0, L"COM2"), 1);
  EXPECT_EQ(ReadString(BundleKey(L"B"), L"InMain"), L"COM2");
  EXPECT_EQ(MainPort(L"B", 0), L"COM2");
  EXPECT_EQ(MainPort(L"B", 1), std::wstring());
  EXPECT_EQ(SetMain(L"B", 0, L"COM1"), 1);
  EXPECT_EQ(MainPort(L"B", 0), L"COM1");
  EXPECT_EQ(SetMain(L"B", 1, L"COM3"), 1);
  EXPECT_EQ(ReadString(BundleKey(L"B"), L"OutMain"), L"COM3");
  EXPECT_EQ(MainPort(L"B", 1), L"COM3");

  // Refused: a port of the other side, a missing port, a missing bundle;
  // nothing changes.
  EXPECT_EQ(SetMain(L"B", 0, L"COM3"), 0);
  EXPECT_EQ(SetMain(L"B", 1, L"COM9"), 0);
  EXPECT_EQ(SetMain(L"Missing", 0, L"COM1"), 0);
  EXPECT_EQ(QKGetLastError(), 0u);
  EXPECT_EQ(MainPort(L"B", 0), L"COM1");
  EXPECT_EQ(MainPort(L"B", 1), L"COM3");
  // A name refused by the library (Part 1.1) is not sent.
  EXPECT_EQ(SetMain(L"B", 0, L"COM-1"), 0);
  EXPECT_EQ(QKGetLastError(), 13u);
  EXPECT_EQ(MainPort(L"B", 0), L"COM1");
}

TEST_F(Part2_3_EndToEnd, WithoutAConnectionNothingReachesTheService) {
  ASSERT_EQ(Add(L"B"), 1);
  ASSERT_EQ(DisconnectFromService(), 1);
  EXPECT_EQ(Add(L"C"), 0);
  EXPECT_EQ(State(L"B"), 0);
  EXPECT_EQ(AddPort(L"B", 0, L"COM1", 1), 0);
  EXPECT_EQ(QKGetLastError(), 0u);
  EXPECT_EQ(BundleNames(), Names{L"B"});  // the readers need no connection
  EXPECT_EQ(PortNames(L"B", 0), Names{});
  // Connected again, the same service answers.
  ASSERT_EQ(ConnectToLocalService(), 1);
  EXPECT_EQ(State(L"B"), 1);
  EXPECT_EQ(AddPort(L"B", 0, L"COM1", 1), 1);
  EXPECT_EQ(PortNames(L"B", 0), Names{L"COM1"});
}

TEST_F(Part2_3_EndToEnd, AServiceThatHasGoneAwayFailsEveryCommand) {
  ASSERT_EQ(Add(L"B"), 1);
  service_->Terminate();
  EXPECT_EQ(Add(L"C"), 0);
  EXPECT_EQ(State(L"B"), 0);
  EXPECT_EQ(Delete(L"B"), 0);
  EXPECT_EQ(BundleNames(), Names{L"B"});
}
