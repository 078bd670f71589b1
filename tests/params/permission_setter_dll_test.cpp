// Part 4.3: BundlePortSetPermissions through the real lumbrex.dll against the
// test pipe server: exact SET_RPORT_PARAMS bytes, results, last-error codes,
// and the mask VARIANT cleared on every path.
#include <cstdint>

#include "params/setters_dll_support.h"

using namespace paramstest;
using namespace testsupport;

namespace {

// An object whose releases are counted, to see the mask VARIANT cleared.
class CountingUnknown : public IUnknown {
 public:
  int releases = 0;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override {
    ++releases;
    return 1;
  }
};

// The export declared as taking its by-value VARIANTs by pointer: on x64 a
// by-value VARIANT is passed by a hidden pointer to the caller's copy, so this
// shows what the function did to the mask (and to the bundle and port).
using SetByPointer = int(WINAPI*)(VARIANT*, int, VARIANT*, VARIANT*);

class Part4_3_BundlePortSetPermissions : public SetterDllTest {
 protected:
  int SetMask(const std::wstring& port, int mask, int side = 0) {
    return BundlePortSetPermissions(Str(kBundle), side, Str(port), I4(mask));
  }
  static SetByPointer ByPointer() {
    HMODULE dll = GetModuleHandleW(L"lumbrex.dll");
    if (dll == nullptr) return nullptr;
    return reinterpret_cast<SetByPointer>(reinterpret_cast<void*>(GetProcAddress(dll, "BundlePortSetPermissions")));
  }
  // The field bits that a mask whose 32-bit member holds `low` gives.
  static std::string BitsOf(uint32_t low) {
    return "|" + std::to_string((low >> 1) & 1) + "|" + std::to_string(low & 1);
  }
};

}  // namespace

TEST_F(Part4_3_BundlePortSetPermissions, Mask2SendsTheStoredTextWithHighBitOnly) {
  Entry(L"COM3", L"r|9600,n,8,0,x|1|1");
  EXPECT_EQ(SetMask(L"COM3", 2), 1);
  EXPECT_EQ(server_.Commands(), (Commands{Sent("COM3", "9600-n-8-0-x|1|0")}));
  EXPECT_TRUE(NothingBeyondCommands());
  EXPECT_EQ(QKGetLastError(), 0u);
}

TEST_F(Part4_3_BundlePortSetPermissions, OnlyTheTwoLowBitsOfTheMaskCount) {
  Entry(L"COM3", L"r|9600,n,8,0|1|1");
  for (int mask : {5, -1, 0, 1, 2, 3, 4, 6, INT32_MIN, INT32_MAX}) EXPECT_EQ(SetMask(L"COM3", mask), 1) << mask;
  EXPECT_EQ(server_.Commands(),
            (Commands{Sent("COM3", "9600-n-8-0|0|1"), Sent("COM3", "9600-n-8-0|1|1"), Sent("COM3", "9600-n-8-0|0|0"),
                      Sent("COM3", "9600-n-8-0|0|1"), Sent("COM3", "9600-n-8-0|1|0"), Sent("COM3", "9600-n-8-0|1|1"),
                      Sent("COM3", "9600-n-8-0|0|0"), Sent("COM3", "9600-n-8-0|1|0"), Sent("COM3", "9600-n-8-0|0|0"),
                      Sent("COM3", "9600-n-8-0|1|1")}));
}

// Entries whose parameter text reads as empty send empty text: an entry
// without a flag part loses its stored parameters.
TEST_F(Part4_3_BundlePortSetPermissions, EmptyStoredTextIsSentEmpty) {
  Entry(L"V1", L"v");
  Entry(L"COM3", L"r|9600,n,8,0");
  Entry(L"COM4", L"r||1|1");
  EXPECT_EQ(SetMask(L"V1", 1), 1);
  EXPECT_EQ(SetMask(L"COM3", 1), 1);
  EXPECT_EQ(SetMask(L"COM4", 2), 1);
  EXPECT_EQ(server_.Commands(), (Commands{Sent("V1", "|0|1"), Sent("COM3", "|0|1"), Sent("COM4", "|1|0")}));
}

