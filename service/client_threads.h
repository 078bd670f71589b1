// The pipe server's client threads. Each is owned here from its start until
// it is joined: as soon as it has ended (an accept loop waits on
// EndedEvent()), and every one at the server's stop, so that none outlives
// the server it serves.
#pragma once
#include <windows.h>

#include <cstdint>
#include <exception>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

#include "api/raii.h"

namespace lumbrex::service {

class ClientThreads {
 public:
  ClientThreads();
  ClientThreads(const ClientThreads&) = delete;
  ClientThreads& operator=(const ClientThreads&) = delete;
  // Why the ended event could not be made, or ERROR_SUCCESS.
  DWORD Error() const { return error_; }

  // Runs `serve` (which must not throw) on a thread of its own for client
  // `client`. False when no thread could be started: `serve` is then
  // destroyed unrun, closing whatever it holds.
  template <class Serve>
  bool Start(uint64_t client, Serve serve);
  // Auto-reset, set whenever a client's thread has ended.
  HANDLE EndedEvent() const { return ended_.get(); }
  // Joins the threads that have ended; the others run on.
  void JoinEnded() { Join(false); }
  // Joins every thread, waiting as long as each takes to end.
  void JoinAll() { Join(true); }

 private:
  struct Entry {
    std::thread thread;
    bool ended = false;
  };
  // A thread's last step: marks it ended and wakes an accept loop to join it.
  void MarkEnded(uint64_t client);
  void Join(bool everyThread);

  UniqueHandle ended_;
  DWORD error_ = ERROR_SUCCESS;
  std::mutex lock_;
  std::map<uint64_t, Entry> threads_;  // under lock_
};

template <class Serve>
bool ClientThreads::Start(uint64_t client, Serve serve) {
  // Under the lock, so that the thread cannot mark itself ended before its
  // entry holds it.
  std::lock_guard<std::mutex> hold(lock_);
  try {
    // The entry first: a started thread always has its owner.
    Entry& entry = threads_[client];
    entry.thread = std::thread([this, client, serve = std::move(serve)]() mutable {
      serve();
      MarkEnded(client);
    });
  } catch (const std::exception&) {
    threads_.erase(client);
    return false;
  }
  return true;
}

}  // namespace lumbrex::service
