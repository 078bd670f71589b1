// The process-wide connection to the service's control pipe.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "api/raii.h"
#include "common/text.h"

namespace lumbrex {

// The service's pipe on another machine: \\server\pipe\ and the pipe name
// (common/names.h, which also holds the local path).
std::wstring RemotePipePath(const Text& server);

class CRemoteControl {
 public:
  CRemoteControl();
  // At unload: one ReleaseConnection, which closes the pipe only when it drops
  // the last reference; a pipe that other references still hold stays open
  // until the process ends, and so does the link mutex.
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
  // Any thread may log on while another connects or sends.
  uint32_t LogonRemote(const Text& server, const Text& user, const Text& password);

  // Waits for the link mutex (at most timeoutMs), writes message in one write
  // and reads the reply to its "!". True exactly when the message was written
  // and the reply begins with "OK" in either case.
  bool Transact(std::string message, uint32_t timeoutMs);

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
  // Unnamed, not owned; never closed: the unload drops only one connection reference, and a pipe
  // still referenced stays open to the process's end with the mutex that serialises its commands.
  HANDLE linkMutex_;
  CriticalSection connectionLock_;
  int32_t connectionCount_ = 0;
  uint64_t generation_ = 0;  // bumped at every open, so a stale use is recognised
  int32_t users_ = 0;        // transactions using a pipe handle right now
  // Pipes closed while in use, closed by the last user. Transactions run one
  // at a time under the link mutex, so this holds at most one in practice.
  std::vector<UniqueHandle> retired_;
  // \\server\IPC$ of the last successful logon, empty at load and after a
  // failed one. Nothing in the library reads it back; it is kept because the
  // logon outlives the call (the library never cancels it, and has no call that
  // lists it), and this is the process's one record of which remote machine it
  // is logged on to, for a debugger or a dump to find. Under a lock of its own,
  // taken just to record the result, so a logon that waits on the network holds
  // up no open, release or transaction.
  CriticalSection logonLock_;
  std::wstring remoteLogonName_;
};

// The one instance, made at load and destroyed at unload.
extern CRemoteControl g_remoteControl;

}  // namespace lumbrex
