#include "config_plan.h"

#include <algorithm>
#include <cstdio>

namespace lumbrexctl::config {
namespace {

template <class List>
auto FindNamed(List& list, std::string_view name) {
  return std::find_if(list.begin(), list.end(), [&](const auto& item) { return SameName(item.name, name); });
}

Share* FindShare(Port* port, std::string_view app, size_t* index) {
  for (size_t i = 0; i < port->share.size(); ++i)
    if (SameName(port->share[i].first, app)) return *index = i, &port->share;
  return nullptr;
}

// A deleted port's permissions stay with its name.
void KeepShare(Model* model, const Port& port) {
  if (port.share.empty()) return;
  auto old = std::find_if(model->leftoverShare.begin(), model->leftoverShare.end(),
                          [&](const auto& entry) { return SameName(entry.first, port.name); });
  if (old != model->leftoverShare.end()) old->second = port.share;
  else model->leftoverShare.emplace_back(port.name, port.share);
}

Share TakeShare(Model* model, std::string_view name) {
  auto old = std::find_if(model->leftoverShare.begin(), model->leftoverShare.end(),
                          [&](const auto& entry) { return SameName(entry.first, name); });
  if (old == model->leftoverShare.end()) return {};
  Share share = std::move(old->second);
  model->leftoverShare.erase(old);
  return share;
}

}  // namespace

int Plan::Count(Kind kind) const {
  return static_cast<int>(std::count_if(steps.begin(), steps.end(), [&](const Step& s) { return s.kind == kind; }));
}

void ApplyStep(Model* model, const Step& step) {
  if (step.action == Action::kOption) {
    // The service stores the five options at once; the library sends those
    // not stored yet as off.
    for (auto& option : model->options)
      if (!option) option = false;
    model->options[step.option] = step.on;
    return;
  }
  auto bundle = FindNamed(model->bundles, step.bundle);
  if (step.action == Action::kAddBundle) {
    if (bundle == model->bundles.end()) model->bundles.push_back(Bundle{step.bundle, {}});
    return;
  }
  if (bundle == model->bundles.end()) return;  // refused by the service: no such bundle
  Side& side = bundle->sides[step.side];
  if (step.action == Action::kDeleteBundle) {
    for (const Side& s : bundle->sides)
      for (const Port& port : s.ports) KeepShare(model, port);
    model->bundles.erase(bundle);
    return;
  }
  if (step.action == Action::kAddPort) {
    if (FindNamed(side.ports, step.port) != side.ports.end()) return;
    Port port{step.port, step.type, std::nullopt, kNewPortMask, {}};
    if (IsShared(step.type)) port.share = TakeShare(model, step.port);
    side.ports.push_back(std::move(port));
    return;
  }
  auto port = FindNamed(side.ports, step.port);
  if (port == side.ports.end()) return;
  size_t at = 0;
  switch (step.action) {
    case Action::kDeletePort:
      if (SameName(side.main, port->name)) side.main.clear();
      KeepShare(model, *port);
      side.ports.erase(port);
      return;
    case Action::kFixParameters: port->fixed = step.parameters; return;
    case Action::kDynamic: port->fixed.reset(); return;
    case Action::kPermissions: port->mask = step.value; return;
    case Action::kMain: side.main = step.port; return;
    case Action::kShare:
    case Action::kShareDefault: {
      const int64_t value = step.action == Action::kShare ? step.value : kDefaultShare;
      if (Share* share = FindShare(&*port, step.app, &at)) (*share)[at].second = value;
      else port->share.emplace_back(step.app, value);
      return;
    }
    default: return;
  }
}

namespace {

// Builds the steps while carrying each out on a working copy, so that every
// comparison sees what the earlier steps left (a port deleted for its type
// takes the side's main port with it).
class Planner {
 public:
  Planner(const Model& current, bool prune) : work_(current), prune_(prune) {}
  Plan plan;

  void Options(const Model& target) {
    for (int i = 0; i < kOptionCount; ++i)
      if (target.options[i] && work_.options[i] != target.options[i]) {
        Step step;
        step.kind = work_.options[i] ? Kind::kChange : Kind::kAdd;
        step.option = i;
        step.on = *target.options[i];
        Do(step);
      }
  }

  void BundleOf(const Bundle& target) {
    if (FindNamed(work_.bundles, target.name) == work_.bundles.end()) Do(Make(Action::kAddBundle, Kind::kAdd, target.name));
    const std::string name = FindNamed(work_.bundles, target.name)->name;
    for (int s = 0; s < 2; ++s) SideOf(name, s, target.sides[s]);
  }

  void Unnamed(const Model& target) {
    std::vector<std::string> gone;
    for (const Bundle& bundle : work_.bundles)
      if (FindNamed(target.bundles, bundle.name) == target.bundles.end()) gone.push_back(bundle.name);
    for (const std::string& name : gone) {
      if (prune_) Do(Make(Action::kDeleteBundle, Kind::kRemove, name));
      else plan.leftAlone.push_back("bundle " + name);
    }
  }

