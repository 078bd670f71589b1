// Issue 9 point 4: a control pipe (Part 2.4) that keeps "OK!" replies queued
// in the pipe ahead of the commands, for the leak loops.
//
// The library writes a command and reads its reply one byte per read up to
// the "!" (Part 2.2), so with a reply already waiting it reads exactly that
// reply and never waits for this server's thread to be scheduled: a command
// costs the library's own calls only, which lets the leak test make 100,000
// calls per export within the suite's time. The server reads every command
// and writes one more "OK!" for each, so the lead stays constant. The library
// cannot tell this from a service that answers at once; the exact command
// bytes and the reply timing are tested elsewhere (tests/link, TestPipeServer).
#pragma once
#include <windows.h>

#include <cstddef>

#include "api/raii.h"

namespace reliability {

class AnswerAheadServer {
 public:
  // Listens on \\.\pipe\TessaryControl2 with two pipe instances, each
  // serving one client after the other on a thread of its own, with `lead`
  // replies written when a client connects. Two, so that a client that
  // reconnects (closing its instance and opening another: Part 2.1) finds one
  // listening.
  explicit AnswerAheadServer(size_t lead = 64);
  ~AnswerAheadServer();
  AnswerAheadServer(const AnswerAheadServer&) = delete;
  AnswerAheadServer& operator=(const AnswerAheadServer&) = delete;

  bool listening() const;
  // Commands received so far (counted by their "!"), over all clients.
  size_t Commands() const;

 private:
  struct Instance {
    AnswerAheadServer* server = nullptr;
    lumbrex::UniqueHandle pipe;
    lumbrex::UniqueHandle thread;
  };
  static constexpr int kInstances = 2;
  static DWORD WINAPI ThreadMain(void* instance);
  void Run(HANDLE pipe);
  // Waits for a started overlapped operation or for the stop event; false
  // when stopped or failed.
  bool Finish(HANDLE pipe, BOOL started, OVERLAPPED* ov, DWORD* bytes);
  bool WriteReplies(HANDLE pipe, OVERLAPPED* ov, size_t count);

  size_t lead_;
  lumbrex::UniqueHandle stop_;
  mutable lumbrex::CriticalSection lock_;  // before the instances: their threads use it
  size_t commands_ = 0;
  Instance instances_[kInstances];
};

}  // namespace reliability
