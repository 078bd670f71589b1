#include "config_verbs.h"

#include <atomic>

#include "api/raii.h"
#include "config_calls.h"
#include "console.h"
#include "show.h"
#include "watchdog.h"

namespace lumbrexctl {
namespace {

using config::Plan;
using config::Step;

bool ReadWhole(const std::wstring& path, std::string* text, std::wstring* why) {
  const lumbrex::UniqueHandle file(
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file.valid()) return *why = CodeText(GetLastError()), false;
  char buffer[65536];
  DWORD got = 0;
  BOOL ok = TRUE;
  while ((ok = ::ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr)) && got > 0) text->append(buffer, got);
  if (!ok) *why = CodeText(GetLastError());
  return ok;
}

bool WriteWhole(const std::wstring& path, const std::string& text) {
  const lumbrex::UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  DWORD written = 0;
  const bool ok = file.valid() &&
                  ::WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                  written == text.size();
  if (!ok) Complain(L"cannot write " + Printable(path) + L" (" + CodeText(GetLastError()) + L")");
  return ok;
}

// The document of FILE, or every problem with it said: nothing is sent then.
std::optional<config::Model> Document(const std::wstring& path, const std::string& text) {
  const config::ReadResult read = config::ReadDocument(text, ToolRules());
  for (const config::Problem& problem : read.problems) Complain(Printable(path) + L": " + Printable(Wide(problem.Text())));
  return read.model;
}

std::optional<config::Model> Current() {
  CurrentModel current = ReadCurrentModel();
  for (const std::wstring& problem : current.problems)
    Complain(L"the configuration cannot be read back exactly: " + Printable(problem));
  if (!current.problems.empty()) return std::nullopt;
  return std::move(current.model);
}

// What plan and apply work on: the configuration as read, the target and its
// prune choice (the command line's, or a saved plan's), and the plan. None
// when something is refused; it is said then, and nothing is sent.
struct Planned {
  config::Model before;   // as read
  config::Model planned;  // with the stored share permissions of the target's ports no bundle holds
  config::Model target;
  bool prune = false;
  Plan plan;
};

std::optional<Planned> MakePlanned(const ConfigRequest& request) {
  const std::wstring& path = request.planFile.empty() ? request.file : request.planFile;
  std::string text;
  std::wstring why;
  if (!ReadWhole(path, &text, &why)) return Complain(L"cannot read " + Printable(path) + L" (" + why + L")"), std::nullopt;
  Planned out;
  out.prune = request.prune;
  std::optional<config::SavedPlan> saved;
  if (request.planFile.empty()) {
    std::optional<config::Model> model = Document(path, text);
    if (!model) return std::nullopt;
    out.target = std::move(*model);
  } else {
    config::SavedPlanRead read = config::ReadSavedPlan(text, ToolRules());
    for (const config::Problem& problem : read.problems) Complain(Printable(path) + L": " + Printable(Wide(problem.Text())));
    if (!read.saved) return Complain(Printable(path) + L": not a plan saved by 'lumbrexctl plan --out'"), std::nullopt;
    saved = std::move(read.saved);
    out.target = saved->target;
    out.prune = saved->prune;
  }
  std::optional<config::Model> current = Current();
  if (!current) return std::nullopt;
  out.before = std::move(*current);
  out.planned = out.before;
  ReadLeftoverShare(out.target, &out.planned);
  out.plan = config::MakePlan(out.planned, out.target, out.prune);
  const std::string stale = saved ? config::Stale(*saved, out.before, out.plan) : "";
  if (!stale.empty()) return Failed(L"apply", Wide(stale) + L"; nothing was sent (plan again)"), std::nullopt;
  return out;
}

void PrintLeftAlone(const Plan& plan) {
  for (const std::string& left : plan.leftAlone) Out(L"left alone (not named in the file; --prune removes it): " + Printable(Wide(left)) + L"\n");
}

// Changes to make, or anything the file could name that the machine holds
// beyond it: the machine differs from the file (exit 2).
int PrintPlan(const Plan& plan, bool json) {
  if (json) {
    OutUtf8(config::PlanJson(plan));
  } else {
    for (const Step& step : plan.steps) Out(Printable(Wide(config::StepText(step))) + L"\n");
    PrintLeftAlone(plan);
    if (plan.steps.empty()) Out(L"nothing to do" + std::wstring(plan.leftAlone.empty() ? L"" : L" without --prune") + L"\n");
    else Out(Wide(config::Summary(plan)) + L"\n");
  }
  return plan.steps.empty() && plan.leftAlone.empty() ? kDone : kChanges;
}

// Said when the watchdog gives up on a call while steps are carried out: which
// were done, which one is under way, which were not sent.
class StepsAccount {
 public:
  StepsAccount(const std::vector<Step>& steps, bool rollback)
      : steps_(steps), rollback_(rollback), account_([this] { return Lines(); }) {}
  void Next(size_t i) { next_ = i; }

 private:
  const std::vector<Step>& steps_;
  const bool rollback_;
  std::atomic<size_t> next_{0};
  Account account_;

