// Part 4.2 setters (and the setter bullets of Part 4.1) through the real
// lumbrex.dll against the test pipe server: exact SET_RPORT_PARAMS bytes,
// results and last-error codes.
#include "params/setters_dll_support.h"

using namespace paramstest;
using namespace testsupport;

namespace {

class Part4_2_BundleSetRealPortParameters : public SetterDllTest {
 protected:
  int Set(const std::wstring& port, int baudrate, int parity, int dataBits, int stopBits, int flowControl,
          int side = 0) {
    return BundleSetRealPortParameters(Str(kBundle), side, Str(port), baudrate, parity, dataBits, stopBits,
                                       flowControl);
  }
};

class Part4_2_BundleSetDynamicParametersForRealPort : public SetterDllTest {
 protected:
  int SetDynamic(const std::wstring& port, int side = 0) {
    return BundleSetDynamicParametersForRealPort(Str(kBundle), side, Str(port));
  }
};

}  // namespace

// ---- BundleSetRealPortParameters ---------------------------------------------

TEST_F(Part4_2_BundleSetRealPortParameters, OutOfRangeCodesFailWith13AndSendNothing) {
  Entry(L"COM3", L"r|9600,n,8,0|1|1");
  struct Case {
    int parity, dataBits, stopBits, flowControl;
  };
  // The Part's cases (data bits 4 or 9, parity 5, stop bits 3, flow control 3,
  // parity -1), then the other negatives that only an unsigned compare refuses.
  for (const Case c : {Case{0, 4, 0, 0}, Case{0, 9, 0, 0}, Case{5, 8, 0, 0}, Case{0, 8, 3, 0}, Case{0, 8, 0, 3},
                       Case{-1, 8, 0, 0}, Case{0, -1, 0, 0}, Case{0, 8, -1, 0}, Case{0, 8, 0, -1},
                       Case{0, INT32_MIN, 0, 0}}) {
    PresetLastError2();
    EXPECT_EQ(Set(L"COM3", 9600, c.parity, c.dataBits, c.stopBits, c.flowControl), 0)
        << c.parity << " " << c.dataBits << " " << c.stopBits << " " << c.flowControl;
    EXPECT_EQ(QKGetLastError(), 13u);
  }
  EXPECT_EQ(server_.BytesReceived(), 0u);
}

TEST_F(Part4_2_BundleSetRealPortParameters, RangeLimitsAreAccepted) {
  Entry(L"COM3", L"r|9600,n,8,0|1|1");
  EXPECT_EQ(Set(L"COM3", 9600, 4, 5, 2, 2), 1);
  EXPECT_EQ(Set(L"COM3", 9600, 0, 8, 0, 0), 1);
  EXPECT_EQ(Set(L"COM3", 9600, 1, 6, 1, 1), 1);
  EXPECT_EQ(Set(L"COM3", 9600, 3, 7, 0, 0), 1);
  EXPECT_EQ(server_.Commands(), (Commands{Sent("COM3", "9600-S-5-2-P|1|1"), Sent("COM3", "9600-N-8-0|1|1"),
                                          Sent("COM3", "9600-O-6-1-X|1|1"), Sent("COM3", "9600-M-7-0|1|1")}));
  EXPECT_EQ(QKGetLastError(), 0u);
}

TEST_F(Part4_2_BundleSetRealPortParameters, BaudrateIsNotCheckedAndSentAsGiven) {
  Entry(L"COM3", L"r|9600,n,8,0|1|1");
  EXPECT_EQ(Set(L"COM3", 0, 0, 8, 0, 0), 1);
  EXPECT_EQ(Set(L"COM3", -1, 0, 8, 0, 0), 1);
  EXPECT_EQ(Set(L"COM3", INT32_MIN, 2, 7, 1, 1), 1);
  EXPECT_EQ(server_.Commands(), (Commands{Sent("COM3", "0-N-8-0|1|1"), Sent("COM3", "-1-N-8-0|1|1"),
                                          Sent("COM3", "-2147483648-E-7-1-X|1|1")}));
  EXPECT_EQ(QKGetLastError(), 0u);
}

