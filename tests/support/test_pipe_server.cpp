#include "support/test_pipe_server.h"

namespace testsupport {

namespace {
HANDLE NewInstance() {
  return CreateNamedPipeW(TestPipeServer::kDefaultPipePath, PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                          PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, PIPE_UNLIMITED_INSTANCES, 4096, 4096, 0,
                          nullptr);
}
}  // namespace

TestPipeServer::TestPipeServer(size_t lead) : lead_(lead), stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
  for (int i = 0; i < 4; ++i) pipes_.emplace_back(NewInstance());
  for (size_t i = 0; i < pipes_.size(); ++i) threads_.emplace_back(&TestPipeServer::Serve, this, i);
}

TestPipeServer::~TestPipeServer() {
  SetEvent(stop_.get());
  for (auto& thread : threads_) thread.join();
}

// Waits for an overlapped operation, or cancels it on the stop (its buffer must outlive it).
bool TestPipeServer::Finish(HANDLE pipe, OVERLAPPED* ov, BOOL started, DWORD* bytes) {
  DWORD ignored = 0;
  bytes = bytes ? bytes : &ignored;
  if (!started && GetLastError() != ERROR_IO_PENDING) return false;
  const HANDLE waits[2] = {stop_.get(), ov->hEvent};
  if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) == WAIT_OBJECT_0 + 1)
    return GetOverlappedResult(pipe, ov, bytes, FALSE) != FALSE;
  CancelIo(pipe);
  GetOverlappedResult(pipe, ov, bytes, TRUE);
  return false;
}

void TestPipeServer::Serve(size_t index) {
  lumbrex::UniqueHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  OVERLAPPED ov{};
  ov.hEvent = event.get();
  auto write = [&](HANDLE pipe, const std::string& bytes) {
    return bytes.empty() || Finish(pipe, &ov, WriteFile(pipe, bytes.data(), DWORD(bytes.size()), nullptr, &ov));
  };
  std::string lead, received;
  for (size_t i = 0; i < lead_; ++i) lead += "OK!";
  char buffer[4096];
  while (pipes_[index].valid() && WaitForSingleObject(stop_.get(), 0) == WAIT_TIMEOUT) {
    const HANDLE pipe = pipes_[index].get();
    const BOOL connected = ConnectNamedPipe(pipe, &ov);
    const DWORD why = connected ? 0 : GetLastError();  // ERROR_NO_DATA: the client came and went
    if (why != ERROR_PIPE_CONNECTED && (why == ERROR_NO_DATA || !Finish(pipe, &ov, connected))) {
      DisconnectNamedPipe(pipe);
      continue;
    }
    Change([&] { ++open_; });
    received.clear();
    DWORD got = 0;
    for (bool open = write(pipe, lead); open && Finish(pipe, &ov, ReadFile(pipe, buffer, 4096, 0, &ov), &got);) {
      received.append(buffer, got);
      Change([&] { bytes_ += got; });
      for (size_t bang; open && (bang = received.find('!')) != std::string::npos; received.erase(0, bang + 1)) {
        Reply reply = Send("OK!");
        Change([&] {
          ++count_;
          if (!queue_.empty()) reply = std::move(queue_.front()), queue_.pop_front();
          else if (rule_) reply = rule_(received.substr(0, bang + 1));
          if (lead_ == 0) commands_.push_back(received.substr(0, bang + 1));
        });
        const HANDLE waits[2] = {stop_.get(), reply.until};
        open = (reply.delayMs == 0 && !reply.until) ||
               WaitForMultipleObjects(reply.until ? 2 : 1, waits, FALSE, reply.delayMs) != WAIT_OBJECT_0;
        open = open && write(pipe, reply.bytes) && !reply.close;
      }
    }
    // Closed, not disconnected, so the client still reads what was written; a fresh instance listens next.
    pipes_[index].reset(NewInstance());
    Change([&] { --open_; });
  }
}

void TestPipeServer::Change(const std::function<void()>& change) {
  Locked(change);
  changed_.notify_all();
}

bool TestPipeServer::Wait(const std::function<bool()>& done, DWORD timeoutMs) const {
  std::unique_lock<std::mutex> guard(lock_);
  return changed_.wait_for(guard, std::chrono::milliseconds(timeoutMs), done);
}

LinkHolder::LinkHolder(TestPipeServer& server, std::function<int()> command, DWORD holdMs)
    : release_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
  const size_t before = server.CommandCount();
  server.QueueReply(TestPipeServer::Reply{"OK!", false, holdMs, release_.get()});
  call_ = std::async(std::launch::async, std::move(command)).share();
  holding_ = server.WaitForCommands(before + 1);
}

}  // namespace testsupport
