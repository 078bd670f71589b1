#include "config_verbs.h"

#include <nlohmann/json.hpp>

#include "api/raii.h"
#include "config_calls.h"
#include "console.h"
#include "show.h"

namespace lumbrexctl {
namespace {

using config::Plan;
using config::Step;
using Json = nlohmann::ordered_json;

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

// The configuration now, with the share permissions stored for the target's
// ports that no bundle holds: what a plan towards the target starts from.
std::optional<config::Model> CurrentFor(const config::Model& target) {
  std::optional<config::Model> current = Current();
  if (!current) return std::nullopt;
  const std::vector<std::wstring> problems = ReadLeftoverShare(target, &*current);
  for (const std::wstring& problem : problems)
    Complain(L"the configuration cannot be read back exactly: " + Printable(problem));
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
    Complain(lead + L"cannot be made: " + Wide(config::StepText(*step)) + L": " + why);
}

// Names the target keeps as stored that this thread could not send: a change
// to them would be refused, leaving them alone is not. The steps are searched
// only for a name that fails, which is rare.
void NoteUnsendable(const config::Model& target, const Plan& plan) {
  const auto note = [&](const std::wstring& what, const std::string& name, NameKind kind, const std::string& bundle,
                        const std::string* port) {
    std::wstring why;
    if (CheckName(Wide(name), kind, &why)) return;
    for (const Step& step : plan.steps) {
      const std::string& named = kind == NameKind::kBundle ? step.bundle : kind == NameKind::kPort ? step.port : step.app;
      if (config::SameName(step.bundle, bundle) && (!port || config::SameName(step.port, *port)) &&
          config::SameName(named, name))
        return;  // a step names it: it cannot be made, and says so
    }
    Complain(L"note: " + what + L" left as stored, nothing to send; a change to it could not be sent: " + why);
  };
  for (const config::Bundle& bundle : target.bundles) {
    note(L"bundle " + Wide(bundle.name), bundle.name, NameKind::kBundle, bundle.name, nullptr);
    for (int s = 0; s < 2; ++s)
      for (const config::Port& port : bundle.sides[s].ports) {
        const std::wstring where = L"port " + Wide(bundle.name) + L" " + Wide(config::kSideWords[s]) + L" " + Wide(port.name);
        note(where, port.name, NameKind::kPort, bundle.name, nullptr);
        for (const auto& entry : port.share)
          note(L"share permission " + where + L" " + Wide(entry.first), entry.first, NameKind::kApplication, bundle.name,
               &port.name);
      }
  }
}

// What to plan: the target, the options of the plan, and for a saved plan
// the fingerprint of the configuration it was made against.
struct Request {
  config::Model target;
  bool prune = false;
  std::string fingerprint;
};

std::optional<Request> Target(const ConfigRequest& request) {
  const std::wstring& path = request.planFile.empty() ? request.file : request.planFile;
  std::string text;
  std::wstring why;
  if (!ReadWhole(path, &text, &why)) return Complain(L"cannot read " + Printable(path) + L" (" + why + L")"), std::nullopt;
  Request out{{}, request.prune, ""};
  if (request.planFile.empty()) {
    std::optional<config::Model> model = Document(path, text);
    if (!model) return std::nullopt;
    out.target = std::move(*model);
    return out;
  }
  const Json saved = Json::parse(text, nullptr, false);
  // A plan without its fingerprint would be applied over any configuration.
  if (!saved.is_object() || !saved.contains("fingerprint") || !saved["fingerprint"].is_string() ||
      saved["fingerprint"].get_ref<const std::string&>().empty() || !saved.contains("prune") ||
      !saved["prune"].is_boolean() || !saved.contains("document"))
    return Complain(Printable(path) + L": not a plan saved by 'lumbrexctl plan --out'"), std::nullopt;
  std::optional<config::Model> model = Document(path, saved["document"].dump());
  if (!model) return std::nullopt;
  return Request{std::move(*model), saved["prune"].get<bool>(), saved["fingerprint"].get<std::string>()};
}

Json PlanJson(const Plan& plan, const Checked& checked) {
  Json changes = Json::array();
  for (const Step& step : plan.steps) {
    Json change{{"change", config::StepText(step)}, {"export", config::ExportOf(step)}};
    for (const auto& [cannot, why] : checked.cannot)
      if (cannot == &step) change["cannotBeMade"] = Utf8(why);
    changes.push_back(std::move(change));
  }
  return Json{{"changes", changes},
              {"leftAlone", plan.leftAlone},
              {"summary", {{"add", plan.Count(config::Kind::kAdd)}, {"change", plan.Count(config::Kind::kChange)},
                           {"remove", plan.Count(config::Kind::kRemove)}}}};
}

void PrintLeftAlone(const Plan& plan) {
  for (const std::string& left : plan.leftAlone) Out(L"left alone (not named in the file; --prune removes it): " + Printable(Wide(left)) + L"\n");
}

// The plan as plan prints it; 1 when apply would refuse it for a step that
// cannot be made.
int PrintPlan(const config::Model& target, const Plan& plan, bool json) {
  const Checked checked = CheckAll(plan.steps);
  if (json) {
    OutUtf8(PlanJson(plan, checked).dump(2, ' ', false, Json::error_handler_t::replace) + "\n");
  } else {
    for (const Step& step : plan.steps) Out(Printable(Wide(config::StepText(step))) + L"\n");
    PrintLeftAlone(plan);
    Out(plan.steps.empty() ? L"nothing to do\n" : Wide(config::Summary(plan)) + L"\n");
  }
  NoteUnsendable(target, plan);
  if (!checked.cannot.empty()) {
    SayCannot(checked, L"");
    Complain(L"apply would send nothing of this plan");
    return kRefused;
  }
  return plan.steps.empty() ? kDone : kChanges;
}

// The steps one after another; the index of the one that failed, or the count.
size_t Carry(const std::vector<CheckedStep>& steps, const wchar_t* lead, bool* lost) {
  for (size_t i = 0; i < steps.size(); ++i) {
    const Step& step = steps[i].step();
    const CallOutcome outcome = Send(steps[i]);
    if (outcome.result == 1) {
      Out(lead + Printable(Wide(config::StepText(step))) + L"\n");
      continue;
    }
    *lost = outcome.ConnectionLost();
    Complain(Wide(config::StepText(step)) + L" failed: " + StepFailure(step, outcome));
    return i;
  }
  return steps.size();
}

// Puts back the configuration read before the first change.
void RollBack(const config::Model& before) {
  std::optional<config::Model> now = CurrentFor(before);
  if (!now) return Complain(L"rollback: not made, the configuration does not read back");
  const Plan back = config::MakePlan(*now, before, true);
  const Checked checked = CheckAll(back.steps);
  if (!checked.cannot.empty()) {
    SayCannot(checked, L"rollback: ");
    return Complain(L"rollback: not made, nothing was sent; the configuration is not as it was ('lumbrexctl show')");
  }
  Out(L"rolling back: " + Wide(config::Summary(back)) + L"\n");
  bool lost = false;
  if (Carry(checked.ready, L"rolled back: ", &lost) != back.steps.size())
    return Complain(L"rollback: stopped; the configuration is not as it was ('lumbrexctl show')");
  std::optional<config::Model> after = Current();
  const bool same = after && config::WriteDocument(*after) == config::WriteDocument(before);
  Out(same ? L"rollback: the configuration is as it was before apply\n"
           : L"rollback: done, but the configuration differs from before apply ('lumbrexctl show')\n");
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
  std::optional<Request> target = Target(request);
  if (!target) return kRefused;
  std::optional<config::Model> current = CurrentFor(target->target);
  if (!current) return kRefused;
  const Plan plan = config::MakePlan(*current, target->target, target->prune);
  if (!request.out.empty()) {
    const Json saved{{"version", config::kFormatVersion}, {"fingerprint", config::Fingerprint(*current)},
                     {"prune", target->prune}, {"document", Json::parse(config::WriteDocument(target->target))},
                     {"plan", PlanJson(plan, CheckAll(plan.steps))}};
    if (!WriteWhole(request.out, saved.dump(2, ' ', false, Json::error_handler_t::replace) + "\n")) return kRefused;
  }
  return PrintPlan(target->target, plan, request.json);
}

int RunApply(const ConfigRequest& request) {
  if (request.dryRun) return RunPlan(request);
  std::optional<Request> target = Target(request);
  if (!target) return kRefused;
  std::optional<config::Model> before = Current();
  if (!before) return kRefused;
  if (!request.planFile.empty() && target->fingerprint != config::Fingerprint(*before))
    return Failed(L"apply", L"the configuration changed since the plan was made; nothing was sent (plan again)");
  config::Model planned = *before;
  const std::vector<std::wstring> problems = ReadLeftoverShare(target->target, &planned);
  for (const std::wstring& problem : problems)
    Complain(L"the configuration cannot be read back exactly: " + Printable(problem));
  if (!problems.empty()) return kRefused;
  const Plan plan = config::MakePlan(planned, target->target, target->prune);
  NoteUnsendable(target->target, plan);
  if (plan.steps.empty()) {
    PrintLeftAlone(plan);
    Out(L"nothing to do\n");
    return kDone;
  }
  const Checked checked = CheckAll(plan.steps);
  if (!checked.cannot.empty()) {
    SayCannot(checked, L"");
    return Failed(L"apply", L"the plan holds changes that cannot be made; nothing was sent");
  }
  if (int rc = Connect(Connection{})) return rc;
  bool lost = false;
  const size_t done = Carry(checked.ready, L"done: ", &lost);
  if (done == plan.steps.size()) {
    PrintLeftAlone(plan);
    Out(L"applied: " + Wide(config::Summary(plan)) + L"\n");
    return kDone;
  }
  for (size_t i = done; i < plan.steps.size(); ++i)
    Out(L"not done: " + Printable(Wide(config::StepText(plan.steps[i]))) + L"\n");
  if (request.noRollback) Out(L"not rolled back (--no-rollback): " + Num(done) + L" of " + Num(plan.steps.size()) + L" changes made\n");
  else if (lost) Complain(L"rollback: not made, the connection to the service is lost; apply again to finish, or 'lumbrexctl show'");
  else RollBack(*before);
  return kRefused;
}

}  // namespace lumbrexctl
