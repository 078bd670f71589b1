#include "support/test_pipe_server.h"

#include <utility>

namespace testsupport {

namespace {

constexpr int kListeningInstances = 3;
constexpr DWORD kBufferSize = 4096;

class Locked {
 public:
  explicit Locked(CRITICAL_SECTION* cs) : cs_(cs) { EnterCriticalSection(cs_); }
  ~Locked() { LeaveCriticalSection(cs_); }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;
 private:
  CRITICAL_SECTION* cs_;
};

// Waits for an overlapped operation on pipe or for stop. True when the
// operation completed successfully (bytes in *done); false on failure or stop
// (after cancelling it and waiting for the cancellation).
bool Finish(HANDLE pipe, OVERLAPPED* ov, HANDLE stop, BOOL started, DWORD* done) {
  if (!started && GetLastError() != ERROR_IO_PENDING) return false;
  HANDLE both[2] = {stop, ov->hEvent};
  DWORD which = WaitForMultipleObjects(2, both, FALSE, INFINITE);
  if (which != WAIT_OBJECT_0 + 1) {
    CancelIo(pipe);
    GetOverlappedResult(pipe, ov, done, TRUE);
    return false;
  }
  return GetOverlappedResult(pipe, ov, done, FALSE) != FALSE;
}

}  // namespace

struct TestPipeServer::Session {
  TestPipeServer* server;
  HANDLE pipe;
};

TestPipeServer::TestPipeServer(std::wstring pipePath) : pipePath_(std::move(pipePath)) {
  InitializeCriticalSection(&lock_);
  InitializeConditionVariable(&changed_);
  stop_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ready_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  listener_ = CreateThread(nullptr, 0, &TestPipeServer::ListenThread, this, 0, nullptr);
  WaitForSingleObject(ready_, 10000);
}

TestPipeServer::~TestPipeServer() {
  SetEvent(stop_);
  if (listener_ != nullptr) {
    WaitForSingleObject(listener_, INFINITE);
    CloseHandle(listener_);
  }
  // No new sessions start once the listener has ended.
  std::vector<HANDLE> sessions;
  {
    Locked locked(&lock_);
    sessions.swap(sessions_);
  }
  for (HANDLE thread : sessions) {
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
  }
  CloseHandle(ready_);
  CloseHandle(stop_);
  DeleteCriticalSection(&lock_);
}

DWORD WINAPI TestPipeServer::ListenThread(void* self) {
  static_cast<TestPipeServer*>(self)->Listen();
  return 0;
}

void TestPipeServer::Listen() {
  struct Pending {
    HANDLE pipe = INVALID_HANDLE_VALUE;
    OVERLAPPED ov{};
  };
  Pending pending[kListeningInstances];
  auto startListening = [&](Pending& p) {
    p.pipe = CreateNamedPipeW(pipePath_.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                              PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, PIPE_UNLIMITED_INSTANCES,
                              kBufferSize, kBufferSize, 0, nullptr);
    if (p.pipe == INVALID_HANDLE_VALUE) return false;
    ResetEvent(p.ov.hEvent);
    if (!ConnectNamedPipe(p.pipe, &p.ov)) {
      DWORD error = GetLastError();
      if (error == ERROR_PIPE_CONNECTED) {
        SetEvent(p.ov.hEvent);
      } else if (error != ERROR_IO_PENDING) {
        CloseHandle(p.pipe);
        p.pipe = INVALID_HANDLE_VALUE;
        return false;
      }
    }
    return true;
  };

  bool ok = true;
  for (Pending& p : pending) {
    p.ov.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ok = startListening(p) && ok;
  }
  listening_ = ok;
  SetEvent(ready_);

  HANDLE waits[1 + kListeningInstances];
  waits[0] = stop_;
  for (int i = 0; i < kListeningInstances; ++i) waits[1 + i] = pending[i].ov.hEvent;
  while (ok) {
    DWORD which = WaitForMultipleObjects(1 + kListeningInstances, waits, FALSE, INFINITE);
    if (which == WAIT_OBJECT_0 || which == WAIT_FAILED) break;
    Pending& p = pending[which - WAIT_OBJECT_0 - 1];
    DWORD ignored = 0;
    BOOL connected = GetOverlappedResult(p.pipe, &p.ov, &ignored, FALSE);
    HANDLE pipe = std::exchange(p.pipe, INVALID_HANDLE_VALUE);
    // A replacement listens before the new client is served.
    ok = startListening(p);
    if (!connected && GetLastError() != ERROR_PIPE_CONNECTED) {
      CloseHandle(pipe);
      continue;
    }
    auto* session = new Session{this, pipe};
    {
      Locked locked(&lock_);
      ++openClients_;
      ++totalClients_;
      WakeAllConditionVariable(&changed_);
    }
    HANDLE thread = CreateThread(nullptr, 0, &TestPipeServer::SessionThread, session, 0, nullptr);
    if (thread == nullptr) {
      Serve(pipe);  // cannot happen in practice; serve inline rather than lose it
      delete session;
      continue;
    }
    Locked locked(&lock_);
    sessions_.push_back(thread);
  }
  for (Pending& p : pending) {
    if (p.pipe != INVALID_HANDLE_VALUE) {
      CancelIo(p.pipe);
      DWORD ignored = 0;
      GetOverlappedResult(p.pipe, &p.ov, &ignored, TRUE);
      CloseHandle(p.pipe);
    }
    CloseHandle(p.ov.hEvent);
  }
}

DWORD WINAPI TestPipeServer::SessionThread(void* param) {
  auto* session = static_cast<Session*>(param);
  session->server->Serve(session->pipe);
  delete session;
  return 0;
}

void TestPipeServer::Serve(HANDLE pipe) {
  OVERLAPPED ov{};
  ov.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::string received;
  char buffer[kBufferSize];
  bool open = true;
  while (open) {
    ResetEvent(ov.hEvent);
    DWORD got = 0;
    BOOL started = ReadFile(pipe, buffer, sizeof buffer, nullptr, &ov);
    if (!Finish(pipe, &ov, stop_, started, &got)) break;
    received.append(buffer, got);
    {
      Locked locked(&lock_);
      bytesReceived_ += got;
    }
    size_t bang;
    while (open && (bang = received.find('!')) != std::string::npos) {
      Record(received.substr(0, bang + 1));
      received.erase(0, bang + 1);
      Reply reply = TakeReply();
      if (reply.delayMs > 0 && WaitForSingleObject(stop_, reply.delayMs) == WAIT_OBJECT_0) {
        open = false;
        break;
      }
      switch (reply.action) {
        case Reply::Action::kSend: {
          ResetEvent(ov.hEvent);
          DWORD written = 0;
          BOOL wrote = WriteFile(pipe, reply.bytes.data(), static_cast<DWORD>(reply.bytes.size()), nullptr, &ov);
          if (!Finish(pipe, &ov, stop_, wrote, &written)) open = false;
          break;
        }
        case Reply::Action::kNoReply:
          break;
        case Reply::Action::kClose:
          open = false;
          break;
      }
    }
  }
  CloseHandle(pipe);
  CloseHandle(ov.hEvent);
  Locked locked(&lock_);
  --openClients_;
  WakeAllConditionVariable(&changed_);
}

TestPipeServer::Reply TestPipeServer::TakeReply() {
  Locked locked(&lock_);
  if (queue_.empty()) return default_;
  Reply reply = std::move(queue_.front());
  queue_.pop_front();
  return reply;
}

void TestPipeServer::Record(std::string command) {
  Locked locked(&lock_);
  commands_.push_back(std::move(command));
  WakeAllConditionVariable(&changed_);
}

void TestPipeServer::SetDefaultReply(Reply reply) {
  Locked locked(&lock_);
  default_ = std::move(reply);
}

void TestPipeServer::QueueReply(Reply reply) {
  Locked locked(&lock_);
  queue_.push_back(std::move(reply));
}

std::vector<std::string> TestPipeServer::Commands() const {
  Locked locked(&lock_);
  return commands_;
}

size_t TestPipeServer::BytesReceived() const {
  Locked locked(&lock_);
  return bytesReceived_;
}

size_t TestPipeServer::CommandCount() const {
  Locked locked(&lock_);
  return commands_.size();
}

void TestPipeServer::ClearCommands() {
  Locked locked(&lock_);
  commands_.clear();
}

size_t TestPipeServer::OpenClients() const {
  Locked locked(&lock_);
  return openClients_;
}

size_t TestPipeServer::TotalClients() const {
  Locked locked(&lock_);
  return totalClients_;
}

bool TestPipeServer::WaitUntil(const std::function<bool()>& done, DWORD timeoutMs) const {
  ULONGLONG deadline = GetTickCount64() + timeoutMs;
  Locked locked(&lock_);
  while (!done()) {
    ULONGLONG now = GetTickCount64();
    if (now >= deadline) return false;
    SleepConditionVariableCS(&changed_, &lock_, static_cast<DWORD>(deadline - now));
  }
  return true;
}

bool TestPipeServer::WaitForCommands(size_t n, DWORD timeoutMs) const {
  return WaitUntil([&] { return commands_.size() >= n; }, timeoutMs);
}

bool TestPipeServer::WaitForOpenClients(size_t n, DWORD timeoutMs) const {
  return WaitUntil([&] { return openClients_ == n; }, timeoutMs);
}

bool TestPipeServer::WaitForTotalClients(size_t n, DWORD timeoutMs) const {
  return WaitUntil([&] { return totalClients_ >= n; }, timeoutMs);
}

BackgroundCall::BackgroundCall(std::function<int()> fn) : fn_(std::move(fn)) {
  thread_ = CreateThread(nullptr, 0, &BackgroundCall::Run, this, 0, nullptr);
}

BackgroundCall::~BackgroundCall() {
  if (thread_ != nullptr) {
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
  }
}

DWORD WINAPI BackgroundCall::Run(void* self) {
  auto* call = static_cast<BackgroundCall*>(self);
  call->result_ = call->fn_();
  return 0;
}

int BackgroundCall::Join(DWORD timeoutMs) {
  if (thread_ == nullptr) return -1;
  if (WaitForSingleObject(thread_, timeoutMs) != WAIT_OBJECT_0) return -1;
  return result_;
}

std::function<int()> LinkHolder::QueueFirst(TestPipeServer& server, DWORD holdMs, size_t* base,
                                            std::function<int()> command) {
  *base = server.CommandCount();
  server.QueueReply(TestPipeServer::Send("OK!", holdMs));
  return command;
}

LinkHolder::LinkHolder(TestPipeServer& server, std::function<int()> command, DWORD holdMs)
    : call_(QueueFirst(server, holdMs, &base_, std::move(command))) {
  holding_ = server.WaitForCommands(base_ + 1);
}

double MeasureMs(const std::function<void()>& fn) {
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  fn();
  QueryPerformanceCounter(&end);
  return static_cast<double>(end.QuadPart - start.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

}  // namespace testsupport
