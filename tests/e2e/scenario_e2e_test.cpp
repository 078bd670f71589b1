// A whole configuration built through the library against the stand-in
// service and read back through every reader (issues 4 and 5): a bundle with
// a real, a virtual, a shared and a switcher port on each side, main ports on
// both sides, a second bundle beside it, then taken apart again.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "e2e/e2e_fixture.h"
#include "lumbrex.h"

using namespace e2e;
using testsupport::EnumSubkeyNamesDirect;
using testsupport::EnumValueNamesDirect;
using Names = std::vector<std::wstring>;

namespace {

class Part3_2_EndToEnd : public EndToEndTest {};

struct PortCase {
  int side;
  const wchar_t* name;
  int type;
  const wchar_t* entry;  // as the service stores it
};
const PortCase kLine1[] = {
    {0, L"COM1", 1, L"Real||1|1"},     {0, L"VCOM10", 2, L"Virtual||1|1"}, {0, L"SCOM20", 4, L"Shared||1|1"},
    {0, L"SW30", 8, L"Switcher||1|1"}, {1, L"COM2", 1, L"Real||1|1"},      {1, L"VCOM11", 2, L"Virtual||1|1"},
    {1, L"SCOM21", 4, L"Shared||1|1"}, {1, L"SW31", 8, L"Switcher||1|1"},
};

Names Sorted(Names names) {
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

TEST_F(Part3_2_EndToEnd, ABundleWithEveryPortTypeOnBothSidesReadsBackWhole) {
  ASSERT_EQ(Add(L"Line1"), 1);
  ASSERT_EQ(Add(L"Line2"), 1);
  for (const PortCase& c : kLine1) ASSERT_EQ(AddPort(L"Line1", c.side, c.name, c.type), 1) << c.name;
  // Line2 reuses two of the names: ports belong to their bundle and side.
  ASSERT_EQ(AddPort(L"Line2", 0, L"COM1", 4), 1);
  ASSERT_EQ(AddPort(L"Line2", 1, L"VCOM10", 8), 1);
  ASSERT_EQ(SetMain(L"Line1", 0, L"VCOM10"), 1);
  ASSERT_EQ(SetMain(L"Line1", 1, L"SW31"), 1);
  ASSERT_EQ(SetMain(L"Line2", 0, L"COM1"), 1);

  // The service's verdicts on what now exists.
  EXPECT_EQ(State(L"Line1"), 1);
  EXPECT_EQ(State(L"Line2"), 1);
  EXPECT_EQ(State(L"Line3"), 0);
  for (const PortCase& c : kLine1) {
    EXPECT_EQ(PortState(L"Line1", c.side, c.name), 1) << c.name;
    EXPECT_EQ(PortState(L"Line1", 1 - c.side, c.name), 0) << c.name;
  }

  // Bundles: directly and through the library, in the registry's order.
  const Names bundles = EnumSubkeyNamesDirect(kRoot);
  EXPECT_EQ(Sorted(bundles), (Names{L"Line1", L"Line2"}));
  EXPECT_EQ(BundleNames(), bundles);

  // Every port of Line1, both ways.
  for (int side = 0; side <= 1; ++side) {
    const Names direct = EnumValueNamesDirect(SideKey(L"Line1", side));
    Names expected;
    for (const PortCase& c : kLine1)
      if (c.side == side) expected.push_back(c.name);
    EXPECT_EQ(Sorted(direct), Sorted(expected));
    EXPECT_EQ(PortNames(L"Line1", side), direct);
  }
  for (const PortCase& c : kLine1) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ReadString(SideKey(L"Line1", c.side), c.name), std::wstring(c.entry));
    EXPECT_EQ(PortType(L"Line1", c.side, c.name), c.type);
    EXPECT_EQ(PortPermissions(L"Line1", c.side, c.name), 3);
    EXPECT_EQ(AreDynamic(L"Line1", c.side, c.name), 1);
    EXPECT_EQ(GetParameters(L"Line1", c.side, c.name).result, 0);
  }
  // Main ports.
  EXPECT_EQ(ReadString(BundleKey(L"Line1"), L"InMain"), L"VCOM10");
  EXPECT_EQ(ReadString(BundleKey(L"Line1"), L"OutMain"), L"SW31");
  EXPECT_EQ(MainPort(L"Line1", 0), L"VCOM10");
  EXPECT_EQ(MainPort(L"Line1", 1), L"SW31");
  EXPECT_EQ(MainPort(L"Line2", 0), L"COM1");
  EXPECT_EQ(MainPort(L"Line2", 1), std::wstring());
  // Line2's ports of the same names have their own types.
  EXPECT_EQ(PortType(L"Line2", 0, L"COM1"), 4);
  EXPECT_EQ(PortType(L"Line2", 1, L"VCOM10"), 8);
  EXPECT_EQ(PortNames(L"Line2", 0), Names{L"COM1"});
  EXPECT_EQ(PortNames(L"Line2", 1), Names{L"VCOM10"});
  EXPECT_EQ(QKGetLastError(), 0u);

  // Taken apart: the main port of the input side goes, then the bundle.
  EXPECT_EQ(DeletePort(L"Line1", 0, L"VCOM10"), 1);
  EXPECT_EQ(MainPort(L"Line1", 0), std::wstring());
  EXPECT_EQ(PortNames(L"Line1", 0)->size(), 3u);
  EXPECT_EQ(PortType(L"Line1", 0, L"VCOM10"), std::nullopt);
  EXPECT_EQ(QKGetLastError(), 2u);
  EXPECT_EQ(Delete(L"Line1"), 1);
  EXPECT_EQ(State(L"Line1"), 0);
  EXPECT_EQ(BundleNames(), Names{L"Line2"});
  EXPECT_EQ(EnumSubkeyNamesDirect(kRoot), Names{L"Line2"});
  EXPECT_EQ(PortNames(L"Line1", 1), std::nullopt);
  EXPECT_EQ(MainPort(L"Line2", 0), L"COM1");
  EXPECT_EQ(Delete(L"Line2"), 1);
  EXPECT_EQ(BundleNames(), Names{});
}
