// The changes that make one configuration equal to another, in the order
// `apply` makes them, one export call each (docs/configuration.md, "plan").
// Plain C++, as config_document.h.
#pragma once
#include <string>
#include <vector>

#include "config_document.h"

namespace lumbrexctl::config {

enum class Action {
  kOption,         // OptionSet... of one option
  kAddBundle,      // AddBundle
  kDeleteBundle,   // DeleteBundle
  kAddPort,        // BundleAddPort
  kDeletePort,     // BundleDeletePort
  kFixParameters,  // BundleSetRealPortParameters
  kDynamic,        // BundleSetDynamicParametersForRealPort
  kPermissions,    // BundlePortSetPermissions
  kMain,           // BundleSetMainPortForSide
  kShare,          // SharedPortSetPermissionsForApp
  kShareDefault,   // SharedSetDefaultPermissions
};
enum class Kind { kAdd, kChange, kRemove };

struct Step {
  Action action = Action::kOption;
  Kind kind = Kind::kChange;
  bool replace = false;  // half of a port's removal and addition for another type
  bool unmain = false;   // made to clear the side's main port (see ClearMain)
  int option = 0;
  bool on = false;
  std::string bundle;
  int side = 0;  // 0 in, 1 out
  std::string port, type, app;
  Parameters parameters;
  int64_t value = 0;  // mask or share permission
};

struct Plan {
  std::vector<Step> steps;
  std::vector<std::string> leftAlone;  // what the target does not name, kept without --prune
  int Count(Kind kind) const;
};

// `target` names what it manages; with `prune` whatever it does not name goes.
Plan MakePlan(const Model& current, const Model& target, bool prune);

// The step as the service carries it out, on a model.
void ApplyStep(Model* model, const Step& step);

const char* ExportOf(const Step& step);
// The numbers the step sends, each with the callers' rule it must meet
// (callers/number_rules.h) and its name in words: what the road checks.
struct SentNumber {
  Number rule;
  const char* what;
  int64_t value;
};
std::vector<SentNumber> NumbersOf(const Step& step);
// "add port Demo in COM1 real (BundleAddPort)".
std::string StepText(const Step& step);
// "2 to add, 1 to change, 0 to remove".
std::string Summary(const Plan& plan);
// The steps of `back` (a plan from the configuration now to the one apply
// read) that undo what the `done` steps changed, in order: those on an option,
// a bundle or a port name's share permissions a done step changed. What else
// differs was changed meanwhile by someone else (another apply, a script) and
// is theirs: a rollback that removed it would undo their work, not apply's.
std::vector<Step> Undoing(const std::vector<Step>& back, const std::vector<Step>& done);
// What a rollback to `before` (with the stored share permissions it was
// planned with) cannot put back once the `done` steps were made, read on the
// configuration after it (`after`): options stored for the first time (the
// service stores the five at once and keeps no way to remove one), and share
// permissions stored for an application that had none (the driver keeps no
// way to forget one). One line each; none when everything is put back.
std::vector<std::string> NotPutBack(const Model& before, const std::vector<Step>& done, const Model& after);

// The plan as `plan --json` prints it: {"changes": [{"change", "export"}],
// "leftAlone", "summary"}, indented as WriteDocument indents. A change whose
// `cannot` entry is not empty gets "cannotBeMade" with that reason.
std::string PlanJson(const Plan& plan, const std::vector<std::string>& cannot = {});

// A plan saved by `plan --out`: what it printed, the document and the
// --prune it was made from, and the configuration it was made against, in
// full. `apply --plan` carries it out only when planning again on the
// configuration now gives exactly the saved changes (Stale).
struct SavedPlan {
  Model target;
  bool prune = false;
  std::string against;  // the configuration's document when the plan was made
  std::string plan;     // PlanJson of the changes reviewed
};
// `planJson`: the plan as PlanJson wrote it for the reviewer.
std::string WriteSavedPlan(const Model& current, const Model& target, bool prune, const std::string& planJson);
struct SavedPlanRead {
  std::optional<SavedPlan> saved;
  std::vector<Problem> problems;
};
SavedPlanRead ReadSavedPlan(std::string_view text);
// Why `saved` must not be carried out on `current`, where planning its
// document again gave `againJson` (PlanJson); "" when what would run is what
// the file shows.
std::string Stale(const SavedPlan& saved, const Model& current, const std::string& againJson);

}  // namespace lumbrexctl::config
