// Part 4.1: the parameter text and parameter field operations (plain code).
#include <gtest/gtest.h>

#include <climits>

#include "params/parameter_text.h"

using namespace lumbrex;

namespace {
constexpr int32_t kUnwritten = -7777;

// The five outputs, each preset to a sentinel that no parse of ours writes.
struct Outputs {
  int32_t baudrate = kUnwritten, parity = kUnwritten, dataBits = kUnwritten, stopBits = kUnwritten,
          flowControl = kUnwritten;
  bool Parse(const Text& text) {
    return ParsePortParameters(text, &baudrate, &parity, &dataBits, &stopBits, &flowControl);
  }
};
}  // namespace

// ---- ParsePortParameters: every example of Part 4.1 ----------------------

TEST(Part4_1_ParsePortParameters, FullTextWithFlowLetter) {
  Outputs o;
  EXPECT_TRUE(o.Parse(L"9600,n,8,0,x"));
  EXPECT_EQ(o.baudrate, 9600);
  EXPECT_EQ(o.parity, 0);
  EXPECT_EQ(o.dataBits, 8);
  EXPECT_EQ(o.stopBits, 0);
  EXPECT_EQ(o.flowControl, 1);
}

TEST(Part4_1_ParsePortParameters, EmptyTextReturnsFalseAndWritesNothing) {
  Outputs o;
  EXPECT_FALSE(o.Parse(L""));
  EXPECT_EQ(o.baudrate, kUnwritten);
  EXPECT_EQ(o.parity, kUnwritten);
  EXPECT_EQ(o.dataBits, kUnwritten);
  EXPECT_EQ(o.stopBits, kUnwritten);
  EXPECT_EQ(o.flowControl, kUnwritten);
}

TEST(Part4_1_ParsePortParameters, BaudrateAloneReturnsFalseAndWritesNothing) {
  Outputs o;
  EXPECT_FALSE(o.Parse(L"9600"));
  EXPECT_EQ(o.baudrate, kUnwritten);
  EXPECT_EQ(o.parity, kUnwritten);
  EXPECT_EQ(o.dataBits, kUnwritten);
  EXPECT_EQ(o.stopBits, kUnwritten);
  EXPECT_EQ(o.flowControl, kUnwritten);
}

TEST(Part4_1_ParsePortParameters, TwoFieldsReturnFalseAfterWritingBaudrate) {
  Outputs o;
  EXPECT_FALSE(o.Parse(L"9600,n"));
  EXPECT_EQ(o.baudrate, 9600);
  EXPECT_EQ(o.parity, kUnwritten);
  EXPECT_EQ(o.dataBits, kUnwritten);
  EXPECT_EQ(o.stopBits, kUnwritten);
  EXPECT_EQ(o.flowControl, kUnwritten);
}

TEST(Part4_1_ParsePortParameters, TrailingCommaAfterBaudrateReturnsFalseAfterWritingBaudrate) {
  Outputs o;
  EXPECT_FALSE(o.Parse(L"9600,"));
  EXPECT_EQ(o.baudrate, 9600);
  EXPECT_EQ(o.parity, kUnwritten);
}

TEST(Part4_1_ParsePortParameters, ThreeFieldsReturnFalseAfterWritingBaudrateAndParity) {
  Outputs o;
  EXPECT_FALSE(o.Parse(L"9600,n,8"));
  EXPECT_EQ(o.baudrate, 9600);
  EXPECT_EQ(o.parity, 0);
  EXPECT_EQ(o.dataBits, kUnwritten);
  EXPECT_EQ(o.stopBits, kUnwritten);
  EXPECT_EQ(o.flowControl, kUnwritten);
}

TEST(Part4_1_ParsePortParameters, EmptyStopFieldGivesZeroAndLeavesFlowUnwritten) {
  Outputs o;
  EXPECT_TRUE(o.Parse(L"9600,n,8,"));
  EXPECT_EQ(o.baudrate, 9600);
  EXPECT_EQ(o.parity, 0);
  EXPECT_EQ(o.dataBits, 8);
  EXPECT_EQ(o.stopBits, 0);
  EXPECT_EQ(o.flowControl, kUnwritten);
}

