// For programs on top of the library (lumbrexctl, the automation object):
// whether a name can go to the service as it is. The library itself sends
// names as given, so the check belongs to the callers that take names from
// people and scripts.
#pragma once
#include <string>
#include <string_view>

namespace lumbrex {

// Why a bundle or port name cannot go to the service as it is,
// or "" when it can. An empty name is refused: the library sends it as given,
// a command with an empty field. Names travel unescaped in ANSI text: "!" ends the command
// (the rest would run as a command of its own), "," starts another field, a
// character the calling thread's ANSI code page lacks arrives as a look-alike
// or "?" (and so names another bundle), and a control character has no
// business in a registry key. Check on the thread that then calls the library.
std::wstring NameProblem(std::wstring_view name);

// The same for an application name: the library escapes "!", "," and "@" in
// it before sending, so only control characters and the code page matter.
std::wstring AppNameProblem(std::wstring_view name);

}  // namespace lumbrex
