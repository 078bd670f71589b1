// What a rollback cannot put back, said rather than "as it was".
#include <algorithm>

#include "config_plan.h"

namespace lumbrexctl::config {
namespace {

// The share permissions stored for a port name: of a port of that name some
// bundle holds, else (unless `heldOnly`) the driver's leftover for it.
const Share* StoredFor(const Model& model, std::string_view port, bool heldOnly = false) {
  for (const Bundle& bundle : model.bundles)
    for (const Side& side : bundle.sides)
      for (const Port& held : side.ports)
        if (SameName(held.name, port)) return &held.share;
  for (const auto& [name, share] : model.leftoverShare)
    if (!heldOnly && SameName(name, port)) return &share;
  return nullptr;
}

const std::pair<std::string, int64_t>* Entry(const Share* share, std::string_view app) {
  if (share == nullptr) return nullptr;
  const auto it = std::find_if(share->begin(), share->end(), [&](const auto& e) { return SameName(e.first, app); });
  return it == share->end() ? nullptr : &*it;
}

// Whether `step` of a rollback undoes something a `done` step changed: the
// same option, a step on the same bundle, or the share permissions of the
// same port name (the driver keeps them by port name, whatever the bundle).
bool Undoes(const Step& step, const Step& done) {
  if (step.action == Action::kOption || done.action == Action::kOption)
    return step.action == done.action && step.option == done.option;
  const auto share = [](const Step& s) { return s.action == Action::kShare || s.action == Action::kShareDefault; };
  return SameName(step.bundle, done.bundle) || (share(step) && share(done) && SameName(step.port, done.port));
}

}  // namespace

std::vector<Step> Undoing(const std::vector<Step>& back, const std::vector<Step>& done) {
  std::vector<Step> undoing;
  for (const Step& step : back)
    if (std::any_of(done.begin(), done.end(), [&](const Step& d) { return Undoes(step, d); })) undoing.push_back(step);
  return undoing;
}

std::vector<std::string> NotPutBack(const Model& before, const std::vector<Step>& done, const Model& after) {
  std::vector<std::string> lines;
  for (int i = 0; i < kOptionCount; ++i)
    if (!before.options[i] && after.options[i])
      lines.push_back(std::string("option ") + kOptionWords[i].word + ": stored now as " + (*after.options[i] ? "on" : "off") +
                      "; it was not stored before, and the service keeps no way to remove it");
  // Latest first, so that a permission stored twice is said with its last value.
  std::vector<std::string> shares;
  std::vector<const Step*> seen;
  for (auto step = done.rbegin(); step != done.rend(); ++step) {
    if (step->action != Action::kShare || Entry(StoredFor(before, step->port), step->app) != nullptr) continue;
    const bool again = std::any_of(seen.begin(), seen.end(), [&](const Step* s) {
      return SameName(s->port, step->port) && SameName(s->app, step->app);
    });
    if (again) continue;
    seen.push_back(&*step);
    const auto* now = Entry(StoredFor(after, step->port, true), step->app);
    const auto* left = Entry(StoredFor(after, step->port), step->app);
    const std::string where = "share permission of port " + step->port + " for " + step->app;
    shares.push_back(now != nullptr ? where + ": stored now as " + std::to_string(now->second) +
                                          "; it was not stored before, and the driver keeps no way to forget it"
                                    : where + ": stays stored as " + std::to_string(left ? left->second : step->value) +
                                          " with the driver, which keeps it for the port's name (a port added as " +
                                          step->port + " finds it)");
  }
  lines.insert(lines.end(), shares.rbegin(), shares.rend());
  return lines;
}

}  // namespace lumbrexctl::config
