#include "link/remote_control.h"

#include <winnetwk.h>

#include <mutex>
#include <utility>

#include "common/names.h"
#include "link/protocol.h"

namespace lumbrex {

CRemoteControl g_remoteControl;

std::wstring RemotePipePath(const Text& server) { return std::wstring(L"\\\\") + server + L"\\pipe\\" + kPipeName; }

CRemoteControl::CRemoteControl() : linkMutex_(CreateMutexW(nullptr, FALSE, nullptr)) {}

CRemoteControl::~CRemoteControl() {
  ReleaseConnection();
  // A caller that connected more often than it disconnected still holds the
  // pipe: the handle outlives this object rather than closing with its owner.
  std::lock_guard<CriticalSection> guard(connectionLock_);
  pipe_.release();
}

bool CRemoteControl::OpenPipe(const std::wstring& path) {
  std::lock_guard<CriticalSection> guard(connectionLock_);
  if (pipe_.valid()) {
    // The open pipe is shared whatever path was asked for, local or remote.
    ++connectionCount_;
    return true;
  }
  UniqueHandle opened(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!opened.valid()) return false;
  DWORD mode = PIPE_READMODE_BYTE | PIPE_WAIT;  // 0: byte stream, blocking
  if (!SetNamedPipeHandleState(opened.get(), &mode, nullptr, nullptr)) {
    // The handle just opened is closed again (by `opened`), so a failed
    // connect leaves no pipe behind (docs/behaviour-details.md).
    return false;
  }
  pipe_ = std::move(opened);
  ++generation_;
  ++connectionCount_;
  return true;
}

void CRemoteControl::ReleaseConnection() {
  std::lock_guard<CriticalSection> guard(connectionLock_);
  if (!pipe_.valid()) return;
  if (--connectionCount_ == 0) ClosePipeLocked();
}

void CRemoteControl::ClosePipeLocked() {
  if (users_ > 0) {
    retired_.push_back(std::move(pipe_));
  } else {
    pipe_.reset();
  }
}

uint32_t CRemoteControl::LogonRemote(const Text& server, const Text& user, const Text& password) {
  // "\\%s\IPC$" filled with the server text; recorded once the logon has
  // answered, so no lock is held while it waits on the network.
  std::wstring name = L"\\\\" + server + L"\\IPC$";
  NETRESOURCEW resource;
  ZeroMemory(&resource, sizeof resource);
  resource.dwType = RESOURCETYPE_ANY;
  resource.lpRemoteName = &name[0];
  const DWORD result = WNetAddConnection2W(&resource, password.c_str(), user.c_str(), 0);
  std::lock_guard<CriticalSection> guard(logonLock_);
  if (result == NO_ERROR) {
    remoteLogonName_ = std::move(name);
  } else {
    remoteLogonName_.clear();
  }
  return result;
}

CRemoteControl::PipeUse CRemoteControl::UsePipe() {
  std::lock_guard<CriticalSection> guard(connectionLock_);
  if (!pipe_.valid()) return PipeUse(this, INVALID_HANDLE_VALUE, 0);
  ++users_;
  return PipeUse(this, pipe_.get(), generation_);
}

void CRemoteControl::EndUse() {
  std::lock_guard<CriticalSection> guard(connectionLock_);
  if (--users_ == 0) retired_.clear();
}

void CRemoteControl::DropAfterWriteFailure(uint64_t generation) {
  std::lock_guard<CriticalSection> guard(connectionLock_);
  // A failed write closes the pipe without changing the count, so later
  // commands fail at once until the caller connects again.
  if (pipe_.valid() && generation_ == generation) ClosePipeLocked();
}

bool CRemoteControl::Transact(std::string message, uint32_t timeoutMs) {
  const DWORD wait = WaitForSingleObject(linkMutex_, timeoutMs);
  if (wait == WAIT_TIMEOUT) return false;  // nothing written, mutex not held
  // Any other outcome proceeds; only a wait that gave us the mutex (signalled
  // or abandoned) is paired with a release.
  const MutexHold hold(linkMutex_, wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED);

  const PipeUse use = UsePipe();
  if (use.handle() == INVALID_HANDLE_VALUE) return false;  // no pipe open: the write cannot be made
  DWORD written = 0;
  const BOOL wrote = WriteFile(use.handle(), message.data(), static_cast<DWORD>(message.size()), &written, nullptr);
  if (!wrote) {
    DropAfterWriteFailure(use.generation());
    return false;
  }
  return ReadReply(use.handle());
}

bool CRemoteControl::ReadReply(HANDLE pipe) {
  if (pipe == INVALID_HANDLE_VALUE) return false;
  // One byte per read, so no byte behind the "!" is taken from the pipe.
  ReplyReader reader;
  for (;;) {
    char byte = 0;
    DWORD got = 0;
    if (!ReadFile(pipe, &byte, 1, &got, nullptr)) return false;
    switch (reader.Feed(byte, got)) {
      case ReplyReader::State::kNeedMore: continue;
      case ReplyReader::State::kComplete: return reader.Succeeded();
      case ReplyReader::State::kOverflow: return false;
    }
  }
}

}  // namespace lumbrex
