#include "call_turns.h"

#include <condition_variable>
#include <mutex>

namespace lumbrex_automation {
namespace {

using Clock = std::chrono::steady_clock;

// The state of the turns, guarded by `lock`, which is never held across a
// call into the library.
struct Turns {
  std::mutex commandTurn;  // held by a command for its whole call
  std::mutex lock;
  std::condition_variable changed;
  bool readRunning = false;
  bool commandRunning = false;
  Clock::time_point commandSince;
  // The ledger of the running command: the code as the last call left it,
  // and the first code something other than a read stored meanwhile.
  unsigned int expected = 0;
  bool foreignSeen = false;
  unsigned int foreignBefore = 0, foreign = 0;

  void Note(unsigned int now) {
    if (commandRunning && !foreignSeen && now != expected) {
      foreignSeen = true;
      foreignBefore = expected;
      foreign = now;
    }
  }
};

Turns& TheTurns() {
  static Turns turns;
  return turns;
}

lumbrex::CallOutcome Read(Turns& t, const std::function<int()>& call) {
  std::unique_lock<std::mutex> held(t.lock);
  for (;;) {
    if (!t.readRunning && !t.commandRunning) break;
    if (!t.readRunning && Clock::now() - t.commandSince >= kCommandChecks) break;
    if (t.readRunning || !t.commandRunning) t.changed.wait(held);
    else t.changed.wait_until(held, t.commandSince + kCommandChecks);
  }
  t.readRunning = true;
  // What the code is now, before this read stores anything: a change since
  // the last call is the running command's.
  t.Note(QKGetLastError());
  held.unlock();
  const lumbrex::CallOutcome outcome = lumbrex::Observe(call);
  held.lock();
  t.expected = outcome.code;
  t.readRunning = false;
  t.changed.notify_all();
  return outcome;
}

lumbrex::CallOutcome Command(Turns& t, const std::function<int()>& call) {
  std::lock_guard<std::mutex> turn(t.commandTurn);
  std::unique_lock<std::mutex> held(t.lock);
  t.changed.wait(held, [&] { return !t.readRunning; });
  // The code before the call is taken as a read would take it, with no read
  // beside it (CodeBeforeCall may itself store a code).
  t.readRunning = true;
  held.unlock();
  lumbrex::CallOutcome outcome;
  outcome.codeBefore = lumbrex::CodeBeforeCall();
  held.lock();
  t.readRunning = false;
  t.commandRunning = true;
  t.commandSince = Clock::now();
  t.expected = outcome.codeBefore;
  t.foreignSeen = false;
  held.unlock();

  SetLastError(ERROR_SUCCESS);
  outcome.result = call();
  outcome.systemError = GetLastError();

  held.lock();
  t.changed.wait(held, [&] { return !t.readRunning; });
  t.Note(QKGetLastError());
  if (t.foreignSeen) {
    outcome.codeBefore = t.foreignBefore;
    outcome.code = t.foreign;
  } else {
    outcome.code = outcome.codeBefore;
  }
  t.commandRunning = false;
  t.changed.notify_all();
  return outcome;
}

}  // namespace

lumbrex::CallOutcome ObserveInTurn(Reach reach, const std::function<int()>& call) {
  Turns& turns = TheTurns();
  return reach == Reach::kSendsNothing ? Read(turns, call) : Command(turns, call);
}

}  // namespace lumbrex_automation
