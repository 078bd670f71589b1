// RAII owners of the service's Win32 resources: one owner per resource.
#pragma once
#include <windows.h>

#include <utility>

namespace lumbrex::service {

// A kernel handle; null and INVALID_HANDLE_VALUE both count as none.
class HandleOwner {
 public:
  HandleOwner() = default;
  explicit HandleOwner(HANDLE h) : h_(h) {}
  HandleOwner(HandleOwner&& o) noexcept : h_(o.release()) {}
  HandleOwner& operator=(HandleOwner&& o) noexcept {
    reset(o.release());
    return *this;
  }
  HandleOwner(const HandleOwner&) = delete;
  HandleOwner& operator=(const HandleOwner&) = delete;
  ~HandleOwner() { reset(); }
  HANDLE get() const { return h_; }
  bool valid() const { return h_ != nullptr && h_ != INVALID_HANDLE_VALUE; }
  HANDLE release() { return std::exchange(h_, INVALID_HANDLE_VALUE); }
  void reset(HANDLE h = INVALID_HANDLE_VALUE) {
    HANDLE old = std::exchange(h_, h);
    if (old != nullptr && old != INVALID_HANDLE_VALUE) CloseHandle(old);
  }

 private:
  HANDLE h_ = INVALID_HANDLE_VALUE;
};

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