// The stored text goes back exactly as the reader gives it: lower case.
TEST_F(Part4_3_BundlePortSetPermissions, StoredTextIsSentLowerCase) {
  Entry(L"COM3", L"R|115200,E,7,2,P|0|0");
  EXPECT_EQ(SetMask(L"COM3", 3), 1);
  EXPECT_EQ(server_.Commands(), (Commands{Sent("COM3", "115200-e-7-2-p|1|1")}));
}

TEST_F(Part4_3_BundlePortSetPermissions, AnySideButZeroReadsOutAndSendsOut) {
  Entry(L"COM3", L"r|1200,n,8,0|1|1", L"IN");
  Entry(L"COM3", L"r|4800,o,7,1|0|0", L"OUT");
  EXPECT_EQ(SetMask(L"COM3", 1, 7), 1);
  EXPECT_EQ(SetMask(L"COM3", 2, -1), 1);
  EXPECT_EQ(SetMask(L"COM3", 3, 1), 1);
  EXPECT_EQ(SetMask(L"COM3", 0, 0), 1);
  EXPECT_EQ(server_.Commands(), (Commands{Sent("COM3", "4800-o-7-1|0|1", "Out"), Sent("COM3", "4800-o-7-1|1|0", "Out"),
                                          Sent("COM3", "4800-o-7-1|1|1", "Out"), Sent("COM3", "1200-n-8-0|0|0")}));
}

TEST_F(Part4_3_BundlePortSetPermissions, PortWithoutEntryFailsWith2AndSendsNothing) {
  Entry(L"COM3", L"r|9600,n,8,0|1|1");
  PresetLastError13();
  EXPECT_EQ(SetMask(L"COM9", 3), 0);
  EXPECT_EQ(QKGetLastError(), 2u);
  PresetLastError13();
  EXPECT_EQ(SetMask(L"COM3", 3, 1), 0);  // no OUT key
  EXPECT_EQ(QKGetLastError(), 2u);
  PresetLastError13();
  Var missing, port;
  *missing = Bstr(L"NoSuchParamsBundle");
  *port = Bstr(L"COM3");
  EXPECT_EQ(BundlePortSetPermissions(missing.copy(), 0, port.copy(), I4(3)), 0);
  EXPECT_EQ(QKGetLastError(), 2u);
  EXPECT_EQ(server_.BytesReceived(), 0u);
}

TEST_F(Part4_3_BundlePortSetPermissions, UnreadableEntryFailsWith13AndSendsNothing) {
  ASSERT_EQ(SetDword(SideKey(L"IN"), L"DW", 0x31), ERROR_SUCCESS);
  ASSERT_EQ(SetStringWithoutNul(SideKey(L"IN"), L"NONUL", L"r|9600,n,8,0|1|1"), ERROR_SUCCESS);
  PresetLastError2();
  EXPECT_EQ(SetMask(L"DW", 3), 0);
  EXPECT_EQ(QKGetLastError(), 13u);
  PresetLastError2();
  EXPECT_EQ(SetMask(L"NONUL", 3), 0);
  EXPECT_EQ(QKGetLastError(), 13u);
  EXPECT_EQ(server_.BytesReceived(), 0u);
}

// The Part's choice left to us, as for BundlePortGetPermissions: a bundle or
// port that holds no string is refused with 13 before anything is read.
TEST_F(Part4_3_BundlePortSetPermissions, NonStringBundleOrPortFailsWith13) {
  Entry(L"COM3", L"r|9600,n,8,0|1|1");
  PresetLastError2();
  EXPECT_EQ(BundlePortSetPermissions(I4(5), 0, Str(L"COM3"), I4(3)), 0);
  EXPECT_EQ(QKGetLastError(), 13u);
  PresetLastError2();
  EXPECT_EQ(BundlePortSetPermissions(Str(kBundle), 0, OfType(VT_I8, 0x1234), I4(3)), 0);
  EXPECT_EQ(QKGetLastError(), 13u);
  PresetLastError2();
  EXPECT_EQ(BundlePortSetPermissions(Str(kBundle), 0, OfType(VT_BYREF | VT_BSTR, 0), I4(3)), 0);
  EXPECT_EQ(QKGetLastError(), 13u);
  PresetLastError2();
  EXPECT_EQ(BundlePortSetPermissions(OfType(VT_EMPTY), 0, OfType(VT_NULL), I4(3)), 0);
  EXPECT_EQ(QKGetLastError(), 13u);
  EXPECT_EQ(server_.BytesReceived(), 0u);
}

