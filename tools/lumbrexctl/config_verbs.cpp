#include "config_verbs.h"

#include <algorithm>
#include <set>

#include "api/raii.h"
#include "config_calls.h"
#include "config_carry.h"
#include "config_json.h"
#include "console.h"
#include "show.h"

namespace lumbrexctl {
namespace {

using config::Plan;
using config::Step;

// A document or saved plan: a file on disk, read no further than one byte
// past config::kMaxFileBytes. A pipe, a device or the console would keep
// ReadFile waiting for as long as nobody writes to it, and a file that grows
// while it is read stops at the limit.
bool ReadWhole(const std::wstring& path, std::string* text, std::wstring* why) {
  const lumbrex::UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                               OPEN_EXISTING, 0, nullptr));
  if (!file.valid()) return *why = CodeText(GetLastError()), false;
  if (GetFileType(file.get()) != FILE_TYPE_DISK)
    return *why = L"not a file on disk but a pipe, a device or the console; save the document to a file first", false;
  const std::wstring tooLarge = L"larger than " + Num(config::kMaxFileBytes >> 20) + L" MiB, the most lumbrexctl reads";
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size)) return *why = CodeText(GetLastError()), false;
  if (static_cast<uint64_t>(size.QuadPart) > config::kMaxFileBytes) return *why = tooLarge, false;
  text->reserve(static_cast<size_t>(size.QuadPart) + 1);
  char buffer[65536];
  DWORD got = 0;
  while (text->size() <= config::kMaxFileBytes) {
    const DWORD want = static_cast<DWORD>(std::min(sizeof buffer, config::kMaxFileBytes + 1 - text->size()));
    if (!::ReadFile(file.get(), buffer, want, &got, nullptr)) return *why = CodeText(GetLastError()), false;
    if (got == 0) return true;
    text->append(buffer, got);
  }
  return *why = tooLarge, false;
}

bool WriteWhole(const std::wstring& path, const std::string& text) {
  const lumbrex::UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  DWORD written = 0;
  const bool ok = file.valid() &&
                  ::WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                  written == text.size();
  if (!ok) Say(Failure{L"cannot write " + path, CodeText(GetLastError())});
  return ok;
}

const wchar_t* const kUnreadable = L"the configuration cannot be read back exactly";

// The document of FILE, or every problem with it said: nothing is sent then.
std::optional<config::Model> Document(const std::wstring& path, const std::string& text) {
  const config::ReadResult read = config::ReadDocument(text);
  for (const config::Problem& problem : read.problems) Say(Failure{path, Wide(problem.Text())});
  return read.model;
}

std::optional<config::Model> Current() {
  CurrentModel current = ReadCurrentModel();
  for (const std::wstring& problem : current.problems) Say(Failure{kUnreadable, problem});
  if (!current.problems.empty()) return std::nullopt;
  return std::move(current.model);
}

// The configuration now, with the share permissions stored for the target's
// ports that no bundle holds: what a plan towards the target starts from.
std::optional<config::Model> CurrentFor(const config::Model& target) {
  std::optional<config::Model> current = Current();
  if (!current) return std::nullopt;
  const std::vector<std::wstring> problems = ReadLeftoverShare(target, &*current);
  for (const std::wstring& problem : problems) Say(Failure{kUnreadable, problem});
  if (!problems.empty()) return std::nullopt;
  return current;
}

// Each step checked for the road (road.h) before the first is sent. A step
// that cannot be made is said with its reason; then none is ready.
struct Checked {
  std::vector<CheckedStep> ready;
  std::vector<std::pair<const Step*, std::wstring>> cannot;
};
Checked CheckAll(const std::vector<Step>& steps) {
  Checked out;
  for (const Step& step : steps) {
    std::wstring why;
    if (std::optional<CheckedStep> checked = CheckStep(step, &why)) out.ready.push_back(std::move(*checked));
    else out.cannot.emplace_back(&step, why);
  }
  if (!out.cannot.empty()) out.ready.clear();
  return out;
}

void SayCannot(const Checked& checked, const std::wstring& lead) {
  for (const auto& [step, why] : checked.cannot)
    Say(Failure{lead + L"cannot be made: " + Wide(config::StepText(*step)), why});
}

