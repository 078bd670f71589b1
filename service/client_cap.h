// The cap on the control pipe's instances: listening and connected ones
// together never pass it, so once that many clients are connected no instance
// listens, and the next client's open fails with ERROR_PIPE_BUSY (what
// WaitNamedPipe waits out) instead of costing the service a thread and its
// stack per client without bound.
#pragma once
#include <windows.h>

#include <atomic>
#include <cstddef>
#include <utility>
#include <vector>

#include "api/raii.h"

namespace lumbrex::service {

class ClientCap {
 public:
  // Room for one instance, given back when the Seat goes: the instance it
  // stood for must be closed by then.
  class Seat {
   public:
    Seat() = default;
    Seat(Seat&& other) noexcept : cap_(std::exchange(other.cap_, nullptr)) {}
    Seat& operator=(Seat&& other) noexcept {
      Release();
      cap_ = std::exchange(other.cap_, nullptr);
      return *this;
    }
    ~Seat() { Release(); }
    explicit operator bool() const { return cap_ != nullptr; }
    void Release() {
      if (cap_) std::exchange(cap_, nullptr)->GiveBack();
    }

   private:
    friend class ClientCap;
    explicit Seat(ClientCap* cap) : cap_(cap) {}
    ClientCap* cap_ = nullptr;
  };

  // `waiters`: one auto-reset event each, set whenever a seat comes back.
  ClientCap(size_t cap, int waiters) : free_(cap) {
    for (int i = 0; i < waiters; ++i) {
      room_.emplace_back(CreateEventW(nullptr, FALSE, FALSE, nullptr));
      if (!room_.back().valid() && error_ == ERROR_SUCCESS) error_ = GetLastError();
    }
  }
  ClientCap(const ClientCap&) = delete;
  ClientCap& operator=(const ClientCap&) = delete;

  // A seat, or an empty one at the cap.
  Seat Take() {
    for (size_t free = free_.load(); free != 0;)
      if (free_.compare_exchange_weak(free, free - 1)) return Seat(this);
    return Seat();
  }
  // Why an event could not be made, or ERROR_SUCCESS: then the cap is usable.
  DWORD Error() const { return error_; }
  // Set when a seat has come back since the waiter last woke on it.
  HANDLE RoomEvent(int waiter) const { return room_[waiter].get(); }

 private:
  void GiveBack() {
    ++free_;
    for (auto& room : room_)
      if (room.valid()) SetEvent(room.get());
  }

  std::atomic<size_t> free_;
  std::vector<UniqueHandle> room_;
  DWORD error_ = ERROR_SUCCESS;
};

// A pipe instance with its seat under the cap. The seat is declared first,
// so that it is given back only once the instance has closed.
struct SeatedInstance {
  ClientCap::Seat seat;
  UniqueHandle pipe;
};

}  // namespace lumbrex::service
