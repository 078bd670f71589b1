// The system's text for a Windows error code, for programs that report the
// library's last-error code to people (lumbrexctl, the automation object, the
// driver loader).
#pragma once
#include <windows.h>

#include <string>

namespace lumbrex {

// FormatMessage's text without its closing line break and spaces; empty when
// the system has none for the code.
std::wstring SystemMessage(DWORD code);

}  // namespace lumbrex
