// A configuration as the service and the driver hold it while planned steps
// are carried out on it: every name indexed once, folded as the service
// compares names, so that a lookup costs the same in a configuration of ten
// ports as of a hundred thousand; and share permissions kept per port name,
// as the driver keeps them (one permissions key per name, whatever bundle
// holds the port, outliving the port). Plain C++, as config_document.h.
#pragma once
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "config_plan.h"

namespace lumbrexctl::config {

class State {
 public:
  explicit State(const Model& model);
  // The configuration as `export` would read it back.
  Model ToModel() const;
  // The step as the service carries it out: one it would refuse (no such
  // bundle or port) changes nothing; numbers are stored as the 32-bit values
  // the library sends.
  void Apply(const Step& step);

  const std::optional<bool>& Option(int option) const { return options_[option]; }
  // The stored spelling of the bundle or port so named; null when none is.
  const std::string* BundleNamed(std::string_view name) const;
  const Port* PortNamed(std::string_view bundle, int side, std::string_view port) const;
  // The bundles, and a bundle side's ports, in the order they were stored.
  std::vector<std::string> Bundles() const;
  std::vector<const Port*> Ports(std::string_view bundle, int side) const;
  // The side's main port: "" for none, not set when not managed.
  const std::optional<std::string>& Main(std::string_view bundle, int side) const;
  // The share permissions kept for the port name, in the order stored.
  const Share& ShareOf(std::string_view port) const;
  // The stored entry for the application, or null.
  const std::pair<std::string, int64_t>* ShareEntry(std::string_view port, std::string_view app) const;

 private:
  using Index = std::unordered_map<std::u32string, size_t>;
  struct SideState {
    std::optional<std::string> main;
    std::vector<Port> ports;  // share unused: kept per name
    std::vector<bool> live;   // a deleted port's slot stays, so that the index stays good
    Index byName;
  };
  struct BundleState {
    std::string name;
    bool live = true;
    SideState sides[2];
  };
  struct NameShare {
    std::string port;  // as first stored
    Share entries;
    Index byApp;
  };

  std::optional<bool> options_[kOptionCount];
  std::vector<BundleState> bundles_;
  Index bundleByName_;
  std::vector<NameShare> shares_;
  Index shareByName_;

  BundleState* FindBundle(std::string_view name);
  const BundleState* FindBundle(std::string_view name) const;
  static const Port* FindPort(const SideState& side, std::string_view name);
  void AddPort(SideState* side, Port port);
  const NameShare* FindShare(std::string_view port) const;
  void SetShare(std::string_view port, const std::string& app, int64_t value);
};

}  // namespace lumbrexctl::config
