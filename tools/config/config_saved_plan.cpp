// Saved plans: `plan --out` writes what it printed with what it was made from
// and against; `apply --plan` plans again and carries out the file only when
// the result is the file's own changes. Anyone who can write the file can
// write another plan: what this guarantees is that what runs is what the file
// shows, never the document's or the prune flag's other reading of it.
#include "config_json.h"
#include "config_plan.h"

namespace lumbrexctl::config {
namespace {

std::string Text(const Json& value) { return value.dump(2, ' ', false, Json::error_handler_t::replace) + "\n"; }

}  // namespace

std::string PlanJson(const Plan& plan, const std::vector<std::string>& cannot) {
  Json changes = Json::array();
  for (size_t i = 0; i < plan.steps.size(); ++i) {
    Json change{{"change", StepText(plan.steps[i])}, {"export", ExportOf(plan.steps[i])}};
    if (i < cannot.size() && !cannot[i].empty()) change["cannotBeMade"] = cannot[i];
    changes.push_back(std::move(change));
  }
  return Text(Json{{"changes", changes},
                   {"leftAlone", plan.leftAlone},
                   {"summary",
                    {{"add", plan.Count(Kind::kAdd)}, {"change", plan.Count(Kind::kChange)},
                     {"remove", plan.Count(Kind::kRemove)}}}});
}

std::string WriteSavedPlan(const Model& current, const Model& target, bool prune, const std::string& planJson) {
  return Text(Json{{"version", kFormatVersion},
                   {"against", Json::parse(WriteDocument(current))},
                   {"prune", prune},
                   {"document", Json::parse(WriteDocument(target))},
                   {"plan", Json::parse(planJson)}});
}

SavedPlanRead ReadSavedPlan(std::string_view text) {
  SavedPlanRead read;
  Json saved;
  // Within the document's bounds, each member named once, as a document.
  if (!ParseJson(text, &saved, &read.problems)) return read;
  const auto need = [&](const char* member, bool good, const char* what) {
    if (!good) read.problems.push_back({member, std::string("expects ") + what});
  };
  if (!saved.is_object()) return read.problems.push_back({"", "expects an object"}), read;
  for (const auto& item : saved.items())
    if (item.key() != "version" && item.key() != "against" && item.key() != "prune" && item.key() != "document" &&
        item.key() != "plan")
      read.problems.push_back({item.key(), "unknown member"});
  need("version", saved.contains("version") && saved["version"] == kFormatVersion, "the format version, 1");
  need("against", saved.contains("against") && saved["against"].is_object(), "the configuration the plan was made against");
  need("prune", saved.contains("prune") && saved["prune"].is_boolean(), "true or false");
  need("document", saved.contains("document"), "the document planned");
  need("plan", saved.contains("plan") && saved["plan"].is_object(), "the changes planned");
  if (!read.problems.empty()) return read;
  ReadResult document = ReadDocument(Text(saved["document"]));
  for (Problem& problem : document.problems)
    read.problems.push_back({problem.where.empty() ? "document" : "document." + problem.where, problem.what});
  if (!document.model) return read;
  read.saved = SavedPlan{std::move(*document.model), saved["prune"].get<bool>(), Text(saved["against"]),
                         Text(saved["plan"])};
  return read;
}

std::string Stale(const SavedPlan& saved, const Model& current, const std::string& againJson) {
  if (WriteDocument(current) != saved.against) return "the configuration changed since the plan was made";
  if (againJson != saved.plan)
    return "its changes are not what its document and prune flag give on this configuration (the file was "
           "changed after 'plan --out' wrote it)";
  return "";
}

}  // namespace lumbrexctl::config
