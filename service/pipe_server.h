// The control pipe \\.\pipe\TessaryControl2: byte mode, unlimited instances,
// one thread per client, overlapped I/O so that a stop request ends every wait.
#pragma once
#include <windows.h>

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "config_store.h"
#include "logger.h"
#include "win_handle.h"

namespace lumbrex::service {

constexpr const wchar_t kPipePath[] = L"\\\\.\\pipe\\TessaryControl2";

struct ServerOptions {
  bool allowRemote = false;      // PIPE_REJECT_REMOTE_CLIENTS unless set
  size_t maxCommandBytes = 4096;  // longest command text without its "!"
};

class PipeServer {
 public:
  PipeServer(ServerOptions options, ConfigStore& store, Logger& log);
  ~PipeServer();
  PipeServer(const PipeServer&) = delete;
  PipeServer& operator=(const PipeServer&) = delete;

  // Creates the first pipe instance (refused when another server already
  // owns the pipe) and starts accepting clients. 0 or a Windows error code.
  DWORD Start();
  // Ends every wait, closes every instance and waits (bounded) until the
  // client threads are gone. Safe to call more than once.
  void Stop();

  // Handles one command text (without "!"): the reply text and the log line.
  std::string HandleCommand(uint64_t client, const std::string& ansi);

 private:
  HANDLE CreateInstance(bool first);
  void AcceptLoop(HANDLE firstInstance);
  void ServeClient(HANDLE pipe, uint64_t client);
  // Overlapped read or write, waiting on the I/O or the stop event.
  bool Transfer(HANDLE pipe, HANDLE event, bool write, void* data, DWORD size, DWORD& done);
  void ClientEnded();

  ServerOptions options_;
  ConfigStore& store_;
  Logger& log_;
  HandleOwner stop_;  // manual-reset event, set by Stop
  LocalMemory security_;  // the pipe's security descriptor
  std::thread acceptor_;
  std::mutex clientsLock_;
  std::condition_variable clientsGone_;
  size_t activeClients_ = 0;
  uint64_t nextClient_ = 1;
};

}  // namespace lumbrex::service
