// A raw client of \\.\pipe\TessaryControl2 for the service tests: opened as
// the library opens it (read/write, share mode 0, byte read mode), but with
// overlapped I/O so that every wait in a test is bounded.
#pragma once
#include <windows.h>

#include <string>

namespace servicetest {

class PipeClient {
 public:
  PipeClient() = default;
  ~PipeClient() { Close(); }
  PipeClient(const PipeClient&) = delete;
  PipeClient& operator=(const PipeClient&) = delete;

  // Opens the pipe, waiting while every instance is busy, up to timeoutMs.
  bool Connect(DWORD timeoutMs = 10000);
  bool Connected() const { return pipe_ != INVALID_HANDLE_VALUE; }
  void Close();

  // One write of exactly these bytes.
  bool Send(const std::string& bytes, DWORD timeoutMs = 10000);
  // Reads one byte at a time up to and including "!" (as Part 2.2's reader).
  bool ReadReply(std::string& reply, DWORD timeoutMs = 10000);
  // Send, then the reply; "<no reply>" when there is none.
  std::string Transact(const std::string& command, DWORD timeoutMs = 10000);
  // True when the server has closed the pipe: a read fails with a broken
  // pipe within timeoutMs. Bytes still in the pipe are read first.
  bool ServerClosed(DWORD timeoutMs = 10000);

 private:
  bool Io(bool write, void* data, DWORD size, DWORD& done, DWORD timeoutMs, DWORD* error = nullptr);
  HANDLE pipe_ = INVALID_HANDLE_VALUE;
  HANDLE event_ = nullptr;
};

}  // namespace servicetest
