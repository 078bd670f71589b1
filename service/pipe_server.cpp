#include "pipe_server.h"

#include <sddl.h>

#include <cstring>
#include <exception>
#include <string>
#include <utility>

#include "common/names.h"

namespace lumbrex::service {
namespace {

// Instances kept listening at once: the library opens the pipe once, with no
// retry on ERROR_PIPE_BUSY, so every client of a burst must find one already
// there. One wait covers at most MAXIMUM_WAIT_OBJECTS handles (the stop event
// among them), so the pool is split over several accept loops: 2 x 48 keeps
// a burst of 64 and more covered while the loops make new instances.
constexpr int kAcceptLoops = 2;
constexpr int kListening = 48;  // per accept loop
static_assert(kListening + 1 <= MAXIMUM_WAIT_OBJECTS, "one wait per accept loop");
constexpr DWORD kPipeBufferBytes = 4096;

// Who may use the pipe: the system, administrators and the pipe's owner in
// full; any authenticated user (local, or remote after the library's IPC$
// logon) may read and write but not create instances of the pipe.
constexpr const wchar_t kPipeSddl[] =
    L"D:(A;;GA;;;SY)(A;;GA;;;BA)(A;;GA;;;OW)(A;;0x12019b;;;AU)";

std::wstring FromAnsi(const std::string& ansi) {
  if (ansi.empty()) return {};
  // Commands are ANSI text of the client's code page; ours is the machine's
  // ANSI code page as well.
  std::wstring wide(ansi.size(), L'\0');
  const int size = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), wide.data(),
                                       static_cast<int>(wide.size()));
  wide.resize(size > 0 ? size : 0);
  return wide;
}

// One listening instance of the accept loop, with its seat under the cap.
struct ListeningSlot {
  ClientCap::Seat seat;  // declared before `pipe`: given back only once the instance has closed
  UniqueHandle pipe;
  UniqueHandle event{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  OVERLAPPED overlapped{};
  bool armed = false;           // a connect is pending or has completed
  bool connectedAtOnce = false;  // ConnectNamedPipe found the client there already
  bool waitingForRoom = false;   // at the cap: armed when a seat comes back
};

}  // namespace

PipeServer::PipeServer(ServerOptions options, ConfigStore& store, Logger& log)
    : options_(options), store_(store), log_(log), cap_(options.maxClients, kAcceptLoops) {}

PipeServer::~PipeServer() { Stop(); }

DWORD PipeServer::Start() {
  stop_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!stop_.valid()) return GetLastError();
  if (cap_.Error() != ERROR_SUCCESS) return cap_.Error();
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kPipeSddl, SDDL_REVISION_1, security_.put(), nullptr)) {
    // The system's default security for pipes applies.
    log_.Line("note: pipe security descriptor refused (" + std::to_string(GetLastError()) +
              "); the default security applies");
  }
  // FILE_FLAG_FIRST_PIPE_INSTANCE refuses a second server on Windows; Wine
  // ignores that flag, so look for a listening pipe first as well.
  if (WaitNamedPipeW(kLocalPipePath, 1) || GetLastError() == ERROR_SEM_TIMEOUT) return ERROR_PIPE_BUSY;
  ClientCap::Seat seat = cap_.Take();
  if (!seat) return ERROR_INVALID_PARAMETER;  // a cap of 0 clients
  UniqueHandle first(CreateInstance(true));
  if (!first.valid()) return GetLastError();
  try {
    acceptors_.reserve(kAcceptLoops);
    acceptors_.emplace_back(&PipeServer::AcceptLoop, this, 0, first.get(), std::move(seat));
    first.release();  // the first accept loop owns it now
    for (int i = 1; i < kAcceptLoops; ++i)
      acceptors_.emplace_back(&PipeServer::AcceptLoop, this, i, HANDLE(nullptr), ClientCap::Seat());
  } catch (const std::exception&) {
    Stop();
    return ERROR_NOT_ENOUGH_MEMORY;
  }
  return ERROR_SUCCESS;
}

