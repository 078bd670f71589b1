// The reading exports against registry configurations: their answers for a well-formed
// one, each value read from its own key and view, and what each reports for every fault.
#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "lumbrex.h"
#include "support/registry_fixture.h"
#include "support/variants.h"

using namespace testsupport;

namespace {

const std::wstring kB1 = BundleKey(L"B1"), kIn = SideKey(L"B1", LUMBREX_SIDE_IN),
                   kOut = SideKey(L"B1", LUMBREX_SIDE_OUT), kMap = kSerialMapKey;
const std::wstring kPerms = PermissionsKey(L"COM7");
constexpr int kUnwritten = 0x5EED5EED;  // an integer output the export has not written
constexpr unsigned kKept = ~0u;         // the reader stores no last-error code

enum class Reader { Bundles, Ports, MainPort, RealPorts, PortType, Dynamic, Parameters, Mask, AppPermissions,
               AutoOpen, IgnoreError, Prints, SendToMain, Baudrate };  // the option getters last, in this order
struct Call { Reader reader; const wchar_t* bundle = L"B1"; int side = 0; const wchar_t* port = L"COM1"; };
struct Case { Call call; int result; std::wstring shown; unsigned code = kKept; std::vector<RegItem> config = {}; };

CountedObject g_leftByCaller;  // what a caller left in an output VARIANT


std::wstring List(const std::vector<std::wstring>& items) {
  std::wstring text = L"{";
  for (size_t i = 0; i < items.size(); ++i) text += (i ? L"," : L"") + items[i];
  return text + L"}";
}

std::wstring IntegerShown(int64_t value) { return value == kUnwritten ? L"_" : std::to_wstring(value); }

// "old" (untouched), "<empty>", a text, "int n" (VT_INT), n (VT_I4), or
// "{a,b}" for a string array of the shape the caller may rely on.
std::wstring Show(const VARIANT& v) {
  if (v.vt == VT_UNKNOWN && v.punkVal == &g_leftByCaller) return L"old";
  if (v.vt == VT_EMPTY) return L"<empty>";
  if (v.vt == VT_BSTR) return v.bstrVal ? TextOf(v) : L"<null>";
  if (v.vt == VT_INT || v.vt == VT_I4) return (v.vt == VT_INT ? L"int " : L"") + std::to_wstring(v.lVal);
  if (v.vt != (VT_ARRAY | VT_BSTR)) return L"<vt " + std::to_wstring(v.vt) + L">";
  LONG lower = -1, upper = -2;
  SafeArrayGetLBound(v.parray, 1, &lower);
  SafeArrayGetUBound(v.parray, 1, &upper);
  EXPECT_TRUE(SafeArrayGetDim(v.parray) == 1 && v.parray->cLocks == 0 && lower == 0 && upper >= 0)
      << "one dimension, lower bound 0, unlocked, never of no element";
  std::vector<std::wstring> items;
  const BSTR* item = static_cast<const BSTR*>(v.parray->pvData);
  for (LONG i = 0; i <= upper; ++i) items.push_back(item[i] ? std::wstring(item[i], SysStringLen(item[i])) : L"?");
  return List(items);
}

// Runs one reader and shows what it left in its outputs: the share permissions
// as "<applications> <permissions>", the port parameters as five numbers, an
// integer left unwritten as "_". An output it replaced must have released,
// once, what the caller left there.
std::wstring Read(const Call& c, int* result) {
  static int(WINAPI* const options[])(unsigned int*) = {OptionGetPortsAutoOpen, OptionGetIgnoreErrorsOnPortCreation,
                                                        OptionGetPortToPrint, OptionGetIfSendToMainSet,
                                                        OptionGetBaudrateEmulation};
  Var out, out2;
  out->vt = out2->vt = VT_UNKNOWN;
  out->punkVal = out2->punkVal = &g_leftByCaller;
  g_leftByCaller.releases = 0;
  int n[5] = {kUnwritten, kUnwritten, kUnwritten, kUnwritten, kUnwritten};
  unsigned int option = kUnwritten;
  switch (c.reader) {
    case Reader::Bundles: *result = GetBundlesNames(&out); break;
    case Reader::Ports: *result = GetPortsNamesByBundleAndSide(Arg(c.bundle), c.side, &out); break;
    case Reader::MainPort: *result = BundleGetMainPortForSide(Arg(c.bundle), c.side, &out); break;
    case Reader::RealPorts: *result = GetRealPortsList(&out); break;
    case Reader::PortType: *result = BundleGetPortType(Arg(c.bundle), c.side, Arg(c.port), &out); break;
    case Reader::Mask: *result = BundlePortGetPermissions(Arg(c.bundle), c.side, Arg(c.port), &out); break;
    case Reader::AppPermissions:
      *result = SharedPortGetAppPermissions(Arg(c.bundle), c.side, Arg(c.port), &out, &out2);
      break;
    case Reader::Dynamic: *result = BundleRealPortAreParametersDynamic(Arg(c.bundle), c.side, Arg(c.port)); return L"";
    case Reader::Parameters:
      *result = BundleGetRealPortParameters(Arg(c.bundle), c.side, Arg(c.port), &n[0], &n[1], &n[2], &n[3], &n[4]);
      return IntegerShown(n[0]) + L"," + IntegerShown(n[1]) + L"," + IntegerShown(n[2]) + L"," +
             IntegerShown(n[3]) + L"," + IntegerShown(n[4]);
    default:
      *result = options[static_cast<int>(c.reader) - static_cast<int>(Reader::AutoOpen)](&option);
      return IntegerShown(option);
  }
  const bool apps = c.reader == Reader::AppPermissions;
  EXPECT_EQ(g_leftByCaller.releases, (out->vt != VT_UNKNOWN) + (apps && out2->vt != VT_UNKNOWN)) << "outputs released";
  return Show(*out) + (apps ? L" " + Show(*out2) : L"");
}

// Runs each case twice, after 2 and after 13 as the last-error code, to tell a
// code the reader stores from one it leaves; in its own configuration if asked.
void CheckAll(const std::vector<Case>& cases, bool ownConfig = false) {
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "row " << &c - cases.data());
    const auto reg = ownConfig ? std::make_unique<RegistryFixture>(c.config) : nullptr;
    ASSERT_EQ(reg ? reg->status() : 0, ERROR_SUCCESS);
    for (unsigned before : {2u, 13u}) {
      Var names;
      GetPortsNamesByBundleAndSide(Arg(L"NoSuchBundle"), before == 2 ? 0 : 2, &names);
      ASSERT_EQ(QKGetLastError(), before);
      int result = -1;
      EXPECT_EQ(Read(c.call, &result), c.shown);
      EXPECT_EQ(result, c.result);
      EXPECT_EQ(QKGetLastError(), c.code == kKept ? before : c.code);
    }
  }
}

}  // namespace