TEST(Part4_1_ParsePortParameters, UnknownParityLetterLeavesParityUnwritten) {
  Outputs o;
  EXPECT_TRUE(o.Parse(L"9600,q,8,1"));
  EXPECT_EQ(o.baudrate, 9600);
  EXPECT_EQ(o.parity, kUnwritten);
  EXPECT_EQ(o.dataBits, 8);
  EXPECT_EQ(o.stopBits, 1);
  EXPECT_EQ(o.flowControl, kUnwritten);
}

TEST(Part4_1_ParsePortParameters, ParityFieldMustBeExactlyOneLetter) {
  for (const wchar_t* text : {L"9600,nn,8,1", L"9600,,8,1", L"9600, n,8,1", L"9600,n ,8,1"}) {
    Outputs o;
    EXPECT_TRUE(o.Parse(text)) << text;
    EXPECT_EQ(o.parity, kUnwritten) << text;
  }
}

TEST(Part4_1_ParsePortParameters, ParityLettersInEitherCase) {
  const wchar_t* upper[] = {L"1,N,8,1", L"1,O,8,1", L"1,E,8,1", L"1,M,8,1", L"1,S,8,1"};
  const wchar_t* lower[] = {L"1,n,8,1", L"1,o,8,1", L"1,e,8,1", L"1,m,8,1", L"1,s,8,1"};
  for (int32_t code = 0; code < 5; ++code) {
    Outputs a, b;
    EXPECT_TRUE(a.Parse(upper[code]));
    EXPECT_TRUE(b.Parse(lower[code]));
    EXPECT_EQ(a.parity, code);
    EXPECT_EQ(b.parity, code);
  }
}

TEST(Part4_1_ParsePortParameters, BaudrateWithoutDigitsIsZero) {
  Outputs o;
  EXPECT_TRUE(o.Parse(L"abc,n,8,1"));
  EXPECT_EQ(o.baudrate, 0);
  EXPECT_EQ(o.parity, 0);
  EXPECT_EQ(o.dataBits, 8);
  EXPECT_EQ(o.stopBits, 1);
}

TEST(Part4_1_ParsePortParameters, FlowLetters) {
  struct Case { const wchar_t* text; int32_t flow; } cases[] = {
      {L"9600,n,8,1,p", 2}, {L"9600,n,8,1,P", 2}, {L"9600,n,8,1,x", 1}, {L"9600,n,8,1,X", 1},
      {L"9600,n,8,1,z", 0}, {L"9600,n,8,1,xp", 0}, {L"9600,n,8,1,x,1", 0}, {L"9600,n,8,1,", 0},
      {L"9600,n,8,1, x", 0}};
  for (const auto& c : cases) {
    Outputs o;
    EXPECT_TRUE(o.Parse(c.text)) << c.text;
    EXPECT_EQ(o.stopBits, 1) << c.text;
    EXPECT_EQ(o.flowControl, c.flow) << c.text;
  }
}

TEST(Part4_1_ParsePortParameters, NoRangeIsEnforced) {
  Outputs o;
  EXPECT_TRUE(o.Parse(L"0,n,12,7"));
  EXPECT_EQ(o.baudrate, 0);
  EXPECT_EQ(o.parity, 0);
  EXPECT_EQ(o.dataBits, 12);
  EXPECT_EQ(o.stopBits, 7);
  EXPECT_EQ(o.flowControl, kUnwritten);
}

TEST(Part4_1_ParsePortParameters, StructOverloadWritesTheSameFields) {
  RealPortParameters p{1, 2, 3, 4, 5};
  EXPECT_TRUE(ParsePortParameters(L"115200,e,7,2,p", &p));
  EXPECT_EQ(p.baudrate, 115200);
  EXPECT_EQ(p.parity, 2);
  EXPECT_EQ(p.dataBits, 7);
  EXPECT_EQ(p.stopBits, 2);
  EXPECT_EQ(p.flowControl, 2);
}

