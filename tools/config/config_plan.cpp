#include "config_plan.h"

#include <algorithm>
#include <set>
#include <unordered_set>

#include "config_state.h"

namespace lumbrexctl::config {

int Plan::Count(Kind kind) const {
  return static_cast<int>(std::count_if(steps.begin(), steps.end(), [&](const Step& s) { return s.kind == kind; }));
}

void ApplyStep(Model* model, const Step& step) {
  State state(*model);
  state.Apply(step);
  *model = state.ToModel();
}

namespace {

using Names = std::unordered_set<std::u32string>;

template <class List>
Names FoldedNames(const List& list) {
  Names names;
  for (const auto& item : list) names.insert(FoldedName(item.name));
  return names;
}

// Builds the steps while carrying each out on a working state, so that every
// comparison sees what the earlier steps left (a port deleted for its type
// takes the side's main port with it; a share permission set through one
// bundle's port is what every port of that name has).
class Planner {
 public:
  Planner(const Model& current, bool prune) : work_(current), prune_(prune) {}
  Plan plan;

  void Options(const Model& target) {
    for (int i = 0; i < kOptionCount; ++i)
      if (target.options[i] && work_.Option(i) != target.options[i]) {
        Step step;
        step.kind = work_.Option(i) ? Kind::kChange : Kind::kAdd;
        step.option = i;
        step.on = *target.options[i];
        Do(step);
      }
  }

  void BundleOf(const Bundle& target) {
    if (work_.BundleNamed(target.name) == nullptr) Do(Make(Action::kAddBundle, Kind::kAdd, target.name));
    const std::string name = *work_.BundleNamed(target.name);
    for (int s = 0; s < 2; ++s) SideOf(name, s, target.sides[s]);
  }

  void Unnamed(const Model& target) {
    const Names named = FoldedNames(target.bundles);
    for (const std::string& name : work_.Bundles()) {
      if (named.count(FoldedName(name)) != 0) continue;
      if (prune_) Do(Make(Action::kDeleteBundle, Kind::kRemove, name));
      else plan.leftAlone.push_back("bundle " + name);
    }
  }

 private:
  State work_;
  const bool prune_;
  Names readded_;  // ports deleted to clear a main port, to be added again
  // Share entries said left alone, by folded port and application name: the
  // driver keeps one set per port name, however many bundles hold the port.
  std::set<std::pair<std::u32string, std::u32string>> shareLeft_;

