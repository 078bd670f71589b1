// The plain rules of the configuration layout (no Win32: they also compile
// natively for the fuzzers).
#pragma once
#include <cstdint>

#include "common/text.h"
#include "lumbrex_codes.h"

namespace lumbrex {

// What BundleGetPortType reports, beside the LUMBREX_PORT_ codes, for an entry
// that starts with none of the kind letters.
constexpr int32_t kNoPortType = 0;

// BundleGetPortType's reading: the entry upper-cased (ASCII letters),
// then the five tests "R" 1, "V" 2, "SH" 4, "SW" 8, "KO" (of "KOLM") 2, each
// over as many characters as it names, in this order, a later match winning.
int32_t PortTypeOfEntry(TextView entry);

// A kernel device name of the virtual-serial driver ("\Device\Dunvale")
// or of the port-sharing driver ("\Device\Marrowby"), compared over the
// prefix's length without regard to (ASCII) case: not a real port.
bool IsDriverDeviceName(TextView kernelName);

}  // namespace lumbrex
