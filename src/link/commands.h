// The command operations, for every subsystem that changes the configuration.
// Each converts its text fields to the thread's ANSI code page, builds its
// message (link/protocol.h), hands it to the connection's Transact with its
// command's link wait (the kTimeout constants of link/protocol.h, the waits
// include/lumbrex.h gives callers) and returns Transact's result: true exactly
// when the service's reply began with "OK" (either case). None checks its
// arguments or touches the last-error code. Without a connection every one
// returns false at once (after the link mutex wait).
#pragma once
#include <cstdint>
#include <string>

#include "common/text.h"

namespace lumbrex {

bool CmdAddBundle(const Text& bundle);
bool CmdDeleteBundle(const Text& bundle);
bool CmdGetBundleState(const Text& bundle);
// portType: a LUMBREX_PORT_ code, sent as its word.
bool CmdAddPort(const Text& bundle, bool inputSide, const Text& port, int32_t portType);
bool CmdDeletePort(const Text& bundle, bool inputSide, const Text& port);
bool CmdSetMain(const Text& bundle, bool inputSide, const Text& port);
bool CmdGetPortState(const Text& bundle, bool inputSide, const Text& port);
// parameterText is the port entry's parameter field; its "," go out as "-".
bool CmdSetRealPortParams(const Text& bundle, bool inputSide, const Text& port, const Text& parameterText);
bool CmdUpdateSettings(uint8_t autoOpen, uint8_t ignoreError, uint8_t prints, uint8_t sendDataOnlyMainPort,
                       uint8_t strictBaudrate);
// application is escaped ("@" "@3", "!" "@1", "," "@2") before it is sent.
bool CmdSetSharePermission(const Text& bundle, bool inputSide, const Text& port, const Text& application,
                           int32_t permission);

// The Win32 edge of the message text: UTF-16 to the calling thread's ANSI code
// page (CP_THREAD_ACP, no flags, no default character given). Without flags
// Windows first substitutes a best-fit look-alike for a character the code page
// lacks, and only where it has none the code page's default character: under
// 1252, U+0142 U+0100 U+4E2D (l with stroke, A with macron, a CJK ideograph)
// go out as "lA?".
std::string ToAnsi(const Text& text);

}  // namespace lumbrex
