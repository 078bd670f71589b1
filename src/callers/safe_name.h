// For programs on top of the library (lumbrexctl, the automation object):
// whether a name can go to the service as it is. The library itself sends
// names as given, so the check belongs to the callers that take names from
// people and scripts.
#pragma once
#include <string>
#include <string_view>

namespace lumbrex {

// Why a bundle, port or application name cannot go to the service as it is,
// or "" when it can. Names travel unescaped in ANSI text: "!" ends the command
// (the rest would run as a command of its own), "," starts another field, a
// character the calling thread's ANSI code page lacks arrives as a look-alike
// or "?" (and so names another bundle), and a control character has no
// business in a registry key. Check on the thread that then calls the library.
std::wstring NameProblem(std::wstring_view name);

}  // namespace lumbrex
