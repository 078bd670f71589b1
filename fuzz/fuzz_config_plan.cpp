// lumbrexctl's document reader and planner: two documents (split at the
// first NUL byte), each read as the tool reads a file. A document is never
// planned into anything from itself, and the plan from one to the other,
// carried out on the first, leaves nothing to plan (with and without pruning;
// with it, no bundle or port the second lacks).
#include <string>

#include "config_plan.h"
#include "config_rules.h"
#include "fuzz_common.h"

using namespace lumbrexctl::config;

namespace {

void CheckPlan(const Model& from, const Model& to, bool prune) {
  Model after = from;
  for (const Step& step : MakePlan(from, to, prune).steps) ApplyStep(&after, step);
  FUZZ_CHECK(MakePlan(after, to, prune).steps.empty());
  if (!prune) return;
  FUZZ_CHECK(after.bundles.size() == to.bundles.size());
  for (const Bundle& bundle : after.bundles)
    for (const Bundle& wanted : to.bundles)
      if (SameName(bundle.name, wanted.name))
        for (int s = 0; s < 2; ++s) FUZZ_CHECK(bundle.sides[s].ports.size() == wanted.sides[s].ports.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const size_t split = input.find('\0');
  const DocumentRules rules = PlainRules();
  const ReadResult first = ReadDocument(input.substr(0, split), rules);
  if (!first.model) {
    FUZZ_CHECK(!first.problems.empty());
    return 0;
  }
  FUZZ_CHECK(MakePlan(*first.model, *first.model, true).steps.empty());
  const std::string written = WriteDocument(*first.model);
  const ReadResult again = ReadDocument(written, rules);
  FUZZ_CHECK(again.model && WriteDocument(*again.model) == written);
  if (split == std::string::npos) return 0;
  const ReadResult second = ReadDocument(input.substr(split + 1), rules);
  if (!second.model) return 0;
  CheckPlan(*first.model, *second.model, false);
  CheckPlan(*first.model, *second.model, true);
  return 0;
}