// A by-reference string is read through its reference, nothing converted; no
// port-name rule applies.
TEST_F(Part4_3_BundlePortSetPermissions, ByReferenceStringsAreReadThroughWithoutConversion) {
  Entry(L"COM 3", L"r|9600,n,8,0|0|0");
  SetByPointer set = ByPointer();
  ASSERT_NE(set, nullptr);
  BSTR bundle = SysAllocString(kBundle.c_str());
  BSTR port = SysAllocString(L"COM 3");
  VARIANT b = ByRefBstr(&bundle), p = ByRefBstr(&port), mask = I4(2);
  EXPECT_EQ(set(&b, 0, &p, &mask), 1);
  EXPECT_EQ(b.vt, VT_BYREF | VT_BSTR);
  EXPECT_EQ(b.pbstrVal, &bundle);
  EXPECT_EQ(p.vt, VT_BYREF | VT_BSTR);
  EXPECT_EQ(mask.vt, VT_EMPTY);
  EXPECT_EQ(server_.Commands(), (Commands{Sent("COM 3", "9600-n-8-0|1|0")}));
  SysFreeString(bundle);
  SysFreeString(port);
}

// The mask's 32-bit member is read whatever the VARIANT's type says.
TEST_F(Part4_3_BundlePortSetPermissions, MaskMemberIsReadWithoutATypeTest) {
  Entry(L"COM3", L"r|9600,n,8,0|0|0");
  EXPECT_EQ(BundlePortSetPermissions(Str(kBundle), 0, Str(L"COM3"), I8(0x100000002LL)), 1);
  EXPECT_EQ(BundlePortSetPermissions(Str(kBundle), 0, Str(L"COM3"), OfType(VT_UI1, 0x0101)), 1);  // lVal 0x101
  EXPECT_EQ(BundlePortSetPermissions(Str(kBundle), 0, Str(L"COM3"), OfType(VT_BOOL, 0xFFFF)), 1);
  EXPECT_EQ(BundlePortSetPermissions(Str(kBundle), 0, Str(L"COM3"), OfType(VT_EMPTY, 3)), 1);
  EXPECT_EQ(server_.Commands(), (Commands{Sent("COM3", "9600-n-8-0|1|0"), Sent("COM3", "9600-n-8-0|0|1"),
                                          Sent("COM3", "9600-n-8-0|1|1"), Sent("COM3", "9600-n-8-0|1|1")}));
}

// A mask holding a BSTR: its bits are those of the pointer's low 32 bits, and
// the string is freed, leaving VT_EMPTY.
TEST_F(Part4_3_BundlePortSetPermissions, StringMaskIsFreedAndBecomesEmpty) {
  Entry(L"COM3", L"r|9600,n,8,0|0|0");
  SetByPointer set = ByPointer();
  ASSERT_NE(set, nullptr);
  VARIANT b = Str(kBundle), p = Str(L"COM3");
  VARIANT mask = Bstr(L"a mask string");
  const uint32_t low = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(mask.bstrVal));
  EXPECT_EQ(set(&b, 0, &p, &mask), 1);
  EXPECT_EQ(mask.vt, VT_EMPTY);
  EXPECT_EQ(server_.Commands(), (Commands{Sent("COM3", "9600-n-8-0" + BitsOf(low))}));
}

// A mask holding a by-reference integer: VariantClear releases nothing, the
// target keeps its value; the bits come from the pointer's low 32 bits.
TEST_F(Part4_3_BundlePortSetPermissions, ByReferenceMaskIsNotFollowed) {
  Entry(L"COM3", L"r|9600,n,8,0|0|0");
  SetByPointer set = ByPointer();
  ASSERT_NE(set, nullptr);
  LONG target = 3;
  VARIANT b = Str(kBundle), p = Str(L"COM3"), mask = ByRefI4(&target);
  EXPECT_EQ(set(&b, 0, &p, &mask), 1);
  EXPECT_EQ(mask.vt, VT_EMPTY);
  EXPECT_EQ(target, 3);
  const uint32_t low = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&target));
  EXPECT_EQ(server_.Commands(), (Commands{Sent("COM3", "9600-n-8-0" + BitsOf(low))}));
}

