#include "client_threads.h"

namespace lumbrex::service {

ClientThreads::ClientThreads() : ended_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {
  if (!ended_.valid()) error_ = GetLastError();
}

void ClientThreads::MarkEnded(uint64_t client) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    // JoinAll may have taken the thread over already, to join it.
    const auto found = threads_.find(client);
    if (found != threads_.end()) found->second.ended = true;
  }
  // After the mark: a join that misses it is woken again by this.
  SetEvent(ended_.get());
}

void ClientThreads::Join(bool everyThread) {
  std::map<uint64_t, Entry> joining;
  {
    std::lock_guard<std::mutex> hold(lock_);
    for (auto it = threads_.begin(); it != threads_.end();) {
      if (everyThread || it->second.ended) {
        joining.insert(threads_.extract(it++));
      } else {
        ++it;
      }
    }
  }
  // Without the lock: a thread still running takes it once more as it ends.
  for (auto& entry : joining) entry.second.thread.join();
}

}  // namespace lumbrex::service
