#include "support/answer_ahead_server.h"

#include <algorithm>
#include <mutex>
#include <string>

#include "support/test_pipe_server.h"

namespace reliability {

namespace {
constexpr DWORD kBufferBytes = 64 * 1024;
const char kReply[] = "OK!";
constexpr size_t kReplyBytes = sizeof kReply - 1;
}  // namespace

AnswerAheadServer::AnswerAheadServer(size_t lead)
    : lead_(std::max<size_t>(lead, 1)), stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
  for (Instance& instance : instances_) {
    instance.server = this;
    instance.pipe.reset(CreateNamedPipeW(testsupport::TestPipeServer::kDefaultPipePath,
                                         PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                                         PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, kInstances, kBufferBytes,
                                         kBufferBytes, 0, nullptr));
    if (instance.pipe.valid()) instance.thread.reset(CreateThread(nullptr, 0, ThreadMain, &instance, 0, nullptr));
  }
}

AnswerAheadServer::~AnswerAheadServer() {
  SetEvent(stop_.get());
  // Each thread ends before its pipe is closed (the members go after this).
  for (Instance& instance : instances_)
    if (instance.thread.valid()) WaitForSingleObject(instance.thread.get(), INFINITE);
}

bool AnswerAheadServer::listening() const {
  return std::all_of(std::begin(instances_), std::end(instances_),
                     [](const Instance& instance) { return instance.thread.valid(); });
}

size_t AnswerAheadServer::Commands() const {
  std::lock_guard<lumbrex::CriticalSection> guard(lock_);
  return commands_;
}

DWORD WINAPI AnswerAheadServer::ThreadMain(void* param) {
  auto* instance = static_cast<Instance*>(param);
  instance->server->Run(instance->pipe.get());
  return 0;
}

bool AnswerAheadServer::Finish(HANDLE pipe, BOOL started, OVERLAPPED* ov, DWORD* bytes) {
  if (!started && GetLastError() != ERROR_IO_PENDING) return false;
  const HANDLE waits[2] = {stop_.get(), ov->hEvent};
  if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) {
    CancelIo(pipe);
    GetOverlappedResult(pipe, ov, bytes, TRUE);  // the buffer must outlive the I/O
    return false;
  }
  return GetOverlappedResult(pipe, ov, bytes, FALSE) != FALSE;
}

bool AnswerAheadServer::WriteReplies(HANDLE pipe, OVERLAPPED* ov, size_t count) {
  std::string replies;
  replies.reserve(count * kReplyBytes);
  for (size_t i = 0; i < count; ++i) replies.append(kReply, kReplyBytes);
  DWORD written = 0;
  const BOOL started = WriteFile(pipe, replies.data(), static_cast<DWORD>(replies.size()), nullptr, ov);
  return Finish(pipe, started, ov, &written) && written == replies.size();
}

void AnswerAheadServer::Run(HANDLE pipe) {
  // One operation at a time on this instance: one event serves them all.
  lumbrex::UniqueHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  OVERLAPPED ov{};
  ov.hEvent = event.get();
  char buffer[4096];
  while (WaitForSingleObject(stop_.get(), 0) != WAIT_OBJECT_0) {
    DWORD ignored = 0;
    const BOOL connected = ConnectNamedPipe(pipe, &ov);
    const DWORD why = connected ? 0 : GetLastError();
    // ERROR_NO_DATA: the client came and went already; go round again.
    const bool there = why == ERROR_PIPE_CONNECTED || (why != ERROR_NO_DATA && Finish(pipe, connected, &ov, &ignored));
    // The lead, then one reply for every command read.
    bool open = there && WriteReplies(pipe, &ov, lead_);
    while (open) {
      DWORD got = 0;
      const BOOL started = ReadFile(pipe, buffer, sizeof buffer, nullptr, &ov);
      if (!Finish(pipe, started, &ov, &got)) break;
      const size_t bangs = static_cast<size_t>(std::count(buffer, buffer + got, '!'));
      {
        std::lock_guard<lumbrex::CriticalSection> guard(lock_);
        commands_ += bangs;
      }
      if (bangs > 0) open = WriteReplies(pipe, &ov, bangs);
    }
    DisconnectNamedPipe(pipe);  // drops the unread lead; the next client gets its own
  }
}

}  // namespace reliability
