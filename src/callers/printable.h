// For programs on top of the library (lumbrexctl, the automation object):
// text quoted in a message, made safe to show. A name read from the registry,
// the driver or a script may hold any character; raw, a line break or NUL
// would cut a message short, fake a line of output or drive a terminal.
#pragma once
#include <string>
#include <string_view>

namespace lumbrex {

// `text` with its control characters written out: "\r", "\n", "\t", else
// "\x1b" ("\x00" for a NUL).
std::wstring Printable(std::wstring_view text);

}  // namespace lumbrex