TEST(Queries, EachReaderAnswersForAWellFormedConfiguration) {
  const std::map<std::wstring, std::wstring> realDevices = {
      {L"\\Device\\Serial0", L"COM1"}, {L"\\Device\\Serial1", L"COM1"}, {L"\\Device\\Dunval", L"COM9"}};
  std::vector<RegItem> config = {
      Sz(kB1, kInMain, L"%COM1%", REG_EXPAND_SZ), Sz(kB1, kOutMain, std::wstring(L"COM3\0old", 8)),
      Sz(kIn, L"COM2", L"sh|19200,e,7,1,x|0|1"), Sz(kIn, L"COM1", L"R|9600,N,8,0|1|0"), Sz(kIn, L"", L"v"),
      Dw(kIn, L"Extra", 1), KeyOnly(kIn + L"\\Sub"),  // a value the service added is a port; a subkey is not
      Sz(kOut, L"COM3", L"v"), Sz(kOut, L"K1", L"KOLM|9600,n|"), KeyOnly(SideKey(L"B2", LUMBREX_SIDE_IN)),
      // Each application is named after its permission's text.
      Dw(kPerms, L"3", 3), Dw(kPerms, L"1", 1), Dw(kPerms, L"-1", 0xFFFFFFFF), Dw(kDriverKey, kStrictBaudrate, 2),
      // The four root options are read in the 32-bit view; bundles, never.
      KeyOnly(kRootKey + L"\\Ghost32", kView32), Dw(kRootKey, kAutoOpen, 5, kView32),
      Dw(kRootKey, kIgnoreError, 0, kView32), Dw(kRootKey, kPrints, 0xFFFFFFFF, kView32),
      Dw(kRootKey, kSendToMain, 1, kView32), Dw(kRootKey, kStrictBaudrate, 9, kView32),
      Sz(kMap, L"\\Device\\Dunvale0", L"CNCA0"), Sz(kMap, L"\\DEVICE\\MARROWBY1", L"CNCB1"),  // drivers' devices
      Sz(kMap, L"\\Device\\VCP1", std::wstring(L"%COM7%\0x", 8), REG_EXPAND_SZ)};
  for (const auto& [kernel, port] : realDevices) config.push_back(Sz(kMap, kernel, port));
  RegistryFixture reg(config);
  ASSERT_EQ(reg.status(), ERROR_SUCCESS);
  std::vector<std::wstring> realPorts;
  for (const std::wstring& kernel : EnumValueNamesDirect(kMap))
    if (kernel == L"\\Device\\VCP1") realPorts.push_back(L"%COM7%");  // unexpanded, up to its NUL
    else if (realDevices.count(kernel)) realPorts.push_back(realDevices.at(kernel));
  const std::wstring apps = List(EnumValueNamesDirect(kPerms));
  CheckAll({{{Reader::Bundles}, 1, List(EnumSubkeyNamesDirect(kRootKey))},  // the 64-bit view: no Ghost32
            {{Reader::Ports, L"B1", 0}, 1, List(EnumValueNamesDirect(kIn))},
            {{Reader::Ports, L"b1", 1}, 1, List(EnumValueNamesDirect(kOut))},
            {{Reader::Ports, L"B2", 0}, 1, L"<empty>"},
            {{Reader::MainPort, L"B1", 0}, 1, L"%COM1%"},  // unexpanded
            {{Reader::MainPort, L"B1", 1}, 1, L"COM3"},    // up to the first NUL
            {{Reader::RealPorts}, 1, List(realPorts)},  // duplicates kept
            {{Reader::PortType, L"B1", 0, L"com1"}, 1, L"int 1"},
            {{Reader::Dynamic, L"B1", 0, L"COM1"}, 0, L""},
            {{Reader::Dynamic, L"B1", 1, L"COM3"}, 1, L""},
            {{Reader::Parameters, L"B1", 0, L"COM1"}, 1, L"9600,0,8,0,_"},  // read lower-cased; no flow field
            {{Reader::Parameters, L"B1", 1, L"K1"}, 0, L"9600,_,_,_,_"},  // what the parser reached is written
            {{Reader::Mask, L"B1", 0, L"COM1"}, 1, L"2"},
            {{Reader::Mask, L"B1", 0, L"COM2"}, 1, L"1"},
            {{Reader::Mask, L"B1", 7, L"COM3"}, 1, L"3"},  // any side but 0 is the output side
            {{Reader::Mask, L"B1", 1, L"K1"}, 1, L"0"},
            {{Reader::AppPermissions, L"B2", 1, L"COM7"}, 1, apps + L" " + apps},
            {{Reader::AutoOpen}, 1, L"5"},
            {{Reader::IgnoreError}, 1, L"0"},
            {{Reader::Prints}, 1, L"4294967295"},
            {{Reader::SendToMain}, 1, L"1"},
            {{Reader::Baudrate}, 1, L"2"}});
}

