// An in-process fake of the bundling service on its pipe (kLocalPipePath): it records each command as received
// (the bytes up to and including its "!") and answers it with the next queued reply, else by the rule ("OK!"
// unless set). Four pipe instances serve one client after another, so a client that reconnects at once finds
// one listening; the destructor closes them, so a client blocked in its read sees the read fail.
#pragma once
#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "api/raii.h"
#include "common/names.h"

namespace testsupport {

class TestPipeServer {
 public:
  // After delayMs (or once `until` is set) write the bytes, then close this client's pipe if `close`: its read
  // fails, then its next write.
  struct Reply { std::string bytes; bool close = false; DWORD delayMs = 0; HANDLE until = nullptr; };
  static Reply Send(std::string bytes, DWORD delayMs = 0) { return {std::move(bytes), false, delayMs}; }
  static Reply Close(DWORD delayMs = 0) { return {"", true, delayMs}; }
  static constexpr const wchar_t* kDefaultPipePath = lumbrex::kLocalPipePath;

  // lead > 0: every client finds that many "OK!" waiting ahead of its commands, and only their count is kept,
  // so a leak loop measures the library alone.
  explicit TestPipeServer(size_t lead = 0);
  ~TestPipeServer();
  void SetRule(std::function<Reply(const std::string& command)> rule) { Change([&] { rule_ = std::move(rule); }); }
  void QueueReply(Reply reply) { Change([&] { queue_.push_back(std::move(reply)); }); }
  void QueueReply(std::string bytes) { QueueReply(Send(std::move(bytes))); }
  std::vector<std::string> Commands() const { return Locked([&] { return commands_; }); }
  size_t CommandCount() const { return Locked([&] { return count_; }); }
  size_t BytesReceived() const { return Locked([&] { return bytes_; }); }  // more if bytes followed a "!"
  // Each waits up to ms for its condition; false if it did not come.
  bool WaitForCommands(size_t n, DWORD ms = 5000) const { return Wait([&] { return count_ >= n; }, ms); }
  bool WaitForOpenClients(size_t n, DWORD ms = 5000) const { return Wait([&] { return open_ == n; }, ms); }

 private:
  void Serve(size_t index);
  bool Finish(HANDLE pipe, OVERLAPPED* ov, BOOL started, DWORD* bytes = nullptr);
  template <class F>
  auto Locked(F read) const -> decltype(read()) {
    std::lock_guard<std::mutex> guard(lock_);
    return read();
  }
  void Change(const std::function<void()>& change);  // under the lock, then wakes the waiters
  bool Wait(const std::function<bool()>& done, DWORD timeoutMs) const;

  const size_t lead_;
  lumbrex::UniqueHandle stop_;
  mutable std::mutex lock_;
  mutable std::condition_variable changed_;
  std::vector<std::string> commands_;
  size_t count_ = 0, bytes_ = 0, open_ = 0;
  std::deque<Reply> queue_;
  std::function<Reply(const std::string&)> rule_;
  std::vector<lumbrex::UniqueHandle> pipes_;
  std::vector<std::thread> threads_;
};

// Keeps the library's link busy: runs `command` (one command) on a thread of its own, its reply held back for
// holdMs or until Release(); returns once the server has the command. Make it while no reply is queued.
class LinkHolder {
 public:
  LinkHolder(TestPipeServer& server, std::function<int()> command, DWORD holdMs = INFINITE);
  ~LinkHolder() { Release(); }
  bool holding() const { return holding_; }
  void Release() { SetEvent(release_.get()); }
  // The command's result, or -1 while it still runs after timeoutMs.
  int Join(DWORD timeoutMs = 10000) {
    return call_.wait_for(std::chrono::milliseconds(timeoutMs)) == std::future_status::ready ? call_.get() : -1;
  }

 private:
  lumbrex::UniqueHandle release_;
  std::shared_future<int> call_;
  bool holding_;
};

}  // namespace testsupport
