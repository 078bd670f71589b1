#include "config_state.h"

#include <unordered_set>

namespace lumbrexctl::config {

State::State(const Model& model) {
  for (int i = 0; i < kOptionCount; ++i) options_[i] = model.options[i];
  for (const Bundle& bundle : model.bundles) {
    if (!bundleByName_.emplace(FoldedName(bundle.name), bundles_.size()).second) continue;  // the registry holds one
    BundleState& state = bundles_.emplace_back();
    state.name = bundle.name;
    for (int s = 0; s < 2; ++s) {
      state.sides[s].main = bundle.sides[s].main;
      for (const Port& port : bundle.sides[s].ports) {
        // Every shared port of a name reads the same permissions key.
        if (IsShared(port.type) && FindShare(port.name) == nullptr)
          for (const auto& [app, value] : port.share) SetShare(port.name, app, value);
        AddPort(&state.sides[s], port);
      }
    }
  }
  for (const auto& [port, share] : model.leftoverShare)
    if (FindShare(port) == nullptr)
      for (const auto& [app, value] : share) SetShare(port, app, value);
}

Model State::ToModel() const {
  Model model;
  for (int i = 0; i < kOptionCount; ++i) model.options[i] = options_[i];
  std::unordered_set<std::u32string> held;
  for (const BundleState& state : bundles_) {
    if (!state.live) continue;
    Bundle& bundle = model.bundles.emplace_back();
    bundle.name = state.name;
    for (int s = 0; s < 2; ++s) {
      bundle.sides[s].main = state.sides[s].main;
      for (size_t i = 0; i < state.sides[s].ports.size(); ++i) {
        if (!state.sides[s].live[i]) continue;
        Port& port = bundle.sides[s].ports.emplace_back(state.sides[s].ports[i]);
        if (!IsShared(port.type)) continue;
        port.share = ShareOf(port.name);
        held.insert(FoldedName(port.name));
      }
    }
  }
  for (const NameShare& share : shares_)
    if (!share.entries.empty() && held.count(FoldedName(share.port)) == 0)
      model.leftoverShare.emplace_back(share.port, share.entries);
  return model;
}

void State::Apply(const Step& step) {
  if (step.action == Action::kOption) {
    // The service stores the five options at once; the library sends those
    // not stored yet as off.
    for (auto& option : options_)
      if (!option) option = false;
    options_[step.option] = step.on;
    return;
  }
  BundleState* bundle = FindBundle(step.bundle);
  if (step.action == Action::kAddBundle) {
    if (bundle != nullptr) return;
    bundleByName_[FoldedName(step.bundle)] = bundles_.size();
    bundles_.emplace_back().name = step.bundle;
    return;
  }
  if (bundle == nullptr) return;  // refused by the service: no such bundle
  if (step.action == Action::kDeleteBundle) {
    // The ports' share permissions stay with their names.
    bundle->live = false;
    bundleByName_.erase(FoldedName(bundle->name));
    return;
  }
  SideState& side = bundle->sides[step.side];
  const auto at = side.byName.find(FoldedName(step.port));
  if (step.action == Action::kAddPort) {
    if (at == side.byName.end()) AddPort(&side, Port{step.port, step.type, std::nullopt, kNewPortMask, {}});
    return;
  }
  if (at == side.byName.end()) return;
  Port& port = side.ports[at->second];
  // The library sends each number as a 32-bit value, which is what the
  // service stores and what reads back.
  const auto stored = [](int64_t value) { return static_cast<int64_t>(static_cast<int32_t>(value)); };
  switch (step.action) {
    case Action::kDeletePort:
      if (side.main && SameName(*side.main, port.name)) side.main = "";
      side.live[at->second] = false;
      side.byName.erase(at);
      return;
    case Action::kFixParameters: {
      Parameters p = step.parameters;
      p.baud = stored(p.baud), p.dataBits = stored(p.dataBits), p.stopBits = stored(p.stopBits);
      port.fixed = p;
      return;
    }
    case Action::kDynamic: port.fixed.reset(); return;
    case Action::kPermissions: port.mask = stored(step.value); return;
    case Action::kMain: side.main = step.port; return;
    // The service writes the port name's permissions key, whatever the port's type.
    case Action::kShare: SetShare(port.name, step.app, stored(step.value)); return;
    case Action::kShareDefault: SetShare(port.name, step.app, kDefaultShare); return;
    default: return;
  }
}

const std::string* State::BundleNamed(std::string_view name) const {
  const BundleState* bundle = FindBundle(name);
  return bundle == nullptr ? nullptr : &bundle->name;
}

const Port* State::PortNamed(std::string_view bundle, int side, std::string_view port) const {
  const BundleState* state = FindBundle(bundle);
  return state == nullptr ? nullptr : FindPort(state->sides[side], port);
}

std::vector<std::string> State::Bundles() const {
  std::vector<std::string> names;
  for (const BundleState& bundle : bundles_)
    if (bundle.live) names.push_back(bundle.name);
  return names;
}

std::vector<const Port*> State::Ports(std::string_view bundle, int side) const {
  std::vector<const Port*> ports;
  if (const BundleState* state = FindBundle(bundle))
    for (size_t i = 0; i < state->sides[side].ports.size(); ++i)
      if (state->sides[side].live[i]) ports.push_back(&state->sides[side].ports[i]);
  return ports;
}

const std::optional<std::string>& State::Main(std::string_view bundle, int side) const {
  static const std::optional<std::string> none;
  const BundleState* state = FindBundle(bundle);
  return state == nullptr ? none : state->sides[side].main;
}

const Share& State::ShareOf(std::string_view port) const {
  static const Share none;
  const NameShare* share = FindShare(port);
  return share == nullptr ? none : share->entries;
}

const std::pair<std::string, int64_t>* State::ShareEntry(std::string_view port, std::string_view app) const {
  const NameShare* share = FindShare(port);
  if (share == nullptr) return nullptr;
  const auto at = share->byApp.find(FoldedName(app));
  return at == share->byApp.end() ? nullptr : &share->entries[at->second];
}

const State::NameShare* State::FindShare(std::string_view port) const {
  const auto at = shareByName_.find(FoldedName(port));
  return at == shareByName_.end() ? nullptr : &shares_[at->second];
}

State::BundleState* State::FindBundle(std::string_view name) {
  const auto at = bundleByName_.find(FoldedName(name));
  return at == bundleByName_.end() ? nullptr : &bundles_[at->second];
}

const State::BundleState* State::FindBundle(std::string_view name) const {
  return const_cast<State*>(this)->FindBundle(name);
}

const Port* State::FindPort(const SideState& side, std::string_view name) {
  const auto at = side.byName.find(FoldedName(name));
  return at == side.byName.end() ? nullptr : &side.ports[at->second];
}

void State::AddPort(SideState* side, Port port) {
  if (!side->byName.emplace(FoldedName(port.name), side->ports.size()).second) return;  // the registry holds one
  port.share.clear();
  side->ports.push_back(std::move(port));
  side->live.push_back(true);
}

void State::SetShare(std::string_view port, const std::string& app, int64_t value) {
  const auto [slot, made] = shareByName_.emplace(FoldedName(port), shares_.size());
  if (made) shares_.emplace_back().port = std::string(port);
  NameShare& share = shares_[slot->second];
  const auto [at, added] = share.byApp.emplace(FoldedName(app), share.entries.size());
  if (added) share.entries.emplace_back(app, value);
  else share.entries[at->second].second = value;
}

}  // namespace lumbrexctl::config
