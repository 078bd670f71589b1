#include "support/pipe_client.h"

#include "support/service_process.h"

namespace servicetest {

bool PipeClient::Connect(DWORD timeoutMs) {
  Close();
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  for (;;) {
    pipe_ = CreateFileW(testsupport::ServiceProcess::PipePath(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                        OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (pipe_ != INVALID_HANDLE_VALUE) break;
    if (GetTickCount64() >= deadline) return false;
    if (GetLastError() == ERROR_PIPE_BUSY)
      WaitNamedPipeW(testsupport::ServiceProcess::PipePath(), 100);
    else
      Sleep(20);
  }
  DWORD mode = PIPE_READMODE_BYTE | PIPE_WAIT;
  event_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (!SetNamedPipeHandleState(pipe_, &mode, nullptr, nullptr) || !event_) {
    Close();
    return false;
  }
  return true;
}

void PipeClient::Close() {
  if (pipe_ != INVALID_HANDLE_VALUE) CloseHandle(pipe_);
  if (event_) CloseHandle(event_);
  pipe_ = INVALID_HANDLE_VALUE;
  event_ = nullptr;
}

bool PipeClient::Io(bool write, void* data, DWORD size, DWORD& done, DWORD timeoutMs, DWORD* error) {
  done = 0;
  if (error) *error = ERROR_SUCCESS;
  if (pipe_ == INVALID_HANDLE_VALUE) return false;
  OVERLAPPED overlapped{};
  overlapped.hEvent = event_;
  ResetEvent(event_);
  const BOOL started =
      write ? WriteFile(pipe_, data, size, nullptr, &overlapped) : ReadFile(pipe_, data, size, nullptr, &overlapped);
  if (!started && GetLastError() != ERROR_IO_PENDING) {
    if (error) *error = GetLastError();
    return false;
  }
  if (WaitForSingleObject(event_, timeoutMs) != WAIT_OBJECT_0) {
    CancelIoEx(pipe_, &overlapped);
    GetOverlappedResult(pipe_, &overlapped, &done, TRUE);
    if (error) *error = WAIT_TIMEOUT;
    return false;
  }
  if (!GetOverlappedResult(pipe_, &overlapped, &done, FALSE)) {
    if (error) *error = GetLastError();
    return false;
  }
  return true;
}

bool PipeClient::Send(const std::string& bytes, DWORD timeoutMs) {
  DWORD done = 0;
  std::string copy = bytes;
  return Io(true, copy.data(), static_cast<DWORD>(copy.size()), done, timeoutMs) && done == bytes.size();
}

bool PipeClient::ReadReply(std::string& reply, DWORD timeoutMs) {
  reply.clear();
  for (;;) {
    char byte = 0;
    DWORD done = 0;
    if (!Io(false, &byte, 1, done, timeoutMs)) return false;
    if (done == 0) continue;
    reply.push_back(byte);
    if (byte == '!') return true;
    if (reply.size() > 255) return false;
  }
}

std::string PipeClient::Transact(const std::string& command, DWORD timeoutMs) {
  std::string reply;
  if (!Send(command, timeoutMs) || !ReadReply(reply, timeoutMs)) return "<no reply>";
  return reply;
}

bool PipeClient::ServerClosed(DWORD timeoutMs) {
  for (;;) {
    char buffer[256];
    DWORD done = 0, error = 0;
    if (Io(false, buffer, sizeof buffer, done, timeoutMs, &error)) continue;
    return error == ERROR_BROKEN_PIPE || error == ERROR_PIPE_NOT_CONNECTED || error == ERROR_NO_DATA;
  }
}

}  // namespace servicetest