void PipeServer::Stop() {
  if (!stop_.valid()) return;
  SetEvent(stop_.get());
  for (auto& acceptor : acceptors_)
    if (acceptor.joinable()) acceptor.join();
  // The stop event ends every client's wait, so each thread ends soon; none
  // may outlive the object it serves.
  JoinClients(true);
}

HANDLE PipeServer::CreateInstance(bool first) {
  SECURITY_ATTRIBUTES attributes{sizeof(SECURITY_ATTRIBUTES), security_.get(), FALSE};
  const DWORD openMode = PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | (first ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0);
  const DWORD pipeMode = PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT |
                         (options_.allowRemote ? PIPE_ACCEPT_REMOTE_CLIENTS : PIPE_REJECT_REMOTE_CLIENTS);
  return CreateNamedPipeW(kLocalPipePath, openMode, pipeMode, PIPE_UNLIMITED_INSTANCES, kPipeBufferBytes,
                          kPipeBufferBytes, 0, security_.get() ? &attributes : nullptr);
}

void PipeServer::AcceptLoop(int loop, HANDLE firstInstance, ClientCap::Seat firstSeat) {
  ListeningSlot slots[kListening];
  slots[0].seat = std::move(firstSeat);
  slots[0].pipe.reset(firstInstance);  // null: the slot makes its own

  auto arm = [this](ListeningSlot& slot) {
    slot.armed = false;
    slot.connectedAtOnce = false;
    slot.waitingForRoom = false;
    if (!slot.event.valid()) return;
    // Set by the connect just handled: a slot left unarmed must not wake the
    // loop again at once, which would spin and starve the slots after it.
    ResetEvent(slot.event.get());
    if (!slot.seat) slot.seat = cap_.Take();
    if (!slot.seat) {
      slot.waitingForRoom = true;
      return;
    }
    // An instance that cannot be made keeps its seat for the retry, so that
    // the loops never wake each other handing one seat back and forth.
    if (!slot.pipe.valid()) slot.pipe.reset(CreateInstance(false));
    if (!slot.pipe.valid()) return;
    slot.overlapped = OVERLAPPED{};
    slot.overlapped.hEvent = slot.event.get();
    if (ConnectNamedPipe(slot.pipe.get(), &slot.overlapped)) {
      slot.armed = true;
      return;
    }
    switch (GetLastError()) {
      case ERROR_IO_PENDING:
        slot.armed = true;
        return;
      case ERROR_PIPE_CONNECTED:  // the client came between create and connect
      case ERROR_NO_DATA:         // ... and has closed its end again: its command may still wait
        slot.armed = true;
        slot.connectedAtOnce = true;
        SetEvent(slot.event.get());
        return;
      default:  // the instance is unusable: dropped, and a new one made at the next try
        slot.pipe.reset();
        return;
    }
  };

  for (auto& slot : slots) arm(slot);

  for (;;) {
    HANDLE waits[kListening + 2];
    bool retry = false;
    for (int i = 0; i < kListening; ++i) {
      waits[i] = slots[i].event.valid() ? slots[i].event.get() : stop_.get();
      retry = retry || (!slots[i].armed && !slots[i].waitingForRoom);
    }
    waits[kListening] = cap_.RoomEvent(loop);
    waits[kListening + 1] = stop_.get();
    // An instance that could not be made is retried every 200 ms; one waiting
    // for room, when a client leaves.
    const DWORD wait = WaitForMultipleObjects(kListening + 2, waits, FALSE, retry ? 200 : INFINITE);
    if (WaitForSingleObject(stop_.get(), 0) == WAIT_OBJECT_0) break;
    if (wait == WAIT_TIMEOUT || wait == WAIT_OBJECT_0 + kListening) {
      for (auto& slot : slots)
        if (!slot.armed) arm(slot);
      continue;
    }
    if (wait > WAIT_OBJECT_0 + kListening) {  // a failed wait must not spin
      if (WaitForSingleObject(stop_.get(), 100) == WAIT_OBJECT_0) break;
      continue;
    }
    ListeningSlot& slot = slots[wait - WAIT_OBJECT_0];
    if (!slot.armed) {
      arm(slot);
      continue;
    }
    DWORD ignored = 0;
    const bool connected =
        slot.connectedAtOnce || GetOverlappedResult(slot.pipe.get(), &slot.overlapped, &ignored, FALSE);
    if (connected) {
      JoinClients(false);
      const uint64_t client = nextClient_++;
      // The instance and its seat go to the client's thread (or are given
      // up); the slot makes a new one if there is room.
      if (!StartClient(std::move(slot.pipe), std::move(slot.seat), client))
        log_.Line("client " + std::to_string(client) + ": no thread could be started; pipe closed");
    } else {
      slot.pipe.reset();  // its seat stays for the instance made in its place
    }
    arm(slot);
  }

  // Stop: end the pending connects before their OVERLAPPED goes away.
  for (auto& slot : slots) {
    if (slot.armed && !slot.connectedAtOnce && slot.pipe.valid()) {
      DWORD ignored = 0;
      CancelIoEx(slot.pipe.get(), &slot.overlapped);
      GetOverlappedResult(slot.pipe.get(), &slot.overlapped, &ignored, TRUE);
    }
  }
}

