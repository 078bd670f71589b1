// Owners of the stand-in port-sharing driver's state. The driver lives as long
// as the wineserver, not as long as a test program, so whatever a test changes
// in it is put back when the owner ends, whether the test passed or not.
#pragma once
#include <string>

#include "driver/control/standin_driver.h"

namespace testsupport {

// Hides the driver's query device while it lives, if the driver runs (it may,
// from an earlier test in the same wineserver), so the library finds no
// driver; the device is shown again at the end.
class HiddenQueryLink {
 public:
  HiddenQueryLink() : hidden_(standin_driver::StandinRunning() && standin_driver::StandinHideQueryLink() == 0) {}
  ~HiddenQueryLink() {
    if (hidden_) standin_driver::StandinShowQueryLink();
  }
  HiddenQueryLink(const HiddenQueryLink&) = delete;
  HiddenQueryLink& operator=(const HiddenQueryLink&) = delete;

 private:
  const bool hidden_;
};

// The driver, loaded if need be, for a test that sets its answer, its failures
// or its request log: reset at the end, so the next test finds it answering
// nothing and failing nothing.
class StandinDriverInUse {
 public:
  StandinDriverInUse() : problem_(standin_driver::EnsureStandinRunning()) {}
  ~StandinDriverInUse() {
    if (problem_.empty()) standin_driver::StandinReset();
  }
  StandinDriverInUse(const StandinDriverInUse&) = delete;
  StandinDriverInUse& operator=(const StandinDriverInUse&) = delete;
  const std::wstring& problem() const { return problem_; }  // empty when the driver runs

 private:
  const std::wstring problem_;
};

}  // namespace testsupport
