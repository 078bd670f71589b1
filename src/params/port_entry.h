// The port entry: the string the service stores for each port of a side.
// SplitPortEntry is plain code (no Win32 types, compiled natively too:
// fuzzers); ReadPortEntry is its registry edge, defined in
// port_entry_reader.cpp for Windows only.
#pragma once
#include <cstdint>

#include "common/text.h"

namespace lumbrex {

// ReadPortEntry's split of the entry's text: lower-cases the ASCII letters,
// skips any leading "|" and the kind word, and splits the rest into the
// parameter text (field 2) and the high (field 3) and low (field 4) permission
// bits; only "1" as a field's first character sets a bit. Defaults: no "|"
// after the kind word's field, or nothing after the kind word, gives empty text
// with both bits set. A missing field 4 (or nothing after its "|") leaves
// *lowBit as the caller set it (every caller presets both bits clear). Never
// fails. All three outputs must be valid.
void SplitPortEntry(TextView entry, Text* parameterText, bool* highBit, bool* lowBit);

// Reads the value named `portName` of the side key root\bundle\IN (side 0) or
// root\bundle\OUT (any other side) with KEY_READ (0x20019) and splits it with
// SplitPortEntry. Returns 0 or the Windows error code of the key open, the
// string read (2 missing key or value, 13 wrong type or no final NUL, 234 odd
// size) or, after a successful read, of the close. On a non-zero status no
// output is written. Callers preset both bits clear (and the text as they want
// it read when the status is ignored).
uint32_t ReadPortEntry(TextView bundleName, int32_t side, TextView portName, Text* parameterText, bool* highBit,
                       bool* lowBit);

}  // namespace lumbrex
