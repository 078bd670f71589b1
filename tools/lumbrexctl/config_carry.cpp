#include "config_carry.h"

#include <atomic>

#include "config_calls.h"
#include "console.h"
#include "watchdog.h"

namespace lumbrexctl {
namespace {

class StepsAccount {
 public:
  StepsAccount(const std::vector<CheckedStep>& steps, bool rollback)
      : steps_(steps), rollback_(rollback), account_([this] { return Lines(); }) {}
  void Next(size_t i) { next_ = i; }

 private:
  const std::vector<CheckedStep>& steps_;
  const bool rollback_;
  std::atomic<size_t> next_{0};
  Account account_;  // last: gone first, before what it reads

  std::wstring Lines() const {
    const size_t under = next_;
    const wchar_t* done = rollback_ ? L"rolled back" : L"done";
    std::wstring lines = Num(under) + L" of " + Num(steps_.size()) + L" " + (rollback_ ? L"rollback " : L"") +
                         L"changes made (the '" + done + L":' lines above)\n";
    for (size_t i = under; i < steps_.size(); ++i)
      lines += std::wstring(i == under ? L"not known whether " : L"not ") + done +
               (i == under ? L" (no reply in time): " : L": ") +
               Printable(Wide(config::StepText(steps_[i].step()))) + L"\n";
    return lines + (rollback_ ? L"rollback: stopped; 'lumbrexctl show' says what the configuration is now\n"
                              : L"not rolled back: the service did not answer in time ('lumbrexctl show')\n");
  }
};

}  // namespace

size_t Carry(const std::vector<CheckedStep>& steps, bool rollback, bool* lost) {
  StepsAccount account(steps, rollback);
  for (size_t i = 0; i < steps.size(); ++i) {
    account.Next(i);
    const config::Step& step = steps[i].step();
    const CallOutcome outcome = Send(steps[i]);
    if (outcome.result == 1) {
      Out((rollback ? L"rolled back: " : L"done: ") + Printable(Wide(config::StepText(step))) + L"\n");
      continue;
    }
    *lost = outcome.ConnectionLost();
    Say(Failed(Wide(config::StepText(step)), StepFailure(step, outcome)));
    const std::wstring made = rollback ? L"rolled back" : L"done";
    for (size_t k = i; k < steps.size(); ++k)
      Out((k == i && *lost ? L"not known whether " + made + L" (the reply was lost): " : L"not " + made + L": ") +
          Printable(Wide(config::StepText(steps[k].step()))) + L"\n");
    return i;
  }
  return steps.size();
}

}  // namespace lumbrexctl
