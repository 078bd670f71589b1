// export, plan and apply: the whole configuration as one document
// (docs/configuration.md).
#pragma once
#include <string>

#include "verbs.h"

namespace lumbrexctl {

// plan's exit code when there are changes to make.
constexpr int kChanges = 2;

struct ConfigRequest {
  std::wstring file;      // the document (plan, apply) or where export writes ("": stdout)
  std::wstring planFile;  // apply --plan: a plan saved by plan --out
  std::wstring out;       // plan --out
  bool prune = false, json = false, dryRun = false, noRollback = false;
};

int RunExport(const ConfigRequest& request);
int RunPlan(const ConfigRequest& request);
int RunApply(const ConfigRequest& request);  // on this machine's service

}  // namespace lumbrexctl
