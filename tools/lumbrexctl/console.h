// The tool's edge to its reader: results on stdout, messages on stderr (the
// engine's texts, texts.h, printed).
#pragma once
#include <windows.h>

#include <string>
#include <string_view>

#include "callers/printable.h"
#include "texts.h"

namespace lumbrexctl {

void Out(std::wstring_view text);
void Err(std::wstring_view text);
// The same for text that is UTF-8 already (JSON, help texts).
void OutUtf8(std::string_view text);
void ErrUtf8(std::string_view text);

// Printable: callers/printable.h, shared with the automation object.
using ::lumbrex::Printable;

// "lumbrexctl: MESSAGE" and a line end on stderr: every message of the tool
// goes this way, so a name it quotes cannot forge a line or drive the
// terminal, wherever it came from (command line, registry, driver).
void Complain(std::wstring_view message);
// The failure said that way; the exit code 1.
int Say(const Failure& failure);

}  // namespace lumbrexctl
