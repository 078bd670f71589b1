// The configuration documents' edge to the library: the configuration read
// through the query exports as a document's model, a document's rules, and
// why the service refused a step (the steps themselves go by road.h).
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "calls.h"
#include "config_plan.h"
#include "road.h"

namespace lumbrexctl {

// The configuration as the query exports report it. A part the tool cannot
// read back exactly (an unreadable type, mask or parameters, a parity letter
// the library does not know) goes into `problems`: a model without it would
// let a plan undo what it cannot see.
struct CurrentModel {
  config::Model model;
  std::vector<std::wstring> problems;
};
CurrentModel ReadCurrentModel();

// The share permissions stored for the target's shared ports that no bundle
// holds now (the driver keeps them when a port goes): what such a port starts
// with when it is added. What does not read exactly comes back as problems.
std::vector<std::wstring> ReadLeftoverShare(const config::Model& target, config::Model* current);

// The name and number rules of the other verbs (callers/safe_name.h,
// callers/number_rules.h). Call on the thread that then calls the library.
config::DocumentRules ToolRules();

// Why the service may have refused the step, read from the configuration
// after the refusal; "" when the configuration does not tell.
std::wstring ExplainRefusal(const config::Step& step, const config::Model& after);

// What follows "... failed: " for the step's call: CommandFailure, and the
// reason the configuration read afterwards gives, where it can give one: after
// the service's no, which carries none, and after a port entry the library
// found missing before sending (2). Not after a lost connection or an
// argument the library refused.
std::wstring StepFailure(const config::Step& step, const CallOutcome& outcome);

}  // namespace lumbrexctl