// What the target keeps as stored that this thread could not send: a name
// with '!' or one its code page lacks, a number outside the callers' rules
// (road.h). A change to it would be refused; leaving it alone is not. Not
// said where a step names it (that step cannot be made, and says so), and a
// share entry once per port name, as the driver keeps it.
void NoteUnsendable(const config::Model& target, const Plan& plan) {
  const auto note = [&](const std::wstring& what, const std::wstring& why, const auto& names) {
    for (const Step& step : plan.steps)
      if (names(step)) return;
    Complain(L"note: " + what + L" left as stored, nothing to send; a change to it could not be sent: " + why);
  };
  const auto number = [&](const std::wstring& what, const Step& probe) {
    const std::wstring why = NumberProblemOf(probe);
    if (why.empty()) return;
    note(what, why, [&](const Step& step) {
      return step.action == probe.action && step.side == probe.side && config::SameName(step.bundle, probe.bundle) &&
             config::SameName(step.port, probe.port) && config::SameName(step.app, probe.app);
    });
  };
  std::set<std::pair<std::u32string, std::u32string>> shares;
  for (const config::Bundle& bundle : target.bundles) {
    std::wstring why;
    const auto inBundle = [&](const Step& step) { return config::SameName(step.bundle, bundle.name); };
    if (!CheckName(Wide(bundle.name), NameKind::kBundle, &why)) {
      note(L"bundle " + Wide(bundle.name), why, inBundle);
      continue;
    }
    for (int s = 0; s < 2; ++s)
      for (const config::Port& port : bundle.sides[s].ports) {
        const std::wstring where = L"port " + Wide(bundle.name) + L" " + Wide(config::kSideWords[s]) + L" " + Wide(port.name);
        const auto atPort = [&](const Step& step) { return inBundle(step) && config::SameName(step.port, port.name); };
        if (!CheckName(Wide(port.name), NameKind::kPort, &why)) {
          note(where, why, atPort);
          continue;
        }
        Step probe;
        probe.bundle = bundle.name, probe.side = s, probe.port = port.name;
        probe.action = config::Action::kPermissions, probe.value = port.mask;
        number(L"permission mask of " + where, probe);
        if (port.fixed) {
          probe.action = config::Action::kFixParameters, probe.parameters = *port.fixed;
          number(L"parameters of " + where, probe);
        }
        for (const auto& [app, value] : port.share) {
          if (!shares.emplace(config::FoldedName(port.name), config::FoldedName(app)).second) continue;
          const std::wstring what = L"share permission " + where + L" " + Wide(app);
          if (!CheckName(Wide(app), NameKind::kApplication, &why)) {
            note(what, why, [&](const Step& step) { return atPort(step) && config::SameName(step.app, app); });
            continue;
          }
          probe.action = config::Action::kShare, probe.app = app, probe.value = value;
          number(what, probe);
        }
      }
  }
}

// Why each step cannot be made, "" for one that can: what plan --json says.
std::vector<std::string> CannotReasons(const Plan& plan, const Checked& checked) {
  std::vector<std::string> reasons(plan.steps.size());
  for (const auto& [step, why] : checked.cannot) reasons[step - plan.steps.data()] = Utf8(why);
  return reasons;
}

// What plan and apply work on: the target and its prune choice (the command
// line's, or a saved plan's), the configuration now with the stored share
// permissions of the target's ports no bundle holds, the plan and its steps
// checked. None when something is refused; it is said then, nothing is sent.
struct Planned {
  config::Model current, target;
  bool prune = false;
  Plan plan;
  Checked checked;
  std::string json;  // the plan as plan --json prints it and a saved plan holds it
};

std::optional<Planned> MakePlanned(const ConfigRequest& request) {
  const std::wstring& path = request.planFile.empty() ? request.file : request.planFile;
  std::string text;
  std::wstring why;
  if (!ReadWhole(path, &text, &why)) return Say(Failure{L"cannot read " + path, why}), std::nullopt;
  Planned out;
  out.prune = request.prune;
  std::optional<config::SavedPlan> saved;
  if (request.planFile.empty()) {
    std::optional<config::Model> model = Document(path, text);
    if (!model) return std::nullopt;
    out.target = std::move(*model);
  } else {
    config::SavedPlanRead read = config::ReadSavedPlan(text);
    for (const config::Problem& problem : read.problems) Say(Failure{path, Wide(problem.Text())});
    if (!read.saved) return Say(Failure{path, L"not a plan saved by 'lumbrexctl plan --out'"}), std::nullopt;
    saved = std::move(read.saved);
    out.target = saved->target;
    out.prune = saved->prune;
  }
  std::optional<config::Model> current = CurrentFor(out.target);
  if (!current) return std::nullopt;
  out.current = std::move(*current);
  out.plan = config::MakePlan(out.current, out.target, out.prune);
  out.checked = CheckAll(out.plan.steps);
  out.json = config::PlanJson(out.plan, CannotReasons(out.plan, out.checked));
  const std::string stale = saved ? config::Stale(*saved, out.current, out.json) : "";
  if (!stale.empty()) return Say(Failed(L"apply", Wide(stale) + L"; nothing was sent (plan again)")), std::nullopt;
  return out;
}

void PrintLeftAlone(const Plan& plan) {
  for (const std::string& left : plan.leftAlone) Out(L"left alone (not named in the file; --prune removes it): " + Printable(Wide(left)) + L"\n");
}