 private:
  Model work_;
  const bool prune_;

  void Do(const Step& step) {
    ApplyStep(&work_, step);
    plan.steps.push_back(step);
  }

  static Step Make(Action action, Kind kind, const std::string& bundle, int side = 0, const std::string& port = "") {
    Step step;
    step.action = action;
    step.kind = kind;
    step.bundle = bundle;
    step.side = side;
    step.port = port;
    return step;
  }

  Side& WorkSide(const std::string& bundle, int s) { return FindNamed(work_.bundles, bundle)->sides[s]; }

  void SideOf(const std::string& bundle, int s, const Side& target) {
    const std::string where = bundle + " " + kSideWords[s] + " ";
    std::vector<std::string> gone;
    for (const Port& port : WorkSide(bundle, s).ports)
      if (FindNamed(target.ports, port.name) == target.ports.end()) gone.push_back(port.name);
    for (const std::string& name : gone) {
      if (prune_) Do(Make(Action::kDeletePort, Kind::kRemove, bundle, s, name));
      else plan.leftAlone.push_back("port " + where + name);
    }
    for (const Port& port : target.ports) PortOf(bundle, s, port);
    const Side& side = WorkSide(bundle, s);
    if (target.main.empty() || SameName(side.main, target.main)) return;
    // Sent as the port is stored: the service keeps the main port as sent.
    const auto port = FindNamed(side.ports, target.main);
    Do(Make(Action::kMain, side.main.empty() ? Kind::kAdd : Kind::kChange, bundle, s, port == side.ports.end() ? target.main : port->name));
  }

  void PortOf(const std::string& bundle, int s, const Port& target) {
    const Port* now = Find(bundle, s, target.name);
    Kind kind = Kind::kChange;
    if (now != nullptr && now->type != target.type) {
      Step remove = Make(Action::kDeletePort, Kind::kChange, bundle, s, now->name);
      remove.replace = true;
      Do(remove);
      now = nullptr;
    } else if (now == nullptr) {
      kind = Kind::kAdd;
    }
    std::string name = now != nullptr ? now->name : target.name;
    if (now == nullptr) {
      Step add = Make(Action::kAddPort, kind, bundle, s, name);
      add.type = target.type;
      add.replace = kind == Kind::kChange;
      Do(add);
      now = Find(bundle, s, name);
    }
    if (now->fixed != target.fixed) {
      Step step = Make(target.fixed ? Action::kFixParameters : Action::kDynamic, kind, bundle, s, name);
      if (target.fixed) step.parameters = *target.fixed;
      Do(step);
    }
    if (Find(bundle, s, name)->mask != target.mask) {
      Step step = Make(Action::kPermissions, kind, bundle, s, name);
      step.value = target.mask;
      Do(step);
    }
    ShareOf(bundle, s, name, target);
  }

  void ShareOf(const std::string& bundle, int s, const std::string& name, const Port& target) {
    if (!IsShared(target.type)) return;
    for (const auto& entry : target.share) {
      const std::string& app = entry.first;
      const int64_t value = entry.second;
      const Share& now = Find(bundle, s, name)->share;
      auto old = std::find_if(now.begin(), now.end(), [&](const auto& e) { return SameName(e.first, app); });
      if (old != now.end() && old->second == value) continue;
      Step step = Make(Action::kShare, old == now.end() ? Kind::kAdd : Kind::kChange, bundle, s, name);
      step.app = old == now.end() ? app : old->first;
      step.value = value;
      Do(step);
    }
    // The driver keeps no way to forget an application: removing one puts it
    // back to the permission every unnamed application has.
    const Share now = Find(bundle, s, name)->share;
    for (const auto& entry : now) {
      const std::string& app = entry.first;
      const bool named = std::any_of(target.share.begin(), target.share.end(),
                                     [&](const auto& e) { return SameName(e.first, app); });
      if (named || entry.second == kDefaultShare) continue;
      if (!prune_) {
        plan.leftAlone.push_back("share permission " + bundle + " " + kSideWords[s] + " " + name + " " + app);
        continue;
      }
      Step step = Make(Action::kShareDefault, Kind::kRemove, bundle, s, name);
      step.app = app;
      Do(step);
    }
  }

  const Port* Find(const std::string& bundle, int s, const std::string& port) {
    Side& side = WorkSide(bundle, s);
    auto it = FindNamed(side.ports, port);
    return it == side.ports.end() ? nullptr : &*it;
  }
};

}  // namespace

Plan MakePlan(const Model& current, const Model& target, bool prune) {
  Planner planner(current, prune);
  planner.Options(target);
  for (const Bundle& bundle : target.bundles) planner.BundleOf(bundle);
  planner.Unnamed(target);
  return std::move(planner.plan);
}

}  // namespace lumbrexctl::config
