// What the foreground and the service modes share: the stop signal that
// Ctrl+C or the Service Control Manager gives from their own threads, and
// serving the pipe until it is given.
#pragma once
#include <windows.h>

#include "api/raii.h"
#include "arguments.h"
#include "logger.h"

namespace lumbrex::service {

class StopSignal {
 public:
  // ERROR_SUCCESS, or why its events cannot be made (then nothing can stop
  // a server, so none may start).
  DWORD Create();
  void Request() const { SetEvent(requested_.get()); }
  void WaitRequested() const { WaitForSingleObject(requested_.get(), INFINITE); }
  // The server has stopped: a console handler waiting for that may return,
  // which ends the process when the console closes.
  void MarkDone() const { SetEvent(done_.get()); }
  void WaitDone(DWORD timeoutMs) const { WaitForSingleObject(done_.get(), timeoutMs); }

 private:
  UniqueHandle requested_;  // manual-reset: stop the server
  UniqueHandle done_;       // manual-reset: the server has stopped
};

// Serves the pipe with the settings' options until `stop` is requested,
// calling `running` once clients are accepted. ERROR_SUCCESS, or the error
// that kept the pipe from being served (logged).
DWORD Serve(const Settings& settings, bool asService, Logger& log, const StopSignal& stop, void (*running)());

}  // namespace lumbrex::service