// The plan as plan prints it; 1 when apply would refuse it for a step that
// cannot be made, else 2 when the machine differs from the file (changes to
// make, or what the file does not name, left alone without --prune).
int PrintPlan(const Planned& planned, bool json) {
  const Plan& plan = planned.plan;
  if (json) {
    OutUtf8(planned.json);
  } else {
    for (const Step& step : plan.steps) Out(Printable(Wide(config::StepText(step))) + L"\n");
    PrintLeftAlone(plan);
    if (plan.steps.empty()) Out(L"nothing to do" + std::wstring(plan.leftAlone.empty() ? L"" : L" without --prune") + L"\n");
    else Out(Wide(config::Summary(plan)) + L"\n");
  }
  NoteUnsendable(planned.target, plan);
  if (!planned.checked.cannot.empty()) {
    SayCannot(planned.checked, L"");
    Complain(L"apply would send nothing of this plan");
    return kRefused;
  }
  return plan.steps.empty() && plan.leftAlone.empty() ? kDone : kChanges;
}

// Puts back the configuration read before the first change (`before`, with
// the stored share permissions apply planned with), and says what it cannot.
void RollBack(const config::Model& before, const std::vector<Step>& done) {
  std::optional<config::Model> now = CurrentFor(before);
  if (!now) return (void)Say(Failure{L"rollback", L"not made, the configuration does not read back"});
  Plan back = config::MakePlan(*now, before, true);
  back.steps = config::Undoing(back.steps, done);
  const Checked checked = CheckAll(back.steps);
  if (!checked.cannot.empty()) {
    SayCannot(checked, L"rollback: ");
    return (void)Say(Failure{L"rollback", L"not made, nothing was sent; the configuration is not as it was ('lumbrexctl show')"});
  }
  Out(L"rolling back: " + Wide(config::Summary(back)) + L"\n");
  bool lost = false;
  const size_t rolled = Carry(checked.ready, true, &lost);
  if (rolled != back.steps.size())
    return (void)Say(Failure{L"rollback", L"stopped; the configuration is not as it was ('lumbrexctl show')"});
  std::optional<config::Model> after = Current();
  if (!after) return (void)Say(Failure{L"rollback", L"done, but the configuration does not read back ('lumbrexctl show')"});
  const std::vector<std::string> kept = config::NotPutBack(before, done, *after);
  for (const std::string& line : kept) Out(L"not put back: " + Printable(Wide(line)) + L"\n");
  // A port removed and added again (for its type, or to clear a main port)
  // comes last in the registry's list: the same configuration in another order.
  const bool same = config::WriteDocument(*after) == config::WriteDocument(before);
  const std::vector<Step> differs = config::MakePlan(*after, before, true).steps;
  if (!same && !config::Undoing(differs, done).empty())
    Out(L"rollback: done, but the configuration differs from before apply ('lumbrexctl show')\n");
  else if (!same && !differs.empty())
    Out(L"rollback: done; what apply changed is put back, but someone else changed the configuration meanwhile, "
        L"and that is left as they made it ('lumbrexctl show')\n");
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
      !WriteWhole(request.out, config::WriteSavedPlan(planned->current, planned->target, planned->prune, planned->json)))
    return kRefused;
  return PrintPlan(*planned, request.json);
}

int RunApply(const ConfigRequest& request) {
  if (request.dryRun) return RunPlan(request);
  const std::optional<Planned> planned = MakePlanned(request);
  if (!planned) return kRefused;
  const Plan& plan = planned->plan;
  NoteUnsendable(planned->target, plan);
  if (plan.steps.empty()) {
    PrintLeftAlone(plan);
    Out(L"nothing to do\n");
    return kDone;
  }
  if (!planned->checked.cannot.empty()) {
    SayCannot(planned->checked, L"");
    return Say(Failed(L"apply", L"the plan holds changes that cannot be made; nothing was sent"));
  }
  if (int rc = Connect(Connection{})) return rc;
  bool lost = false;
  const size_t done = Carry(planned->checked.ready, false, &lost);
  if (done == plan.steps.size()) {
    PrintLeftAlone(plan);
    Out(L"applied: " + Wide(config::Summary(plan)) + L"\n");
    return kDone;
  }
  if (request.noRollback) Out(L"not rolled back (--no-rollback): " + Num(done) + L" of " + Num(plan.steps.size()) + L" changes made\n");
  else if (lost) Say(Failure{L"rollback", L"not made, the connection to the service is lost; apply again to finish, or 'lumbrexctl show'"});
  else RollBack(planned->current, std::vector<Step>(plan.steps.begin(), plan.steps.begin() + done));
  return kRefused;
}

}  // namespace lumbrexctl