// The Overview's and Part 4.2's example, byte for byte.
TEST_F(Part4_2_BundleSetRealPortParameters, ExampleKeepsTheStoredBits) {
  ExampleEntry(L"COM3", L"R|9600,N,8,0|1|0");
  Var bundle, port;
  *bundle = Bstr(L"B");
  *port = Bstr(L"COM3");
  EXPECT_EQ(BundleSetRealPortParameters(bundle.copy(), 0, port.copy(), 19200, 2, 7, 1, 1), 1);
  const std::string expected = "SET_RPORT_PARAMS B,In,COM3,19200-E-7-1-X|1|0!";
  EXPECT_EQ(server_.Commands(), (Commands{expected}));
  EXPECT_EQ(server_.BytesReceived(), expected.size());  // nothing after the "!"
  EXPECT_EQ(QKGetLastError(), 0u);
}

// Part 4.1's last bullet: 9600,N,8,0,X with the high bit set, the low clear.
TEST_F(Part4_2_BundleSetRealPortParameters, ParameterFieldOfPart4_1) {
  Entry(L"COM3", L"r||1|0");
  EXPECT_EQ(Set(L"COM3", 9600, 0, 8, 0, 1), 1);
  EXPECT_EQ(server_.Commands(), (Commands{Sent("COM3", "9600-N-8-0-X|1|0")}));
}

TEST_F(Part4_2_BundleSetRealPortParameters, EntryWithoutFlagPartKeepsBothBitsSet) {
  Entry(L"COM3", L"r|9600,n,8,0");
  Entry(L"COM4", L"r");
  Entry(L"COM5", L"");
  EXPECT_EQ(Set(L"COM3", 115200, 2, 7, 2, 2), 1);
  EXPECT_EQ(Set(L"COM4", 115200, 2, 7, 2, 2), 1);
  EXPECT_EQ(Set(L"COM5", 115200, 2, 7, 2, 2), 1);
  EXPECT_EQ(server_.Commands(), (Commands{Sent("COM3", "115200-E-7-2-P|1|1"), Sent("COM4", "115200-E-7-2-P|1|1"),
                                          Sent("COM5", "115200-E-7-2-P|1|1")}));
}

TEST_F(Part4_2_BundleSetRealPortParameters, StoredBitsAreSentBack) {
  Entry(L"A", L"r|9600,n,8,0|0|1");
  Entry(L"C", L"r|9600,n,8,0|");     // both clear
  Entry(L"D", L"r|9600,n,8,0|1");    // missing field 4: low clear
  Entry(L"E", L"v|9600,n,8,0|yes|1");  // only "1" sets a bit; the kind is not checked
  for (const wchar_t* port : {L"A", L"C", L"D", L"E"}) EXPECT_EQ(Set(port, 9600, 0, 8, 0, 0), 1);
  EXPECT_EQ(server_.Commands(), (Commands{Sent("A", "9600-N-8-0|0|1"), Sent("C", "9600-N-8-0|0|0"),
                                          Sent("D", "9600-N-8-0|1|0"), Sent("E", "9600-N-8-0|0|1")}));
}