  void Do(const Step& step) {
    work_.Apply(step);
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

  void SideOf(const std::string& bundle, int s, const Side& target) {
    const std::string where = bundle + " " + kSideWords[s] + " ";
    const Names named = FoldedNames(target.ports);
    std::vector<std::string> gone;
    for (const Port* port : work_.Ports(bundle, s))
      if (named.count(FoldedName(port->name)) == 0) gone.push_back(port->name);
    for (const std::string& name : gone) {
      if (prune_) Do(Make(Action::kDeletePort, Kind::kRemove, bundle, s, name));
      else plan.leftAlone.push_back("port " + where + name);
    }
    if (target.main && target.main->empty()) ClearMain(bundle, s, named);
    for (const Port& port : target.ports) PortOf(bundle, s, port);
    const std::string now = work_.Main(bundle, s).value_or("");
    if (!target.main || target.main->empty() || SameName(now, *target.main)) return;
    // Sent as the port is stored: the service keeps the main port as sent.
    const Port* port = work_.PortNamed(bundle, s, *target.main);
    Do(Make(Action::kMain, now.empty() ? Kind::kAdd : Kind::kChange, bundle, s,
            port == nullptr ? *target.main : port->name));
  }

  // The library sends no empty main port; the service clears a side's main
  // port when that port is deleted. So the port goes and comes back with
  // what it had (its share permissions stay with its name), or a main port
  // naming no port of the side is added for a moment and deleted.
  void ClearMain(const std::string& bundle, int s, const Names& named) {
    const std::optional<std::string> main = work_.Main(bundle, s);
    if (!main || main->empty()) return;
    const Port* port = work_.PortNamed(bundle, s, *main);
    if (port == nullptr) {
      Step add = Make(Action::kAddPort, Kind::kChange, bundle, s, *main);
      add.type = PortTypeWordOf(LUMBREX_PORT_VIRTUAL);
      add.unmain = true;
      Do(add);
      Step remove = Make(Action::kDeletePort, Kind::kChange, bundle, s, add.port);
      remove.unmain = true;
      return Do(remove);
    }
    Port kept = *port;
    kept.share = work_.ShareOf(kept.name);
    Step remove = Make(Action::kDeletePort, Kind::kChange, bundle, s, kept.name);
    remove.replace = remove.unmain = true;
    Do(remove);
    readded_.insert(FoldedName(kept.name));
    // Not named in the file: put back as it was, as it is left alone.
    if (named.count(FoldedName(kept.name)) == 0) PortOf(bundle, s, kept);
  }

  void PortOf(const std::string& bundle, int s, const Port& target) {
    const Port* now = work_.PortNamed(bundle, s, target.name);
    Kind kind = Kind::kChange;
    if (now != nullptr && now->type != target.type) {
      Step remove = Make(Action::kDeletePort, Kind::kChange, bundle, s, now->name);
      remove.replace = true;
      Do(remove);
      now = nullptr;
    } else if (now == nullptr) {
      kind = Kind::kAdd;
    }
    const std::string name = now != nullptr ? now->name : target.name;
    const bool again = now == nullptr && readded_.count(FoldedName(name)) != 0;
    if (again) kind = Kind::kChange;
    if (now == nullptr) {
      Step add = Make(Action::kAddPort, kind, bundle, s, name);
      add.type = target.type;
      add.replace = kind == Kind::kChange;
      add.unmain = again;
      Do(add);
    }
    // Looked up again after each step: carrying one out may move the ports.
    if (work_.PortNamed(bundle, s, name)->fixed != target.fixed) {
      Step step = Make(target.fixed ? Action::kFixParameters : Action::kDynamic, kind, bundle, s, name);
      if (target.fixed) step.parameters = *target.fixed;
      Do(step);
    }
    if (work_.PortNamed(bundle, s, name)->mask != target.mask) {
      Step step = Make(Action::kPermissions, kind, bundle, s, name);
      step.value = target.mask;
      Do(step);
    }
    ShareOf(bundle, s, name, target);
  }

  void ShareOf(const std::string& bundle, int s, const std::string& name, const Port& target) {
    if (!IsShared(target.type)) return;
    for (const auto& [app, value] : target.share) {
      const auto* old = work_.ShareEntry(name, app);
      // Nothing stored is the driver's default already.
      if (old == nullptr ? value == kDefaultShare : old->second == value) continue;
      Step step = Make(Action::kShare, old == nullptr ? Kind::kAdd : Kind::kChange, bundle, s, name);
      step.app = old == nullptr ? app : old->first;
      step.value = value;
      Do(step);
    }
    // The driver keeps no way to forget an application: removing one puts it
    // back to the permission every unnamed application has.
    Names named;
    for (const auto& entry : target.share) named.insert(FoldedName(entry.first));
    const Share now = work_.ShareOf(name);
    for (const auto& [app, value] : now) {
      if (named.count(FoldedName(app)) != 0 || value == kDefaultShare) continue;
      if (!prune_) {
        if (shareLeft_.emplace(FoldedName(name), FoldedName(app)).second)
          plan.leftAlone.push_back("share permission " + bundle + " " + kSideWords[s] + " " + name + " " + app);
        continue;
      }
      Step step = Make(Action::kShareDefault, Kind::kRemove, bundle, s, name);
      step.app = app;
      Do(step);
    }
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
