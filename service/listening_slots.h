// One accept loop's pipe instances listening ahead of its clients, each with
// its seat under the cap on clients. A slot at the cap has no instance and
// waits for room; a slot whose instance could not be made keeps its seat and
// is retried.
#pragma once
#include <windows.h>

#include <functional>
#include <utility>

#include "api/raii.h"
#include "client_cap.h"

namespace lumbrex::service {

class ListeningSlots {
 public:
  // Instances per accept loop: one wait covers at most MAXIMUM_WAIT_OBJECTS
  // handles, and the loop waits on a few more than its slots.
  static constexpr int kCount = 48;
  using MakeInstance = std::function<UniqueHandle()>;

  ListeningSlots(ClientCap& cap, MakeInstance makeInstance) : cap_(cap), make_(std::move(makeInstance)) {}
  // Ends the pending connects before their OVERLAPPED goes away.
  ~ListeningSlots();
  ListeningSlots(const ListeningSlots&) = delete;
  ListeningSlots& operator=(const ListeningSlots&) = delete;

  // An instance made already (the server's first), for the first slot.
  void Adopt(SeatedInstance first);
  // Arms every slot that is not: at the start, when a seat has come back,
  // and when an instance is to be tried again.
  void ArmIdle();
  // True when a slot waits for nothing (its instance could not be made), so
  // that ArmIdle must be tried again after a while.
  bool NeedsRetry() const;
  // The slots' connect events into `waits[0..kCount)`; `none` for a slot
  // without one.
  void FillWaits(HANDLE* waits, HANDLE none) const;
  // Slot `index` has woken: its connected instance with its seat, or an
  // empty one. Either way the slot listens again if there is room.
  SeatedInstance TakeClient(int index);

 private:
  struct Slot {
    SeatedInstance instance;
    UniqueHandle event{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    OVERLAPPED overlapped{};
    bool armed = false;            // a connect is pending or has completed
    bool connectedAtOnce = false;  // ConnectNamedPipe found the client there already
    bool waitingForRoom = false;   // at the cap: armed when a seat comes back
  };
  void Arm(Slot& slot);

  ClientCap& cap_;
  MakeInstance make_;
  Slot slots_[kCount];
};

}  // namespace lumbrex::service