bool PipeServer::StartClient(UniqueHandle pipe, ClientCap::Seat seat, uint64_t client) {
  // Under the lock, so that the thread cannot mark itself ended before its
  // slot holds it.
  std::lock_guard<std::mutex> hold(clientsLock_);
  try {
    // The slot first: a started thread always has its owner.
    ClientThread& slot = clients_[client];
    slot.thread = std::thread([this, pipe = std::move(pipe), seat = std::move(seat), client]() mutable {
      try {
        ServeClient(std::move(pipe), client);
      } catch (...) {
        // Out of memory: this client's pipe closes (its stream would be out
        // of step), and the service serves on.
        try {
          log_.Line("client " + std::to_string(client) + ": out of memory; pipe closed");
        } catch (...) {
        }
      }
      seat.Release();  // the instance closed with ServeClient's end: room for another
      ClientEnded(client);
    });
  } catch (const std::exception&) {
    // The instance closes, and its seat comes back, with `pipe` and `seat` or
    // with the lambda that held them.
    clients_.erase(client);
    return false;
  }
  return true;
}

void PipeServer::ClientEnded(uint64_t client) {
  std::lock_guard<std::mutex> hold(clientsLock_);
  // Stop may have taken the thread over already, to join it.
  const auto found = clients_.find(client);
  if (found != clients_.end()) found->second.ended = true;
}

void PipeServer::JoinClients(bool everyClient) {
  std::map<uint64_t, ClientThread> joining;
  {
    std::lock_guard<std::mutex> hold(clientsLock_);
    for (auto it = clients_.begin(); it != clients_.end();) {
      if (everyClient || it->second.ended) {
        joining.insert(clients_.extract(it++));
      } else {
        ++it;
      }
    }
  }
  // Without the lock: a thread still running takes it once more as it ends.
  for (auto& entry : joining) entry.second.thread.join();
}

