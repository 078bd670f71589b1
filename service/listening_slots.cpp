#include "listening_slots.h"

#include <utility>

namespace lumbrex::service {

ListeningSlots::~ListeningSlots() {
  for (auto& slot : slots_) {
    if (slot.armed && !slot.connectedAtOnce && slot.instance.pipe.valid()) {
      DWORD ignored = 0;
      CancelIoEx(slot.instance.pipe.get(), &slot.overlapped);
      GetOverlappedResult(slot.instance.pipe.get(), &slot.overlapped, &ignored, TRUE);
    }
  }
}

void ListeningSlots::Adopt(SeatedInstance first) { slots_[0].instance = std::move(first); }

void ListeningSlots::ArmIdle() {
  for (auto& slot : slots_)
    if (!slot.armed) Arm(slot);
}

bool ListeningSlots::NeedsRetry() const {
  for (const auto& slot : slots_)
    if (!slot.armed && !slot.waitingForRoom) return true;
  return false;
}

void ListeningSlots::FillWaits(HANDLE* waits, HANDLE none) const {
  for (int i = 0; i < kCount; ++i) waits[i] = slots_[i].event.valid() ? slots_[i].event.get() : none;
}

SeatedInstance ListeningSlots::TakeClient(int index) {
  Slot& slot = slots_[index];
  SeatedInstance client;
  if (slot.armed) {
    DWORD ignored = 0;
    if (slot.connectedAtOnce || GetOverlappedResult(slot.instance.pipe.get(), &slot.overlapped, &ignored, FALSE))
      client = std::move(slot.instance);
    else
      slot.instance.pipe.reset();  // its seat stays for the instance made in its place
  }
  Arm(slot);
  return client;
}

void ListeningSlots::Arm(Slot& slot) {
  slot.armed = false;
  slot.connectedAtOnce = false;
  slot.waitingForRoom = false;
  if (!slot.event.valid()) return;
  // Set by the connect just handled: a slot left unarmed must not wake the
  // loop again at once, which would spin and starve the slots after it.
  ResetEvent(slot.event.get());
  if (!slot.instance.seat) slot.instance.seat = cap_.Take();
  if (!slot.instance.seat) {
    slot.waitingForRoom = true;
    return;
  }
  // An instance that cannot be made keeps its seat for the retry, so that
  // the loops never wake each other handing one seat back and forth.
  if (!slot.instance.pipe.valid()) slot.instance.pipe = make_();
  if (!slot.instance.pipe.valid()) return;
  slot.overlapped = OVERLAPPED{};
  slot.overlapped.hEvent = slot.event.get();
  if (ConnectNamedPipe(slot.instance.pipe.get(), &slot.overlapped) || GetLastError() == ERROR_IO_PENDING) {
    slot.armed = true;
    return;
  }
  switch (GetLastError()) {
    case ERROR_PIPE_CONNECTED:  // the client came between create and connect
    case ERROR_NO_DATA:         // ... and has closed its end again: its command may still wait
      slot.armed = true;
      slot.connectedAtOnce = true;
      SetEvent(slot.event.get());
      return;
    default:  // the instance is unusable: dropped, and a new one made at the next try
      slot.instance.pipe.reset();
      return;
  }
}

}  // namespace lumbrex::service