TEST(Part4_1_ParsePortParameters, NullOutputsAreSkipped) {
  int32_t stop = kUnwritten;
  EXPECT_TRUE(ParsePortParameters(L"9600,n,8,2,x", nullptr, nullptr, nullptr, &stop, nullptr));
  EXPECT_EQ(stop, 2);
}

// ---- The number rule (StrToIntW's, written by us) -------------------------

TEST(Part4_1_ParseDecimalNumber, LeadingCWhiteSpaceAndSign) {
  EXPECT_EQ(ParseDecimalNumber(L" \t\n\v\f\r+42"), 42);
  EXPECT_EQ(ParseDecimalNumber(L"  -17"), -17);
  EXPECT_EQ(ParseDecimalNumber(L"+0"), 0);
  EXPECT_EQ(ParseDecimalNumber(L"007"), 7);
}

TEST(Part4_1_ParseDecimalNumber, DigitsEndAtTheFirstOtherCharacter) {
  EXPECT_EQ(ParseDecimalNumber(L"12abc"), 12);
  EXPECT_EQ(ParseDecimalNumber(L"12 3"), 12);
  EXPECT_EQ(ParseDecimalNumber(L"1.5"), 1);
  EXPECT_EQ(ParseDecimalNumber(L"9600\x0660"), 9600);  // Arabic-Indic digit: not a decimal digit here
}

TEST(Part4_1_ParseDecimalNumber, NoDigitsGiveZero) {
  EXPECT_EQ(ParseDecimalNumber(L""), 0);
  EXPECT_EQ(ParseDecimalNumber(L"+"), 0);
  EXPECT_EQ(ParseDecimalNumber(L"-"), 0);
  EXPECT_EQ(ParseDecimalNumber(L"--5"), 0);
  EXPECT_EQ(ParseDecimalNumber(L"+-5"), 0);
  EXPECT_EQ(ParseDecimalNumber(L"- 5"), 0);
  EXPECT_EQ(ParseDecimalNumber(L"\x00A0" L"5"), 0);  // no-break space is not C white space
  EXPECT_EQ(ParseDecimalNumber(L"\xFF15"), 0);       // full-width 5 is not a decimal digit here
}

TEST(Part4_1_ParseDecimalNumber, OverlongNumbersWrapAroundModulo2To32) {
  EXPECT_EQ(ParseDecimalNumber(L"2147483647"), INT32_MAX);
  EXPECT_EQ(ParseDecimalNumber(L"-2147483648"), INT32_MIN);
  EXPECT_EQ(ParseDecimalNumber(L"2147483648"), INT32_MIN);
  EXPECT_EQ(ParseDecimalNumber(L"4294967295"), -1);
  EXPECT_EQ(ParseDecimalNumber(L"4294967297"), 1);
  EXPECT_EQ(ParseDecimalNumber(L"99999999999999999999"), 1661992959);
  EXPECT_EQ(ParseDecimalNumber(L"-4294967297"), -1);
}

// ---- FormatPortParameters ------------------------------------------------

TEST(Part4_1_FormatPortParameters, Examples) {
  EXPECT_EQ(FormatPortParameters(115200, 2, 7, 2, 2), L"115200,E,7,2,P");
  EXPECT_EQ(FormatPortParameters(9600, 0, 8, 0, 0), L"9600,N,8,0");
  EXPECT_EQ(FormatPortParameters(9600, 0, 8, 0, 1), L"9600,N,8,0,X");
}

TEST(Part4_1_FormatPortParameters, ParityLettersAreCapitals) {
  EXPECT_EQ(FormatPortParameters(1, 0, 8, 1, 0), L"1,N,8,1");
  EXPECT_EQ(FormatPortParameters(1, 1, 8, 1, 0), L"1,O,8,1");
  EXPECT_EQ(FormatPortParameters(1, 2, 8, 1, 0), L"1,E,8,1");
  EXPECT_EQ(FormatPortParameters(1, 3, 8, 1, 0), L"1,M,8,1");
  EXPECT_EQ(FormatPortParameters(1, 4, 8, 1, 0), L"1,S,8,1");
}

