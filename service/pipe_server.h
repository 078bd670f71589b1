// The control pipe (kLocalPipePath, common/names.h): byte mode, a pool of
// instances listening ahead under a cap on clients, one thread per client,
// overlapped I/O so that a stop request ends every wait.
#pragma once
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "api/raii.h"
#include "client_cap.h"
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

  // Carries out one command text (without "!") and logs it; true when it was
  // carried out. Throws only before anything was changed.
  bool HandleCommand(uint64_t client, const std::string& ansi);

 private:
  // A client's thread: running, or ended and waiting to be joined.
  struct ClientThread {
    std::thread thread;
    bool ended = false;
  };

  HANDLE CreateInstance(bool first);
  // Accept loop number `loop`; the first one is handed the first instance.
  void AcceptLoop(int loop, HANDLE firstInstance, ClientCap::Seat firstSeat);
  // Starts the thread that serves a connected instance and holds its seat;
  // false when none could be started (the instance is closed then).
  bool StartClient(UniqueHandle pipe, ClientCap::Seat seat, uint64_t client);
  void ServeClient(UniqueHandle pipe, uint64_t client);
  // Overlapped read or write, waiting on the I/O or the stop event, at most
  // `timeoutMs` (then false with ERROR_TIMEOUT).
  bool Transfer(HANDLE pipe, HANDLE event, bool write, void* data, DWORD size, DWORD& done,
                DWORD timeoutMs = INFINITE);
  // Marks the client's thread ended: its last step, allocating nothing.
  void ClientEnded(uint64_t client);
  // Joins the threads of the clients that have ended (all of them when
  // `everyClient`, after the accept loop is gone).
  void JoinClients(bool everyClient);

  ServerOptions options_;
  ConfigStore& store_;
  Logger& log_;
  UniqueHandle stop_;             // manual-reset event, set by Stop
  UniqueLocalMemory security_;    // the pipe's security descriptor
  ClientCap cap_;                 // every instance's seat; outlives every client thread
  std::vector<std::thread> acceptors_;
  std::mutex clientsLock_;
  std::map<uint64_t, ClientThread> clients_;  // under clientsLock_
  std::atomic<uint64_t> nextClient_{1};       // shared by the accept loops
};

}  // namespace lumbrex::service
