#include "config_verbs.h"

#include <algorithm>

#include <nlohmann/json.hpp>

#include "api/raii.h"
#include "config_calls.h"
#include "config_json.h"
#include "console.h"
#include "show.h"

namespace lumbrexctl {
namespace {

using config::Plan;
using config::Step;
using Json = nlohmann::ordered_json;

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
  Json saved;
  std::vector<config::Problem> problems;
  if (!config::ParseJson(text, &saved, &problems)) {
    for (const config::Problem& problem : problems) Complain(Printable(path) + L": " + Printable(Wide(problem.Text())));
    return std::nullopt;
  }
  // A plan without its fingerprint would be applied over any configuration.
  if (!saved.is_object() || !saved.contains("fingerprint") || !saved["fingerprint"].is_string() ||
      saved["fingerprint"].get_ref<const std::string&>().empty() || !saved.contains("prune") ||
      !saved["prune"].is_boolean() || !saved.contains("document"))
    return Complain(Printable(path) + L": not a plan saved by 'lumbrexctl plan --out'"), std::nullopt;
  std::optional<config::Model> model = Document(path, saved["document"].dump());
  if (!model) return std::nullopt;
  return Request{std::move(*model), saved["prune"].get<bool>(), saved["fingerprint"].get<std::string>()};
}

Json PlanJson(const Plan& plan) {
  Json changes = Json::array();
  for (const Step& step : plan.steps) changes.push_back({{"change", config::StepText(step)}, {"export", config::ExportOf(step)}});
  return Json{{"changes", changes},
              {"leftAlone", plan.leftAlone},
              {"summary", {{"add", plan.Count(config::Kind::kAdd)}, {"change", plan.Count(config::Kind::kChange)},
                           {"remove", plan.Count(config::Kind::kRemove)}}}};
}

void PrintLeftAlone(const Plan& plan) {
  for (const std::string& left : plan.leftAlone) Out(L"left alone (not named in the file; --prune removes it): " + Printable(Wide(left)) + L"\n");
}

int PrintPlan(const Plan& plan, bool json) {
  if (json) {
    OutUtf8(PlanJson(plan).dump(2, ' ', false, Json::error_handler_t::replace) + "\n");
  } else {
    for (const Step& step : plan.steps) Out(Printable(Wide(config::StepText(step))) + L"\n");
    PrintLeftAlone(plan);
    Out(plan.steps.empty() ? L"nothing to do\n" : Wide(config::Summary(plan)) + L"\n");
  }
  return plan.steps.empty() ? kDone : kChanges;
}

// The steps one after another; the index of the one that failed, or the count.
size_t Carry(const std::vector<Step>& steps, const wchar_t* lead, bool* lost) {
  for (size_t i = 0; i < steps.size(); ++i) {
    const CallOutcome outcome = Send(steps[i]);
    if (outcome.result == 1) {
      Out(lead + Printable(Wide(config::StepText(steps[i]))) + L"\n");
      continue;
    }
    *lost = outcome.ConnectionLost();
    Complain(Wide(config::StepText(steps[i])) + L" failed: " + StepFailure(steps[i], outcome));
    return i;
  }
  return steps.size();
}

// Puts back the configuration read before the first change.
void RollBack(const config::Model& before) {
  std::optional<config::Model> now = Current();
  if (!now) return Complain(L"rollback: not made, the configuration does not read back");
  ReadLeftoverShare(before, &*now);
  const Plan back = config::MakePlan(*now, before, true);
  Out(L"rolling back: " + Wide(config::Summary(back)) + L"\n");
  bool lost = false;
  if (Carry(back.steps, L"rolled back: ", &lost) != back.steps.size())
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
  std::optional<config::Model> current = Current();
  if (!current) return kRefused;
  ReadLeftoverShare(target->target, &*current);
  const Plan plan = config::MakePlan(*current, target->target, target->prune);
  if (!request.out.empty()) {
    const Json saved{{"version", config::kFormatVersion}, {"fingerprint", config::Fingerprint(*current)},
                     {"prune", target->prune}, {"document", Json::parse(config::WriteDocument(target->target))},
                     {"plan", PlanJson(plan)}};
    if (!WriteWhole(request.out, saved.dump(2, ' ', false, Json::error_handler_t::replace) + "\n")) return kRefused;
  }
  return PrintPlan(plan, request.json);
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
  ReadLeftoverShare(target->target, &planned);
  const Plan plan = config::MakePlan(planned, target->target, target->prune);
  if (plan.steps.empty()) {
    PrintLeftAlone(plan);
    Out(L"nothing to do\n");
    return kDone;
  }
  if (int rc = Connect(Connection{})) return rc;
  bool lost = false;
  const size_t done = Carry(plan.steps, L"done: ", &lost);
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
