// The one way the tool calls an export: what the call did, beyond its 0 or 1
// (callers/call_outcome.h), and which export the tool is waiting for while
// it runs, so that the watchdog (watchdog.h) can name one that never returns.
#pragma once
#include <windows.h>

#include <string>
#include <utility>

#include "callers/call_outcome.h"

namespace lumbrexctl {

using lumbrex::CallOutcome;

// The export the verb's thread is inside, and since when (GetTickCount64);
// no name between calls.
struct RunningCall {
  const wchar_t* exportName = nullptr;
  ULONGLONG since = 0;
};
RunningCall Running();

class CallScope {
 public:
  explicit CallScope(const wchar_t* exportName);
  ~CallScope();
  CallScope(const CallScope&) = delete;
  CallScope& operator=(const CallScope&) = delete;
};

template <typename F>
CallOutcome Call(const wchar_t* exportName, F&& call) {
  const CallScope scope(exportName);
  return lumbrex::Observe(std::forward<F>(call));
}

// What follows "NAME failed: " for a call that sends a command: the lost
// connection, the code it stored, or the service's no, which carries none.
std::wstring CommandFailure(const CallOutcome& outcome);
// The same for a call that only reads: it stores a code on every failing
// path (2 over 2 included, which the comparison cannot see).
std::wstring ReadFailure(const CallOutcome& outcome);

// "lumbrexctl: NAME failed: WHY" on stderr; the exit code 1.
int Failed(const wchar_t* exportName, const std::wstring& why);
inline int CommandFailed(const wchar_t* exportName, const CallOutcome& outcome) {
  return Failed(exportName, CommandFailure(outcome));
}
inline int ReadFailed(const wchar_t* exportName, const CallOutcome& outcome) {
  return Failed(exportName, ReadFailure(outcome));
}

}  // namespace lumbrexctl
