// For programs on top of the library (lumbrexctl, the automation object):
// what one export call did, beyond its 0 or 1.
//
// The library's last-error code is one value for the process, stored only
// by failing paths and never cleared, so "this call stored a code" can only
// be read as "the code changed during the call". Two cases defeat a plain
// before/after comparison, and Observe handles both:
// - a refused argument stores 13 over a held 13: Observe first replaces a
//   held 13 by a read that stores 2 and sends nothing;
// - a command whose transaction fails stores nothing at all, whether the
//   service said no or the pipe broke under the call. The library's pipe
//   reads and writes leave their system error on the calling thread, which
//   Observe clears before the call and reads right after it.
#pragma once
#include <windows.h>
#include <lumbrex.h>

#include <utility>

namespace lumbrex {

struct CallOutcome {
  int result = 0;                  // the export's own result
  unsigned int codeBefore = 0;     // the library's code just before the call
  unsigned int code = 0;           // and just after it
  unsigned long systemError = 0;   // the thread's system error just after it

  // The code changed: this call stored it. (An export that stores a code on
  // every failing path may store the one held before; its callers know.)
  bool StoredCode() const { return code != codeBefore; }
  // The pipe to the service broke under the call (the service died before or
  // while answering, or closed its end): not an answer of the service.
  bool ConnectionLost() const;
  // After a connect that failed: why the pipe did not open, as the system
  // said on the calling thread (the library stores no code for it). The
  // service is busy (it admits no more clients), refused this user, or is
  // not there.
  const wchar_t* PipeOpenFailure() const;
};

// The library's last-error code, with a held 13 replaced first (see above).
unsigned int CodeBeforeCall();

// Runs one export call and records what it did. The caller must not touch
// the library from another thread meanwhile if it wants the code to be this
// call's: the code is one value for the whole process.
template <typename Call>
CallOutcome Observe(Call&& call) {
  CallOutcome outcome;
  outcome.codeBefore = CodeBeforeCall();
  SetLastError(ERROR_SUCCESS);
  outcome.result = std::forward<Call>(call)();
  outcome.systemError = GetLastError();
  outcome.code = QKGetLastError();
  return outcome;
}

}  // namespace lumbrex
