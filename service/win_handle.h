// RAII owners of the service's Win32 resources: one owner per resource.
#pragma once
#include <windows.h>

#include <utility>

#include "api/raii.h"

namespace lumbrex::service {

// A kernel handle: the library's own owner (null and INVALID_HANDLE_VALUE
// both count as none).
using HandleOwner = ::lumbrex::UniqueHandle;

// Memory from LocalAlloc (security descriptors from the SDDL converter).
class LocalMemory {
 public:
  LocalMemory() = default;
  LocalMemory(const LocalMemory&) = delete;
  LocalMemory& operator=(const LocalMemory&) = delete;
  ~LocalMemory() { if (p_) LocalFree(p_); }
  void* get() const { return p_; }
  void** out() { return &p_; }
  void* release() { return std::exchange(p_, nullptr); }

 private:
  void* p_ = nullptr;
};

}  // namespace lumbrex::service
