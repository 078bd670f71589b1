// The turns the object's calls into the library take. The library keeps one
// last-error code for the whole process, so a call reads the code as its own
// only if no other call stores one meanwhile. A command may wait seconds for
// the service's reply, though, and a script's registry read on another thread
// must not wait with it.
//
// - Commands (calls that may send) take turns among themselves: the library
//   serialises the link anyway.
// - Reads (calls that send nothing) take turns among themselves, and do not
//   overlap a command for its first kCommandChecks: the part of a command
//   that may store a code (its argument checks, the registry read some make,
//   a logon) comes before the first byte it sends. After that the command only
//   waits, storing nothing, and reads go on beside it.
// - What a read that ran beside a command stored is not the command's: the
//   command reads its own code from a ledger of what each read found and left.
#pragma once
#include <chrono>
#include <functional>

#include "callers/call_outcome.h"

namespace lumbrex_automation {

// Whether a call may send anything to the service.
enum class Reach { kSendsNothing, kMaySend };

// How long a read waits for a command that is under way before it goes on
// beside it: far longer than any command's checks before it sends.
constexpr std::chrono::milliseconds kCommandChecks{100};

// Runs one export call in its turn and records what it did (callers/call_outcome.h).
lumbrex::CallOutcome ObserveInTurn(Reach reach, const std::function<int()>& call);

}  // namespace lumbrex_automation
