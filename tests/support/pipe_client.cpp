#include "support/pipe_client.h"

namespace testsupport {

bool PipeClient::Connect(DWORD timeoutMs) {
  for (const ULONGLONG end = GetTickCount64() + timeoutMs;;) {
    pipe_.reset(CreateFileW(ServiceProcess::PipePath(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                            nullptr));
    if (pipe_.valid()) break;
    if (GetTickCount64() >= end) return false;
    // Every instance busy: WaitNamedPipe waits until one listens. No instance at all (the service has not made
    // its pipe yet): it fails at once, and Windows signals nothing when a pipe is made, so look again shortly,
    // until the deadline.
    if (!WaitNamedPipeW(ServiceProcess::PipePath(), 100) && GetLastError() == ERROR_FILE_NOT_FOUND) Sleep(20);
  }
  DWORD mode = PIPE_READMODE_BYTE | PIPE_WAIT;
  return SetNamedPipeHandleState(pipe_.get(), &mode, nullptr, nullptr) != FALSE;
}

bool PipeClient::Send(const std::string& bytes) {
  DWORD done = 0;
  return WriteFile(pipe_.get(), bytes.data(), DWORD(bytes.size()), &done, nullptr) && done == bytes.size();
}

bool PipeClient::ReadReply(std::string& reply) {
  char byte = 0;
  DWORD got = 0;
  for (reply.clear(); reply.size() < 255 && ReadFile(pipe_.get(), &byte, 1, &got, nullptr);)
    if (reply.append(1, byte).back() == '!') return true;
  return false;
}

}  // namespace testsupport
