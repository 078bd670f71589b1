// The promise `apply` rests on, checked by the configuration fuzzers: the
// plan from one configuration to a document, carried out on the model as the
// service carries it out, leaves nothing to plan (with and without pruning;
// with it, no bundle or port the document lacks). A plan holding a step the
// road would not send is not carried out at all, as apply refuses it.
#pragma once
#include "config_plan.h"
#include "config_rules.h"
#include "fuzz_common.h"

inline lumbrexctl::config::Model CheckConverges(const lumbrexctl::config::Model& from,
                                                const lumbrexctl::config::Model& to, bool prune) {
  using namespace lumbrexctl::config;
  Model after = from;
  const Plan plan = MakePlan(from, to, prune);
  for (const Step& step : plan.steps)
    if (!Sendable(step)) return after;
  for (const Step& step : plan.steps) ApplyStep(&after, step);
  FUZZ_CHECK(MakePlan(after, to, prune).steps.empty());
  if (!prune) return after;
  FUZZ_CHECK(after.bundles.size() == to.bundles.size());
  for (const Bundle& bundle : after.bundles)
    for (const Bundle& wanted : to.bundles)
      if (SameName(bundle.name, wanted.name))
        for (int s = 0; s < 2; ++s) FUZZ_CHECK(bundle.sides[s].ports.size() == wanted.sides[s].ports.size());
  return after;
}
