#include "serving.h"

#include <string>

#include "common/names.h"
#include "config_store.h"
#include "pipe_server.h"

namespace lumbrex::service {
namespace {

ServerOptions OptionsOf(const Settings& settings) {
  ServerOptions options;
  options.allowRemote = settings.allowRemote;
  DWORD seconds = 0;
  if (ParseSeconds(settings.idleTimeout, seconds)) options.idleTimeoutMs = seconds ? seconds * 1000 : INFINITE;
  DWORD clients = 0;
  if (ParseMaxClients(settings.maxClients, clients)) options.maxClients = clients;
  return options;
}

std::string StartMessage(const Settings& settings, bool asService) {
  return "lumbrex-service: serving " + ToUtf8(kLocalPipePath) + " " +
         (asService ? "as the service" : "in the foreground") +
         (settings.allowRemote ? ", remote clients admitted" : ", local clients only") +
         (asService ? "" : "; Ctrl+C stops");
}

}  // namespace

DWORD StopSignal::Create() {
  requested_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!requested_.valid()) return GetLastError();
  done_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  return done_.valid() ? ERROR_SUCCESS : GetLastError();
}

DWORD Serve(const Settings& settings, bool asService, Logger& log, const StopSignal& stop, void (*running)()) {
  ConfigStore store;
  PipeServer server(OptionsOf(settings), store, log);
  const DWORD status = server.Start();
  if (status != ERROR_SUCCESS) {
    log.Line("lumbrex-service: the pipe cannot be served: " + DescribeError(status) +
             (status == ERROR_ACCESS_DENIED || status == ERROR_PIPE_BUSY ? "; another server holds it" : ""));
    return status;
  }
  log.Line(StartMessage(settings, asService));
  if (running) running();
  stop.WaitRequested();
  server.Stop();
  log.Line("lumbrex-service: stopped");
  return ERROR_SUCCESS;
}

}  // namespace lumbrex::service
