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
// "add port Demo in COM1 real (BundleAddPort)".
std::string StepText(const Step& step);
// "2 to add, 1 to change, 0 to remove".
std::string Summary(const Plan& plan);
// The configuration's document hashed: what a saved plan was made against.
std::string Fingerprint(const Model& model);

}  // namespace lumbrexctl::config
