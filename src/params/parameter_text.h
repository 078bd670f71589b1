// The parameter text and the parameter field of a port entry. Plain code: no
// Win32 types, compiled natively too (fuzzers).
#pragma once
#include <cstdint>

#include "common/text.h"
#include "lumbrex_codes.h"

namespace lumbrex {

// The number rule of StrToIntW, written here because Wine's StrToIntW differs
// (no leading white space, no "+"): optional leading C white space (space, \t,
// \n, \v, \f, \r), an optional "+" or "-", then decimal digits up to the first
// other character. No digits gives 0. Overlong numbers wrap around modulo 2^32.
int32_t ParseDecimalNumber(TextView text);

// A real port's communication parameters travel as five codes: baudrate,
// parity (0 N, 1 O, 2 E, 3 M, 4 S), data bits, stop bits (0 to 2, carried
// unchanged) and flow control (0 none, 1 X, 2 P).

// The parameter text's parity letter of each LumbrexParity code.
inline constexpr Char16 kParityLetters[LUMBREX_PARITY_SPACE + 1] = {'N', 'O', 'E', 'M', 'S'};
// The flow letter of each LumbrexFlowControl code; none has no flow field.
inline constexpr Char16 kFlowLetters[LUMBREX_FLOW_HARDWARE + 1] = {0, 'X', 'P'};

// "baud,parity,data,stop[,flow]" into the five outputs. Each output is written
// only when its field is reached; the parity output stays unwritten for a
// letter other than N, O, E, M, S (either case), the flow output when there is
// no fifth field. False for text that ends before the stop-bits field. A null
// output is never written (the exports refuse null outputs before calling
// this).
bool ParsePortParameters(TextView text, int32_t* baudrate, int32_t* parity, int32_t* dataBits,
                         int32_t* stopBits, int32_t* flowControl);

// "%d,%c,%d,%d" plus ",X" for flow 1 or ",P" for flow 2; parity letters written
// in capitals. Callers pass parity 0 to 4; any other parity is written as "?"
// (docs/behaviour-details.md).
Text FormatPortParameters(int32_t baudrate, int32_t parity, int32_t dataBits, int32_t stopBits,
                          int32_t flowControl);

// The field SET_RPORT_PARAMS carries: every "," becomes "-", then "|%d|%d" with
// the high bit and the low bit. Empty text gives "|h|l".
Text BuildParameterField(TextView parameterText, bool highBit, bool lowBit);

}  // namespace lumbrex