// An unreadable entry sends both bits clear; its status is not reported.
TEST_F(Part4_2_BundleSetRealPortParameters, UnreadableEntrySendsBothBitsClear) {
  ASSERT_EQ(SetDword(SideKey(L"IN"), L"DW", 0x31), ERROR_SUCCESS);
  ASSERT_EQ(SetStringWithoutNul(SideKey(L"IN"), L"NONUL", L"r|9600,n,8,0|1|1"), ERROR_SUCCESS);
  PresetLastError13();
  EXPECT_EQ(Set(L"NOENTRY", 9600, 0, 8, 0, 0), 1);  // the side key exists, the value not
  EXPECT_EQ(Set(L"DW", 9600, 0, 8, 0, 0), 1);
  EXPECT_EQ(Set(L"NONUL", 9600, 0, 8, 0, 0), 1);
  EXPECT_EQ(Set(L"COM3", 9600, 0, 8, 0, 0, 1), 1);  // no OUT key at all
  Var missing, port;
  *missing = Bstr(L"NoSuchParamsBundle");
  *port = Bstr(L"COM3");
  EXPECT_EQ(BundleSetRealPortParameters(missing.copy(), 0, port.copy(), 9600, 0, 8, 0, 0), 1);
  EXPECT_EQ(server_.Commands(),
            (Commands{Sent("NOENTRY", "9600-N-8-0|0|0"), Sent("DW", "9600-N-8-0|0|0"), Sent("NONUL", "9600-N-8-0|0|0"),
                      Sent("COM3", "9600-N-8-0|0|0", "Out"), "SET_RPORT_PARAMS NoSuchParamsBundle,In,COM3,9600-N-8-0|0|0!"}));
  EXPECT_EQ(QKGetLastError(), 13u);
}

TEST_F(Part4_2_BundleSetRealPortParameters, Side1ReadsOutAndSendsOut) {
  Entry(L"COM3", L"r|9600,n,8,0|0|0", L"IN");
  Entry(L"COM3", L"r|9600,n,8,0|1|0", L"OUT");
  EXPECT_EQ(Set(L"COM3", 4800, 1, 8, 0, 0, 1), 1);
  EXPECT_EQ(server_.Commands(), (Commands{Sent("COM3", "4800-O-8-0|1|0", "Out")}));
}

// Side 2 is refused after the bundle was taken and before the port was: the
// by-value VARIANTs are observed through the hidden pointer (x64).
TEST_F(Part4_2_BundleSetRealPortParameters, Side2FailsWith13BeforeAnythingIsRead) {
  Entry(L"COM3", L"r|9600,n,8,0|1|1");
  HMODULE dll = GetModuleHandleW(L"lumbrex.dll");
  ASSERT_NE(dll, nullptr);
  using SetByPointer = int(WINAPI*)(VARIANT*, int, VARIANT*, int, int, int, int, int);
  auto set = reinterpret_cast<SetByPointer>(
      reinterpret_cast<void*>(GetProcAddress(dll, "BundleSetRealPortParameters")));
  ASSERT_NE(set, nullptr);
  BSTR bundle = SysAllocString(kBundle.c_str());
  BSTR port = SysAllocString(L"COM3");
  VARIANT b = ByRefBstr(&bundle), p = ByRefBstr(&port);
  for (int side : {2, -1, 256}) {
    PresetLastError2();
    EXPECT_EQ(set(&b, side, &p, 9600, 0, 8, 0, 0), 0);
    EXPECT_EQ(QKGetLastError(), 13u);
    EXPECT_EQ(b.vt, VT_BSTR);  // converted in place (Part 1.1)...
    EXPECT_EQ(p.vt, VT_BYREF | VT_BSTR);  // ...but the port was never taken
    VariantClear(&b);
    b = ByRefBstr(&bundle);
  }
  EXPECT_EQ(server_.BytesReceived(), 0u);
  // The range checks come after the side: side 2 with bad ranges is still 13
  // and a good side with good ranges goes through.
  EXPECT_EQ(set(&b, 2, &p, 9600, 9, 9, 9, 9), 0);
  VariantClear(&b);
  b = ByRefBstr(&bundle);
  EXPECT_EQ(set(&b, 0, &p, 9600, 0, 8, 0, 0), 1);
  VariantClear(&b);
  VariantClear(&p);
  EXPECT_EQ(server_.Commands(), (Commands{Sent("COM3", "9600-N-8-0|1|1")}));
  SysFreeString(bundle);
  SysFreeString(port);
}