TEST(RegistryReads, EachReaderReportsWhatTheRegistryHolds) {
  const std::string odd("C\0O\0M", 5), four("\1\0\0\0", 4), qword("\7\0\0\0\0\0\0\0", 8);
  const std::wstring n127(127, L'a'), n128(128, L'b');
  const Call apps{Reader::AppPermissions, L"B1", 0, L"COM7"}, realPorts{Reader::RealPorts};
  const RegItem noNul = NoNul(kIn, L"COM1", L"r|9600,n,8,0|1|0");
  CheckAll({// Keys and string values; an empty list leaves the output VT_EMPTY.
            {{Reader::Bundles}, 0, L"<empty>", 2, {}},
            {{Reader::Bundles}, 1, L"<empty>", kKept, {Dw(kRootKey, kAutoOpen, 1)}},
            {{Reader::Ports, L"B1", 0}, 0, L"<empty>", 2, {KeyOnly(kOut)}},
            // A port name of 128 characters does not fit the 128-unit name buffer: skipped.
            {{Reader::Ports, L"B1", 0}, 1, L"{" + n127 + L"}", kKept, {Sz(kIn, n127, L"v"), Sz(kIn, n128, L"v")}},
            {{Reader::MainPort, L"B1", 1}, 0, L"<empty>", 2, {KeyOnly(kB1)}},
            {{Reader::MainPort}, 0, L"<empty>", 13, {Dw(kB1, kInMain, 1)}},
            {{Reader::MainPort}, 0, L"<empty>", 234, {{kB1, kInMain, REG_SZ, odd}}},
            {{Reader::MainPort}, 1, L"", kKept, {{kB1, kInMain, REG_SZ, ""}}},
            {{Reader::PortType}, 0, L"<empty>", 2, {KeyOnly(kIn)}},
            {{Reader::Mask}, 0, L"old", 2, {KeyOnly(kRootKey)}},
            {{Reader::Mask}, 0, L"old", 13, {noNul}},
            {{Reader::Mask}, 1, L"3", kKept, {{kIn, L"COM1", REG_SZ, ""}}},
            // The parameter readers ignore the read's status: unreadable is dynamic.
            {{Reader::Dynamic}, 1, L"", kKept, {Dw(kIn, L"COM1", 1)}},
            {{Reader::Parameters}, 0, L"_,_,_,_,_", kKept, {noNul}},
            // Options and share permissions: a 4-byte REG_DWORD read.
            {{Reader::AutoOpen}, 0, L"_", 2, {Dw(kRootKey, kAutoOpen, 1)}},  // present in the 64-bit view only
            {{Reader::Prints}, 0, L"_", 13, {{kRootKey, kPrints, REG_BINARY, four, kView32}}},
            {{Reader::SendToMain}, 0, L"_", 234, {{kRootKey, kSendToMain, REG_QWORD, qword, kView32}}},
            {{Reader::Baudrate}, 0, L"_", 2, {}},
            {apps, 1, L"<empty> old", 2, {KeyOnly(kSharedPortsKey)}},
            {apps, 1, L"<empty> old", kKept, {KeyOnly(kPerms)}},
            {apps, 1, L"<empty> old", 13, {Dw(kPerms, L"app1", 3), Sz(kPerms, L"app2", L"1")}},
            // The 4-byte read fails on longer data before the type is looked at.
            {apps, 1, L"<empty> old", 234, {Dw(kPerms, L"app1", 3), Sz(kPerms, L"app2", L"full")}},
            // The serial-device map: the read status of the last device listed decides.
            {realPorts, 0, L"<empty>", 2, {Removed(kMap)}},
            {realPorts, 1, L"<empty>", kKept, {Sz(kMap, L"\\Device\\Dunvale0", L"CNCA0")}},
            {realPorts, 0, L"<empty>", 234, {Sz(kMap, L"\\Device\\A1", L"COM1"), Dw(kMap, L"\\Device\\A2", 3)}},
            {realPorts, 1, L"{,COM2}", kKept, {Dw(kMap, L"\\Device\\A1", 3), Sz(kMap, L"\\Device\\A2", L"COM2")}},
            {realPorts, 0, L"<empty>", 13, {Sz(kMap, L"\\Device\\A1", L"C"), NoNul(kMap, L"\\Device\\A2", L"D")}},
            {realPorts, 1, L"{C,D}", kKept, {NoNul(kMap, L"\\Device\\A1", L"C"), Sz(kMap, L"\\Device\\A2", L"D")}},
           }, true);
}
