#include "pipe_server.h"

#include <sddl.h>

#include <cstring>
#include <exception>
#include <string>
#include <utility>

#include "common/names.h"
#include "listening_slots.h"

namespace lumbrex::service {
namespace {

// Instances kept listening at once: the library opens the pipe once, with no
// retry on ERROR_PIPE_BUSY, so every client of a burst must find one already
// there. One wait covers at most MAXIMUM_WAIT_OBJECTS handles, so the pool is
// split over several accept loops: 2 x 48 keeps a burst of 64 and more
// covered while the loops make new instances.
constexpr int kAcceptLoops = 2;
// What an accept loop waits on after its slots' connect events.
constexpr DWORD kRoomWait = ListeningSlots::kCount, kEndedWait = kRoomWait + 1, kStopWait = kRoomWait + 2;
static_assert(kStopWait + 1 <= MAXIMUM_WAIT_OBJECTS, "one wait per accept loop");
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

}  // namespace

PipeServer::PipeServer(ServerOptions options, ConfigStore& store, Logger& log)
    : options_(options), store_(store), log_(log), cap_(options.maxClients, kAcceptLoops) {}

PipeServer::~PipeServer() { Stop(); }

DWORD PipeServer::Start() {
  stop_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!stop_.valid()) return GetLastError();
  if (cap_.Error() != ERROR_SUCCESS) return cap_.Error();
  if (clients_.Error() != ERROR_SUCCESS) return clients_.Error();
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kPipeSddl, SDDL_REVISION_1, security_.put(), nullptr)) {
    // The system's default security for pipes applies.
    log_.Line("note: pipe security descriptor refused (" + std::to_string(GetLastError()) +
              "); the default security applies");
  }
  // FILE_FLAG_FIRST_PIPE_INSTANCE refuses a second server on Windows; Wine
  // ignores that flag, so look for a listening pipe first as well.
  if (WaitNamedPipeW(kLocalPipePath, 1) || GetLastError() == ERROR_SEM_TIMEOUT) return ERROR_PIPE_BUSY;
  SeatedInstance first{cap_.Take(), UniqueHandle()};
  if (!first.seat) return ERROR_INVALID_PARAMETER;  // a cap of 0 clients
  first.pipe = CreateInstance(true);
  if (!first.pipe.valid()) return GetLastError();
  try {
    acceptors_.reserve(kAcceptLoops);
    // The first accept loop owns the first instance from here on.
    acceptors_.emplace_back(&PipeServer::AcceptLoop, this, 0, std::move(first));
    for (int i = 1; i < kAcceptLoops; ++i) acceptors_.emplace_back(&PipeServer::AcceptLoop, this, i, SeatedInstance());
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
  clients_.JoinAll();
}

UniqueHandle PipeServer::CreateInstance(bool first) {
  SECURITY_ATTRIBUTES attributes{sizeof(SECURITY_ATTRIBUTES), security_.get(), FALSE};
  const DWORD openMode = PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | (first ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0);
  const DWORD pipeMode = PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT |
                         (options_.allowRemote ? PIPE_ACCEPT_REMOTE_CLIENTS : PIPE_REJECT_REMOTE_CLIENTS);
  return UniqueHandle(CreateNamedPipeW(kLocalPipePath, openMode, pipeMode, PIPE_UNLIMITED_INSTANCES,
                                      kPipeBufferBytes, kPipeBufferBytes, 0,
                                      security_.get() ? &attributes : nullptr));
}

void PipeServer::AcceptLoop(int loop, SeatedInstance first) {
  ListeningSlots slots(cap_, [this] { return CreateInstance(false); });
  if (first.pipe.valid()) slots.Adopt(std::move(first));
  slots.ArmIdle();
  HANDLE waits[kStopWait + 1];
  for (;;) {
    slots.FillWaits(waits, stop_.get());
    waits[kRoomWait] = cap_.RoomEvent(loop);
    waits[kEndedWait] = clients_.EndedEvent();
    waits[kStopWait] = stop_.get();
    // An instance that could not be made is retried every 200 ms; one waiting
    // for room, when a client leaves.
    const DWORD wait = WaitForMultipleObjects(kStopWait + 1, waits, FALSE, slots.NeedsRetry() ? 200 : INFINITE);
    if (WaitForSingleObject(stop_.get(), 0) == WAIT_OBJECT_0) break;
    if (wait == WAIT_TIMEOUT || wait == WAIT_OBJECT_0 + kRoomWait) {
      slots.ArmIdle();
    } else if (wait == WAIT_OBJECT_0 + kEndedWait) {
      clients_.JoinEnded();
    } else if (wait < WAIT_OBJECT_0 + kRoomWait) {
      SeatedInstance client = slots.TakeClient(static_cast<int>(wait - WAIT_OBJECT_0));
      if (client.pipe.valid()) Admit(std::move(client));
    } else if (WaitForSingleObject(stop_.get(), 100) == WAIT_OBJECT_0) {  // a failed wait must not spin
      break;
    }
  }
}

void PipeServer::Admit(SeatedInstance instance) {
  const uint64_t client = nextClient_++;
  const bool started = clients_.Start(client, [this, instance = std::move(instance), client]() mutable {
    RunClient(std::move(instance), client);
  });
  if (!started) log_.Line("client " + std::to_string(client) + ": no thread could be started; pipe closed");
}

void PipeServer::RunClient(SeatedInstance instance, uint64_t client) noexcept {
  try {
    ServeClient(std::move(instance.pipe), client);
  } catch (...) {
    // Out of memory: this client's pipe closes (its stream would be out of
    // step), and the service serves on.
    try {
      log_.Line("client " + std::to_string(client) + ": out of memory; pipe closed");
    } catch (...) {
    }
  }
  instance.seat.Release();  // the instance closed with ServeClient's end: room for another
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
      if (outcome.value != nullptr) line += ": " + ToUtf8(outcome.value);
      if (outcome.code != ERROR_SUCCESS) line += ", registry error " + std::to_string(outcome.code);
      line += ")";
    }
    log_.Line(line);
  } catch (...) {
  }
  return outcome.ok;
}

}  // namespace lumbrex::service
