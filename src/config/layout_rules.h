// Part 3.1: the plain rules of the configuration layout (no Win32: they also
// compile natively for the fuzzers of a later issue).
#pragma once
#include <cstdint>

#include "common/text.h"

namespace lumbrex {

// Port type codes (Parts 2.3, 3.1); kNoPortType for an entry that starts with
// none of the letters of Part 3.1 (Part 3.2, Left to the implementer).
constexpr int32_t kPortTypeReal = 1;
constexpr int32_t kPortTypeVirtual = 2;
constexpr int32_t kPortTypeShared = 4;
constexpr int32_t kPortTypeSwitcher = 8;
constexpr int32_t kNoPortType = 0;

// Part 3.2, BundleGetPortType step 4: the entry upper-cased (ASCII letters),
// then the five tests "R" 1, "V" 2, "SH" 4, "SW" 8, "KO" (of "KOLM") 2, each
// over as many characters as it names, in this order, a later match winning.
int32_t PortTypeOfEntry(TextView entry);

// Part 3.1: a kernel device name of the virtual-serial driver ("\Device\Dunvale")
// or of the port-sharing driver ("\Device\Marrowby"), compared over the
// prefix's length without regard to (ASCII) case: not a real port.
bool IsDriverDeviceName(TextView kernelName);

}  // namespace lumbrex