TEST(Part4_1_FormatPortParameters, FlowZeroAndOtherValuesAppendNothing) {
  EXPECT_EQ(FormatPortParameters(9600, 0, 8, 0, 0), L"9600,N,8,0");
  EXPECT_EQ(FormatPortParameters(9600, 0, 8, 0, 3), L"9600,N,8,0");
  EXPECT_EQ(FormatPortParameters(9600, 0, 8, 0, -1), L"9600,N,8,0");
}

TEST(Part4_1_FormatPortParameters, NumbersAreSignedDecimal) {
  EXPECT_EQ(FormatPortParameters(-1, 0, 8, 0, 0), L"-1,N,8,0");
  EXPECT_EQ(FormatPortParameters(0, 0, 8, 0, 0), L"0,N,8,0");
  EXPECT_EQ(FormatPortParameters(INT32_MIN, 0, -5, 2, 0), L"-2147483648,N,-5,2");
  EXPECT_EQ(FormatPortParameters(INT32_MAX, 0, 8, 0, 0), L"2147483647,N,8,0");
}

TEST(Part4_1_FormatPortParameters, ParityOutsideTheCodesIsAQuestionMark) {
  EXPECT_EQ(FormatPortParameters(9600, 5, 8, 0, 0), L"9600,?,8,0");
  EXPECT_EQ(FormatPortParameters(9600, -1, 8, 0, 0), L"9600,?,8,0");
}

TEST(Part4_1_FormatPortParameters, StructOverload) {
  EXPECT_EQ(FormatPortParameters(RealPortParameters{19200, 2, 7, 1, 1}), L"19200,E,7,1,X");
}

// ---- BuildParameterField -------------------------------------------------

TEST(Part4_1_BuildParameterField, Examples) {
  EXPECT_EQ(BuildParameterField(L"9600,N,8,0,X", true, false), L"9600-N-8-0-X|1|0");
  EXPECT_EQ(BuildParameterField(L"9600,N,8,0", true, true), L"9600-N-8-0|1|1");
  EXPECT_EQ(BuildParameterField(L"", true, false), L"|1|0");
  EXPECT_EQ(BuildParameterField(L"", false, true), L"|0|1");
  EXPECT_EQ(BuildParameterField(L"", false, false), L"|0|0");
  EXPECT_EQ(BuildParameterField(L"9600,n,8,0,x", true, false), L"9600-n-8-0-x|1|0");
}

TEST(Part4_1_BuildParameterField, FormattedTextOfTheOverviewExample) {
  EXPECT_EQ(BuildParameterField(FormatPortParameters(19200, 2, 7, 1, 1), true, false), L"19200-E-7-1-X|1|0");
}

// ---- Round trip ----------------------------------------------------------

TEST(Part4_1_RoundTrip, FormattedLowerCasedTextParsesBack) {
  const int32_t baudrates[] = {0, 300, 9600, 115200, -1, INT32_MAX, INT32_MIN};
  for (int32_t baudrate : baudrates)
    for (int32_t parity = 0; parity <= 4; ++parity)
      for (int32_t dataBits = 5; dataBits <= 8; ++dataBits)
        for (int32_t stopBits = 0; stopBits <= 2; ++stopBits)
          for (int32_t flow = 0; flow <= 2; ++flow) {
            const Text text = AsciiLowered(FormatPortParameters(baudrate, parity, dataBits, stopBits, flow));
            Outputs o;
            ASSERT_TRUE(o.Parse(text)) << text.c_str();
            EXPECT_EQ(o.baudrate, baudrate);
            EXPECT_EQ(o.parity, parity);
            EXPECT_EQ(o.dataBits, dataBits);
            EXPECT_EQ(o.stopBits, stopBits);
            // Flow 0 writes no fifth field, so the flow output stays unwritten.
            EXPECT_EQ(o.flowControl, flow == 0 ? kUnwritten : flow) << text.c_str();
          }
}
