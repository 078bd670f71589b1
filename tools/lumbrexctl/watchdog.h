// The library waits for the service's reply without a time-out of its own, so
// a service that reads a command and never answers would hold the tool
// forever. The verb therefore runs on a thread of its own while the main
// thread watches the export call it is inside (calls.h).
#pragma once
#include <windows.h>

#include <functional>
#include <string>

namespace lumbrexctl {

// --timeout's upper end in seconds: a day; 0 is no limit at all.
constexpr long kLongestTimeLimit = 86400;

// Lines the watchdog prints when it gives up on a call, made by `lines` on
// the watchdog's thread: what the verb had done by then. One at a time; it
// holds from construction to destruction, which waits for a watchdog that is
// using it.
class Account {
 public:
  explicit Account(std::function<std::wstring()> lines);
  ~Account();
  Account(const Account&) = delete;
  Account& operator=(const Account&) = delete;
};

// Runs `verb` on a thread of its own and returns its exit code. When one
// export call has not returned within limitMs (0: no limit), says which and
// what it waits for, and ends the process with exit code 1.
int RunWatched(const std::function<int()>& verb, DWORD limitMs);

}  // namespace lumbrexctl
