#include "answer_ahead_server.h"

#include <algorithm>
#include <string>

namespace reliability {

namespace {
constexpr wchar_t kPipePath[] = L"\\\\.\\pipe\\TessaryControl2";
constexpr DWORD kBufferBytes = 64 * 1024;
const char kReply[] = "OK!";
constexpr size_t kReplyBytes = sizeof kReply - 1;
}  // namespace

AnswerAheadServer::AnswerAheadServer(size_t lead) : lead_(std::max<size_t>(lead, 1)) {
  InitializeCriticalSection(&lock_);
  stop_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  listening_ = true;
  for (Instance& instance : instances_) {
    instance.server = this;
    instance.pipe = CreateNamedPipeW(kPipePath, PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                                     PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, kInstances, kBufferBytes,
                                     kBufferBytes, 0, nullptr);
    if (instance.pipe != INVALID_HANDLE_VALUE)
      instance.thread = CreateThread(nullptr, 0, ThreadMain, &instance, 0, nullptr);
    listening_ = listening_ && instance.thread != nullptr;
  }
}

AnswerAheadServer::~AnswerAheadServer() {
  SetEvent(stop_);
  for (Instance& instance : instances_) {
    if (instance.thread) {
      WaitForSingleObject(instance.thread, INFINITE);
      CloseHandle(instance.thread);
    }
    if (instance.pipe != INVALID_HANDLE_VALUE) CloseHandle(instance.pipe);
  }
  CloseHandle(stop_);
  DeleteCriticalSection(&lock_);
}

size_t AnswerAheadServer::Commands() const {
  EnterCriticalSection(&lock_);
  const size_t n = commands_;
  LeaveCriticalSection(&lock_);
  return n;
}

DWORD WINAPI AnswerAheadServer::ThreadMain(void* param) {
  auto* instance = static_cast<Instance*>(param);
  instance->server->Run(instance->pipe);
  return 0;
}

bool AnswerAheadServer::Finish(HANDLE pipe, BOOL started, OVERLAPPED* ov, DWORD* bytes) {
  if (!started && GetLastError() != ERROR_IO_PENDING) return false;
  const HANDLE waits[2] = {stop_, ov->hEvent};
  if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) {
    CancelIo(pipe);
    GetOverlappedResult(pipe, ov, bytes, TRUE);  // the buffer must outlive the I/O
    return false;
  }
  return GetOverlappedResult(pipe, ov, bytes, FALSE) != FALSE;
}

bool AnswerAheadServer::WriteReplies(HANDLE pipe, size_t count) {
  std::string replies;
  replies.reserve(count * kReplyBytes);
  for (size_t i = 0; i < count; ++i) replies.append(kReply, kReplyBytes);
  OVERLAPPED ov{};
  ov.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  DWORD written = 0;
  const BOOL started = WriteFile(pipe, replies.data(), static_cast<DWORD>(replies.size()), nullptr, &ov);
  const bool ok = Finish(pipe, started, &ov, &written) && written == replies.size();
  CloseHandle(ov.hEvent);
  return ok;
}

void AnswerAheadServer::Run(HANDLE pipe) {
  OVERLAPPED ov{};
  ov.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  char buffer[4096];
  while (WaitForSingleObject(stop_, 0) != WAIT_OBJECT_0) {
    DWORD ignored = 0;
    const BOOL connected = ConnectNamedPipe(pipe, &ov);
    const DWORD why = connected ? 0 : GetLastError();
    // ERROR_NO_DATA: the client came and went already; go round again.
    const bool there = why == ERROR_PIPE_CONNECTED || (why != ERROR_NO_DATA && Finish(pipe, connected, &ov, &ignored));
    if (!there && WaitForSingleObject(stop_, 0) == WAIT_OBJECT_0) break;
    // The lead, then one reply for every command read.
    bool open = there && WriteReplies(pipe, lead_);
    while (open) {
      DWORD got = 0;
      const BOOL started = ReadFile(pipe, buffer, sizeof buffer, nullptr, &ov);
      if (!Finish(pipe, started, &ov, &got)) break;
      const size_t bangs = static_cast<size_t>(std::count(buffer, buffer + got, '!'));
      EnterCriticalSection(&lock_);
      commands_ += bangs;
      LeaveCriticalSection(&lock_);
      if (bangs > 0) open = WriteReplies(pipe, bangs);
    }
    DisconnectNamedPipe(pipe);  // drops the unread lead; the next client gets its own
  }
  CloseHandle(ov.hEvent);
}

}  // namespace reliability
