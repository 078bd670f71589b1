// Bundle, port and application names as the service treats them: one rule of
// sameness for the library's callers and the stand-in service, and the
// characters no name may carry in a command, whatever the code page. Plain
// C++, so the configuration engine's planner and its tests use it natively.
#pragma once
#include <string>
#include <string_view>

#include "common/text.h"

namespace lumbrex {

// Names are one name when they are equal without regard to case, letter by
// letter, as the registry compares key and value names: for Latin, Greek,
// Cyrillic and Armenian letters (PÉ and pé, ПОРТ and порт), with no other
// folding ("STRASSE" and "straße" are two; U+0130 and U+0131 stay apart).
char32_t FoldedLetter(char32_t c);
// UTF-8 (the configuration documents) or UTF-16 (the exports, the registry).
// A unit that starts no character stands for itself, so two texts never fold
// alike by being malformed alike.
std::u32string FoldedName(std::string_view utf8);
std::u32string FoldedName(TextView utf16);
bool SameName(std::string_view a, std::string_view b);
bool SameName(TextView a, TextView b);

// Why a name cannot travel in a command whatever the code page: "!" ends the
// command on the service's pipe, "," separates its fields (the library escapes
// both in application names, so `application` allows them), and a control
// character has no business in a registry name. Null when it can.
const char* NameTextProblem(TextView name, bool application);
const char* NameTextProblem(std::string_view utf8, bool application);

}  // namespace lumbrex
