// IsValidPortName: the port-name check that several exports apply. Plain code.
#pragma once
#include "common/text.h"

namespace lumbrex {

// 1 to 33 characters, each in "@".."Z", "a".."z", "0".."9" or "_".
bool IsValidPortName(TextView name);

}  // namespace lumbrex
