// The service's configuration: applies parsed commands to the registry in the
// layout that the library reads, one command at a time, under the keys of
// common/names.h (the configuration root, the shared-ports key and the
// virtual-serial driver's service key).
#pragma once
#include <windows.h>

#include <mutex>

#include "command.h"

namespace lumbrex::service {

struct Outcome {
  bool ok = false;
  const char* reason = nullptr;  // why not, for the log
  LONG code = ERROR_SUCCESS;     // the registry's code when it failed
  const wchar_t* value = nullptr;  // the registry value it failed on, named in the log (common/names.h)
};

class ConfigStore {
 public:
  // Carries out one request. Every request holds the store's lock from its
  // first registry read to its last write, so concurrent clients see each
  // command whole. Whatever it allocates comes before its first registry
  // change, so when it throws, nothing was changed.
  Outcome Apply(const Request& request);

 private:
  Outcome AddBundle(const Request& r);
  Outcome DelBundle(const Request& r);
  Outcome RenameBundle(const Request& r);
  Outcome GetBundleState(const Request& r);
  Outcome AddPort(const Request& r);
  Outcome DelPort(const Request& r);
  Outcome SetMain(const Request& r);
  Outcome GetPortState(const Request& r);
  Outcome SetRportParams(const Request& r);
  Outcome UpdateSettings(const Request& r);
  Outcome SetSharePermission(const Request& r);

  std::mutex lock_;
};

}  // namespace lumbrex::service