  std::wstring Lines() const {
    const size_t under = next_;
    const wchar_t* done = rollback_ ? L"rolled back" : L"done";
    std::wstring lines = Num(under) + L" of " + Num(steps_.size()) + L" " + (rollback_ ? L"rollback " : L"") +
                         L"changes made (the '" + done + L":' lines above)\n";
    for (size_t i = under; i < steps_.size(); ++i)
      lines += std::wstring(i == under ? L"not known whether " : L"not ") + done +
               (i == under ? L" (no reply in time): " : L": ") + Printable(Wide(config::StepText(steps_[i]))) + L"\n";
    return lines + (rollback_ ? L"rollback: stopped; 'lumbrexctl show' says what the configuration is now\n"
                              : L"not rolled back: the service did not answer in time ('lumbrexctl show')\n");
  }
};

// The steps one after another; the index of the one that failed, or the count.
size_t Carry(const std::vector<Step>& steps, bool rollback, bool* lost) {
  StepsAccount account(steps, rollback);
  for (size_t i = 0; i < steps.size(); ++i) {
    account.Next(i);
    const CallOutcome outcome = Send(steps[i]);
    if (outcome.result == 1) {
      Out((rollback ? L"rolled back: " : L"done: ") + Printable(Wide(config::StepText(steps[i]))) + L"\n");
      continue;
    }
    *lost = outcome.ConnectionLost();
    Complain(Wide(config::StepText(steps[i])) + L" failed: " + StepFailure(steps[i], outcome));
    return i;
  }
  return steps.size();
}

// Puts back the configuration read before the first change (`before`, with
// the stored share permissions apply planned with), and says what it cannot.
void RollBack(const config::Model& before, const std::vector<Step>& done) {
  std::optional<config::Model> now = Current();
  if (!now) return Complain(L"rollback: not made, the configuration does not read back");
  ReadLeftoverShare(before, &*now);
  const Plan back = config::MakePlan(*now, before, true);
  Out(L"rolling back: " + Wide(config::Summary(back)) + L"\n");
  bool lost = false;
  if (Carry(back.steps, true, &lost) != back.steps.size())
    return Complain(L"rollback: stopped; the configuration is not as it was ('lumbrexctl show')");
  std::optional<config::Model> after = Current();
  if (!after) return Complain(L"rollback: done, but the configuration does not read back ('lumbrexctl show')");
  const std::vector<std::string> kept = config::NotPutBack(before, done, *after);
  for (const std::string& line : kept) Out(L"not put back: " + Printable(Wide(line)) + L"\n");
  // A port removed and added again (for its type, or to clear a main port)
  // comes last in the registry's list: the same configuration in another order.
  const bool same = config::WriteDocument(*after) == config::WriteDocument(before);
  if (!same && !config::MakePlan(*after, before, true).steps.empty())
    Out(L"rollback: done, but the configuration differs from before apply ('lumbrexctl show')\n");
  else if (!kept.empty())
    Out(L"rollback: done; the configuration is as it was before apply but for what is not put back (above)\n");
  else if (!same)
    Out(L"rollback: done; the configuration is as it was before apply, its ports in another order (one removed and "
        L"added again comes last)\n");
  else
    Out(L"rollback: the configuration is as it was before apply\n");
}

}  // namespace

int RunExport(const ConfigRequest& request) {
  const std::optional<config::Model> current = Current();
  if (!current) return kRefused;
  const std::string text = config::WriteDocument(*current);
  if (request.file.empty()) OutUtf8(text);
  else if (!WriteWhole(request.file, text)) return kRefused;
  return kDone;
}

int RunPlan(const ConfigRequest& request) {
  const std::optional<Planned> planned = MakePlanned(request);
  if (!planned) return kRefused;
  if (!request.out.empty() &&
      !WriteWhole(request.out, config::WriteSavedPlan(planned->before, planned->target, planned->prune, planned->plan)))
    return kRefused;
  return PrintPlan(planned->plan, request.json);
}

int RunApply(const ConfigRequest& request) {
  if (request.dryRun) return RunPlan(request);
  const std::optional<Planned> planned = MakePlanned(request);
  if (!planned) return kRefused;
  const Plan& plan = planned->plan;
  if (plan.steps.empty()) {
    PrintLeftAlone(plan);
    Out(L"nothing to do\n");
    return kDone;
  }
  if (int rc = Connect(Connection{})) return rc;
  bool lost = false;
  const size_t done = Carry(plan.steps, false, &lost);
  if (done == plan.steps.size()) {
    PrintLeftAlone(plan);
    Out(L"applied: " + Wide(config::Summary(plan)) + L"\n");
    return kDone;
  }
  // A lost reply says nothing of the command: the service may have carried
  // it out before it died.
  for (size_t i = done; i < plan.steps.size(); ++i)
    Out((i == done && lost ? L"not known whether done (the reply was lost): " : L"not done: ") +
        Printable(Wide(config::StepText(plan.steps[i]))) + L"\n");
  if (request.noRollback) Out(L"not rolled back (--no-rollback): " + Num(done) + L" of " + Num(plan.steps.size()) + L" changes made\n");
  else if (lost) Complain(L"rollback: not made, the connection to the service is lost; apply again to finish, or 'lumbrexctl show'");
  else RollBack(planned->planned, std::vector<Step>(plan.steps.begin(), plan.steps.begin() + done));
  return kRefused;
}

}  // namespace lumbrexctl
