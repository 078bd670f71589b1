// The process-wide connection to the service's control pipe.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "api/raii.h"
#include "common/text.h"

namespace lumbrex {

// "TessaryControl2" on this machine and on a remote one.
extern const wchar_t kServicePipeName[];
std::wstring LocalPipePath();                      // \\.\pipe\TessaryControl2
std::wstring RemotePipePath(const Text& server);   // \\server\pipe\TessaryControl2

class CRemoteControl {
 public:
  CRemoteControl();
  // At unload: one ReleaseConnection; the link mutex stays open until the
  // process ends.
  virtual ~CRemoteControl();
  CRemoteControl(const CRemoteControl&) = delete;
  CRemoteControl& operator=(const CRemoteControl&) = delete;

  // Opens the pipe at path unless one is open already, and counts the
  // connection. The path is not looked at when a pipe is open.
  bool OpenPipe(const std::wstring& path);
  // Drops one reference; closes the pipe when the count reaches 0. Nothing
  // happens (count untouched) when the pipe is closed.
  void ReleaseConnection();
  // Logs on to \\server\IPC$ with WNetAddConnection2W; its result unchanged.
  uint32_t LogonRemote(const Text& server, const Text& user, const Text& password);

  // Waits for the link mutex (at most timeoutMs), writes message in one write
  // and reads the reply to its "!". True exactly when the message was written
  // and the reply begins with "OK" in either case.
  bool Transact(std::string message, uint32_t timeoutMs);

  // For tests: the state under the connection critical section.
  int32_t ConnectionCount();
  bool IsPipeOpen();

 private:
  // The transaction's use of the pipe, counted under the critical section: a
  // disconnect on another thread never closes the handle under a write or read;
  // the close is left to the last user (docs/behaviour-details.md). Counting
  // costs no wineserver round trip, unlike a duplicate handle.
  class PipeUse {
   public:
    PipeUse(CRemoteControl* owner, HANDLE handle, uint64_t generation)
        : owner_(owner), handle_(handle), generation_(generation) {}
    ~PipeUse() {
      if (handle_ != INVALID_HANDLE_VALUE) owner_->EndUse();
    }
    PipeUse(const PipeUse&) = delete;
    PipeUse& operator=(const PipeUse&) = delete;
    HANDLE handle() const { return handle_; }
    uint64_t generation() const { return generation_; }
   private:
    CRemoteControl* owner_;
    HANDLE handle_;
    uint64_t generation_;
  };
  // INVALID_HANDLE_VALUE in the use when no pipe is open.
  PipeUse UsePipe();
  void EndUse();
  // Closes the open pipe now, or hands it to the last user when a
  // transaction is using it. Called under the critical section.
  void ClosePipeLocked();
  // After a failed write: closes the pipe and marks it closed, count unchanged,
  // unless it has meanwhile been closed or reopened.
  void DropAfterWriteFailure(uint64_t generation);
  bool ReadReply(HANDLE pipe);

  UniqueHandle pipe_;        // INVALID_HANDLE_VALUE when closed
  HANDLE linkMutex_;         // unnamed, not owned; never closed
  CriticalSection connectionLock_;
  int32_t connectionCount_ = 0;
  uint64_t generation_ = 0;  // bumped at every open, so a stale use is recognised
  int32_t users_ = 0;        // transactions using a pipe handle right now
  // Pipes closed while in use, closed by the last user. Transactions run one
  // at a time under the link mutex, so this holds at most one in practice.
  std::vector<UniqueHandle> retired_;
};

// The one instance, defined in api/library_objects.cpp after the three strings
// (made last at load, destroyed first at unload).
extern CRemoteControl g_remoteControl;

}  // namespace lumbrex
