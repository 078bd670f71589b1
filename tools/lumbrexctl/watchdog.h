// The library waits for the service's reply without a time-out of its own, so
// a service that reads a command and never answers would hold the tool
// forever. The verb therefore runs on a thread of its own while the main
// thread watches the export call it is inside (calls.h).
#pragma once
#include <windows.h>

#include <functional>

namespace lumbrexctl {

// --timeout's upper end in seconds: a day; 0 is no limit at all.
constexpr long kLongestTimeLimit = 86400;

// Runs `verb` on a thread of its own and returns its exit code. When one
// export call has not returned within limitMs (0: no limit), says which and
// what it waits for, and ends the process with exit code 1.
int RunWatched(const std::function<int()>& verb, DWORD limitMs);

}  // namespace lumbrexctl