// The mask is cleared on every path: success, refused bundle or port, failed
// read, no answer OK, no connection.
TEST_F(Part4_3_BundlePortSetPermissions, MaskIsClearedOnEveryPath) {
  Entry(L"COM3", L"r|9600,n,8,0|1|1");
  ASSERT_EQ(SetDword(SideKey(L"IN"), L"DW", 1), ERROR_SUCCESS);
  SetByPointer set = ByPointer();
  ASSERT_NE(set, nullptr);
  struct Path {
    const char* name;
    VARIANT bundle, port;
    int result;
    uint32_t lastError;
  };
  VARIANT number = I4(1);
  const Path paths[] = {
      {"success", Str(kBundle), Str(L"COM3"), 1, 0},
      {"bundle not a string", number, Str(L"COM3"), 0, 13},
      {"port not a string", Str(kBundle), number, 0, 13},
      {"no entry", Str(kBundle), Str(L"COM9"), 0, 2},
      {"entry not a string", Str(kBundle), Str(L"DW"), 0, 13},
      {"reply ERROR!", Str(kBundle), Str(L"COM3"), 0, 13},  // the code of the path before
  };
  server_.QueueReply("OK!");
  server_.QueueReply("ERROR!");
  for (const Path& path : paths) {
    CountingUnknown object;
    VARIANT mask;
    VariantInit(&mask);
    mask.vt = VT_UNKNOWN;
    mask.punkVal = &object;
    VARIANT b = path.bundle, p = path.port;
    EXPECT_EQ(set(&b, 0, &p, &mask), path.result) << path.name;
    EXPECT_EQ(QKGetLastError(), path.lastError) << path.name;
    EXPECT_EQ(object.releases, 1) << path.name;
    EXPECT_EQ(mask.vt, VT_EMPTY) << path.name;
  }
  // Without a connection: 0, last error unchanged, mask cleared all the same.
  ASSERT_EQ(DisconnectFromService(), 1);
  PresetLastError2();
  CountingUnknown object;
  VARIANT mask;
  VariantInit(&mask);
  mask.vt = VT_UNKNOWN;
  mask.punkVal = &object;
  VARIANT b = Str(kBundle), p = Str(L"COM3");
  EXPECT_EQ(set(&b, 0, &p, &mask), 0);
  EXPECT_EQ(QKGetLastError(), 2u);
  EXPECT_EQ(object.releases, 1);
  EXPECT_EQ(mask.vt, VT_EMPTY);

  // The two commands sent carry the stored text; their bits are those of the
  // object pointers' low 32 bits (the mask member read as VT_I4).
  const auto commands = server_.Commands();
  ASSERT_EQ(commands.size(), 2u);
  EXPECT_EQ(commands[0].rfind("SET_RPORT_PARAMS ParamsDllBundle,In,COM3,9600-n-8-0|", 0), 0u) << commands[0];
  EXPECT_EQ(commands[1].rfind("SET_RPORT_PARAMS ParamsDllBundle,In,COM3,9600-n-8-0|", 0), 0u) << commands[1];
}

TEST_F(Part4_3_BundlePortSetPermissions, WithoutConnectionReturns0AndLeavesTheLastError) {
  Entry(L"COM3", L"r|9600,n,8,0|1|1");
  ASSERT_EQ(DisconnectFromService(), 1);
  PresetLastError13();
  EXPECT_EQ(SetMask(L"COM3", 3), 0);
  EXPECT_EQ(QKGetLastError(), 13u);
  EXPECT_EQ(server_.BytesReceived(), 0u);
}

TEST_F(Part4_3_BundlePortSetPermissions, ErrorReplyGives0AndLeavesTheLastError) {
  Entry(L"COM3", L"r|9600,n,8,0|1|1");
  PresetLastError2();
  server_.QueueReply("ERROR!");
  EXPECT_EQ(SetMask(L"COM3", 1), 0);
  EXPECT_EQ(QKGetLastError(), 2u);
  EXPECT_EQ(server_.Commands(), (Commands{Sent("COM3", "9600-n-8-0|0|1")}));
}