bool PipeServer::Transfer(HANDLE pipe, HANDLE event, bool write, void* data, DWORD size, DWORD& done,
                          DWORD timeoutMs) {
  done = 0;
  OVERLAPPED overlapped{};
  overlapped.hEvent = event;
  ResetEvent(event);
  const BOOL started = write ? WriteFile(pipe, data, size, nullptr, &overlapped)
                             : ReadFile(pipe, data, size, nullptr, &overlapped);
  if (!started && GetLastError() != ERROR_IO_PENDING) return false;
  HANDLE waits[2] = {event, stop_.get()};
  const DWORD wait = WaitForMultipleObjects(2, waits, FALSE, timeoutMs);
  if (wait != WAIT_OBJECT_0) {
    CancelIoEx(pipe, &overlapped);
    // The I/O may have finished before the cancel reached it: then it counts.
    if (GetOverlappedResult(pipe, &overlapped, &done, TRUE) && wait == WAIT_TIMEOUT) return true;
    SetLastError(wait == WAIT_TIMEOUT ? ERROR_TIMEOUT : ERROR_OPERATION_ABORTED);
    return false;
  }
  return GetOverlappedResult(pipe, &overlapped, &done, FALSE) != FALSE;
}

void PipeServer::ServeClient(UniqueHandle pipe, uint64_t client) {
  UniqueHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  const std::string who = "client " + std::to_string(client) + ": ";
  if (!event.valid()) {
    log_.Line(who + "no event for its I/O; pipe closed");
    return;
  }
  log_.Line(who + "connected");
  Exchange exchange(options_.maxCommandBytes, [&](const std::string& text, bool overlong) {
    if (!overlong) return HandleCommand(client, text);
    // Not carried out, whatever it says: its text was not kept.
    log_.Line(who + Logger::Printable(text) + "... (" + std::to_string(exchange.OverlongBytes()) +
              " bytes) -> ERROR (command longer than " + std::to_string(options_.maxCommandBytes) + " bytes)");
    return false;
  });
  char buffer[1024];
  for (;;) {
    DWORD got = 0;
    // Between commands a client may stay quiet as long as it likes (the
    // library keeps its pipe open while connected); halfway through one, not.
    const size_t pending = exchange.PendingSize();
    const DWORD timeout = pending != 0 ? options_.idleTimeoutMs : INFINITE;
    if (!Transfer(pipe.get(), event.get(), false, buffer, sizeof buffer, got, timeout)) {
      if (GetLastError() == ERROR_TIMEOUT)
        log_.Line(who + "nothing more of an unfinished command (" + std::to_string(pending) + " bytes) for " +
                  std::to_string(timeout) + " ms; pipe closed");
      else if (pending != 0)
        log_.Line(who + "disconnected; " + std::to_string(pending) + " bytes of an unfinished command dropped");
      else
        log_.Line(who + "disconnected");
      return;
    }
    exchange.Append(buffer, got);
    for (const char* reply; (reply = exchange.NextReply()) != nullptr;) {
      DWORD sent = 0;
      const DWORD size = static_cast<DWORD>(std::strlen(reply));
      // WriteFile only reads the reply.
      if (!Transfer(pipe.get(), event.get(), true, const_cast<char*>(reply), size, sent) || sent != size) {
        log_.Line(who + "reply could not be written; pipe closed");
        return;
      }
    }
  }
}

bool PipeServer::HandleCommand(uint64_t client, const std::string& ansi) {
  Outcome outcome{false, "NUL byte in the command", ERROR_SUCCESS};
  if (ansi.find('\0') == std::string::npos) {
    Request request;
    outcome.reason = ParseCommand(FromAnsi(ansi), request);
    if (!outcome.reason) outcome = store_.Apply(request);
  }
  // The command is carried out or refused by now: a log line that cannot be
  // made must not turn its reply into a refusal.
  try {
    std::string line = "client " + std::to_string(client) + ": " + Logger::Printable(ansi) + " -> ";
    if (outcome.ok) {
      line += "OK";
    } else {
      line += "ERROR (";
      line += outcome.reason ? outcome.reason : "refused";
      if (outcome.code != ERROR_SUCCESS) line += ", registry error " + std::to_string(outcome.code);
      line += ")";
    }
    log_.Line(line);
  } catch (...) {
  }
  return outcome.ok;
}

}  // namespace lumbrex::service