TEST_F(Part4_2_BundleSetRealPortParameters, NonStringArgumentsFailWith13AndSendNothing) {
  EXPECT_EQ(BundleSetRealPortParameters(I4(5), 0, Str(L"COM3"), 9600, 0, 8, 0, 0), 0);
  EXPECT_EQ(QKGetLastError(), 13u);
  PresetLastError2();
  EXPECT_EQ(BundleSetRealPortParameters(Str(kBundle), 0, I4(3), 9600, 0, 8, 0, 0), 0);
  EXPECT_EQ(QKGetLastError(), 13u);
  PresetLastError2();
  EXPECT_EQ(BundleSetRealPortParameters(Str(kBundle), 0, OfType(VT_BYREF | VT_I4), 9600, 0, 8, 0, 0), 0);
  EXPECT_EQ(QKGetLastError(), 13u);
  EXPECT_EQ(server_.BytesReceived(), 0u);
}

// No IsValidPortName check in the setters; a null BSTR is the empty name.
TEST_F(Part4_2_BundleSetRealPortParameters, AnyPortNameIsSent) {
  EXPECT_EQ(Set(L"COM 1", 9600, 0, 8, 0, 0), 1);
  EXPECT_EQ(BundleSetRealPortParameters(Str(kBundle), 0, NullBstr(), 9600, 0, 8, 0, 0), 1);
  EXPECT_EQ(server_.Commands(), (Commands{Sent("COM 1", "9600-N-8-0|0|0"), Sent("", "9600-N-8-0|0|0")}));
}

TEST_F(Part4_2_BundleSetRealPortParameters, WithoutConnectionReturns0AndLeavesTheLastError) {
  Entry(L"COM3", L"r|9600,n,8,0|1|1");
  ASSERT_EQ(DisconnectFromService(), 1);
  PresetLastError2();
  EXPECT_EQ(Set(L"COM3", 19200, 2, 7, 1, 1), 0);
  EXPECT_EQ(QKGetLastError(), 2u);
  EXPECT_EQ(server_.BytesReceived(), 0u);
}

TEST_F(Part4_2_BundleSetRealPortParameters, ErrorReplyGives0AndLeavesTheLastError) {
  Entry(L"COM3", L"r|9600,n,8,0|1|1");
  PresetLastError13();
  server_.QueueReply("ERROR!");
  EXPECT_EQ(Set(L"COM3", 19200, 2, 7, 1, 1), 0);
  EXPECT_EQ(QKGetLastError(), 13u);
  server_.QueueReply("ok!");
  EXPECT_EQ(Set(L"COM3", 19200, 2, 7, 1, 1), 1);
  EXPECT_EQ(server_.Commands(), (Commands{Sent("COM3", "19200-E-7-1-X|1|1"), Sent("COM3", "19200-E-7-1-X|1|1")}));
  EXPECT_TRUE(NothingBeyondCommands());
}

// ---- BundleSetDynamicParametersForRealPort -----------------------------------

TEST_F(Part4_2_BundleSetDynamicParametersForRealPort, SendsEmptyTextWithTheStoredBits) {
  Entry(L"COM3", L"r|9600,n,8,0|0|1");
  Entry(L"COM4", L"R|9600,N,8,0,X|1|0");
  Entry(L"COM5", L"r|9600,n,8,0");  // no flag part: both bits set
  EXPECT_EQ(SetDynamic(L"COM3"), 1);
  EXPECT_EQ(SetDynamic(L"COM4"), 1);
  EXPECT_EQ(SetDynamic(L"COM5"), 1);
  EXPECT_EQ(server_.Commands(), (Commands{Sent("COM3", "|0|1"), Sent("COM4", "|1|0"), Sent("COM5", "|1|1")}));
  EXPECT_TRUE(NothingBeyondCommands());
  EXPECT_EQ(QKGetLastError(), 0u);
}

