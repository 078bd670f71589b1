// The library's connection to the service for one test: made at the start,
// given back at the end whatever the test's end, so that the next test run in
// the same process does not find a reference left over.
#pragma once
#include "lumbrex.h"

namespace testsupport {

class ServiceConnection {
 public:
  ServiceConnection() : connected_(ConnectToLocalService() == 1) {}
  ~ServiceConnection() {
    if (connected_) DisconnectFromService();
  }
  ServiceConnection(const ServiceConnection&) = delete;
  ServiceConnection& operator=(const ServiceConnection&) = delete;
  bool connected() const { return connected_; }

 private:
  const bool connected_;
};

}  // namespace testsupport
