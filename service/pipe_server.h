// The control pipe (kLocalPipePath, common/names.h): byte mode, a pool of
// instances listening ahead under a cap on clients, one thread per client,
// overlapped I/O so that a stop request ends every wait.
#pragma once
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "api/raii.h"
#include "client_cap.h"
#include "client_threads.h"
#include "config_store.h"
#include "logger.h"

namespace lumbrex::service {

struct ServerOptions {
  bool allowRemote = true;       // PIPE_ACCEPT_REMOTE_CLIENTS unless cleared
  size_t maxCommandBytes = 4096;  // longest command text without its "!"
  // A client halfway through a command that sends nothing more for this long
  // is dropped, so it cannot hold its instance forever; INFINITE: never.
  DWORD idleTimeoutMs = 30000;
  // Clients connected at once (at least 1); past it a client's open fails
  // with ERROR_PIPE_BUSY until one leaves.
  size_t maxClients = 100;
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
  // Ends every wait, closes every instance and joins every client thread, so
  // nothing runs on this object afterwards. Safe to call more than once.
  void Stop();

 private:
  UniqueHandle CreateInstance(bool first);
  // Accept loop number `loop`: its listening slots, the clients it admits and
  // the ended client threads it joins. The first one is handed the first
  // instance.
  void AcceptLoop(int loop, SeatedInstance first);
  // Starts the thread that serves a connected instance and holds its seat;
  // the instance is closed when no thread could be started.
  void Admit(SeatedInstance instance);
  // A client's thread, from its connect to its end; nothing leaves it.
  void RunClient(SeatedInstance instance, uint64_t client) noexcept;
  void ServeClient(UniqueHandle pipe, uint64_t client);
  // Overlapped read or write, waiting on the I/O or the stop event, at most
  // `timeoutMs` (then false with ERROR_TIMEOUT).
  bool Transfer(HANDLE pipe, HANDLE event, bool write, void* data, DWORD size, DWORD& done,
                DWORD timeoutMs = INFINITE);
  // Carries out one command text (without "!") and logs it; true when it was
  // carried out. Throws only before anything was changed.
  bool HandleCommand(uint64_t client, const std::string& ansi);

  ServerOptions options_;
  ConfigStore& store_;
  Logger& log_;
  UniqueHandle stop_;             // manual-reset event, set by Stop
  UniqueLocalMemory security_;    // the pipe's security descriptor
  ClientCap cap_;                 // every instance's seat; outlives every client thread
  ClientThreads clients_;         // joined by Stop at the latest
  std::vector<std::thread> acceptors_;
  std::atomic<uint64_t> nextClient_{1};  // shared by the accept loops
};

}  // namespace lumbrex::service