TEST_F(Part4_2_BundleSetDynamicParametersForRealPort, PortWithoutEntrySendsBothBitsClear) {
  PresetLastError13();
  EXPECT_EQ(SetDynamic(L"COM9"), 1);
  EXPECT_EQ(server_.Commands(), (Commands{Sent("COM9", "|0|0")}));
  EXPECT_EQ(QKGetLastError(), 13u);
}

TEST_F(Part4_2_BundleSetDynamicParametersForRealPort, Side1ReadsOutAndSendsOut) {
  Entry(L"COM3", L"r|9600,n,8,0|1|1", L"IN");
  Entry(L"COM3", L"r|9600,n,8,0|0|1", L"OUT");
  EXPECT_EQ(SetDynamic(L"COM3", 1), 1);
  EXPECT_EQ(server_.Commands(), (Commands{Sent("COM3", "|0|1", "Out")}));
}

TEST_F(Part4_2_BundleSetDynamicParametersForRealPort, Side2FailsWith13BeforeAnythingIsRead) {
  HMODULE dll = GetModuleHandleW(L"lumbrex.dll");
  ASSERT_NE(dll, nullptr);
  using SetByPointer = int(WINAPI*)(VARIANT*, int, VARIANT*);
  auto set = reinterpret_cast<SetByPointer>(
      reinterpret_cast<void*>(GetProcAddress(dll, "BundleSetDynamicParametersForRealPort")));
  ASSERT_NE(set, nullptr);
  BSTR bundle = SysAllocString(kBundle.c_str());
  BSTR port = SysAllocString(L"COM3");
  VARIANT b = ByRefBstr(&bundle), p = ByRefBstr(&port);
  PresetLastError2();
  EXPECT_EQ(set(&b, 2, &p), 0);
  EXPECT_EQ(QKGetLastError(), 13u);
  EXPECT_EQ(b.vt, VT_BSTR);
  EXPECT_EQ(p.vt, VT_BYREF | VT_BSTR);
  VariantClear(&b);
  EXPECT_EQ(server_.BytesReceived(), 0u);
  SysFreeString(bundle);
  SysFreeString(port);
}

TEST_F(Part4_2_BundleSetDynamicParametersForRealPort, NonStringArgumentsFailWith13AndSendNothing) {
  EXPECT_EQ(BundleSetDynamicParametersForRealPort(NullBstr(), 0, I8(3)), 0);
  EXPECT_EQ(QKGetLastError(), 13u);
  PresetLastError2();
  EXPECT_EQ(BundleSetDynamicParametersForRealPort(OfType(VT_EMPTY), 0, Str(L"COM3")), 0);
  EXPECT_EQ(QKGetLastError(), 13u);
  EXPECT_EQ(server_.BytesReceived(), 0u);
}

TEST_F(Part4_2_BundleSetDynamicParametersForRealPort, WithoutConnectionReturns0AndLeavesTheLastError) {
  ASSERT_EQ(DisconnectFromService(), 1);
  PresetLastError2();
  EXPECT_EQ(SetDynamic(L"COM3"), 0);
  EXPECT_EQ(QKGetLastError(), 2u);
  EXPECT_EQ(server_.BytesReceived(), 0u);
}

TEST_F(Part4_2_BundleSetDynamicParametersForRealPort, ErrorReplyGives0AndLeavesTheLastError) {
  PresetLastError2();
  server_.QueueReply("ERROR!");
  EXPECT_EQ(SetDynamic(L"COM3"), 0);
  EXPECT_EQ(QKGetLastError(), 2u);
  EXPECT_EQ(server_.Commands(), (Commands{Sent("COM3", "|0|0")}));
}

TEST(Part4_2_Exports, SettersExportedUnderPlainNames) {
  HMODULE dll = GetModuleHandleW(L"lumbrex.dll");
  ASSERT_NE(dll, nullptr);
  for (const char* name : {"BundleSetRealPortParameters", "BundleSetDynamicParametersForRealPort",
                           "BundlePortSetPermissions"}) {
    EXPECT_NE(GetProcAddress(dll, name), nullptr) << name;
  }
}
