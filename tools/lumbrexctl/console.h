// The tool's edge to its reader: results on stdout, messages on stderr, and
// the conversions between the exports' UTF-16 and the UTF-8 that CLI11 and
// nlohmann::json hold.
#pragma once
#include <windows.h>

#include <string>
#include <string_view>

#include "callers/printable.h"

namespace lumbrexctl {

void Out(std::wstring_view text);
void Err(std::wstring_view text);
// The same for text that is UTF-8 already (JSON, help texts).
void OutUtf8(std::string_view text);
void ErrUtf8(std::string_view text);

std::string Utf8(std::wstring_view text);
std::wstring Wide(std::string_view utf8);

// The system's text for a Windows error code, without its line end.
std::wstring SystemMessage(DWORD code);

// Printable: callers/printable.h, shared with the automation object.
using ::lumbrex::Printable;

// "lumbrexctl: MESSAGE" and a line end on stderr: every message of the tool
// goes this way, so a name it quotes cannot forge a line or drive the
// terminal, wherever it came from (command line, registry, driver).
void Complain(std::wstring_view message);

inline std::wstring Num(long long value) { return std::to_wstring(value); }

}  // namespace lumbrexctl
