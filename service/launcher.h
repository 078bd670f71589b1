// Starts lumbrex-service.exe --foreground as a child of the calling program,
// for programs that need the stand-in service for a while (the benchmark).
// The child sits in a kill-on-close job, so it ends with its parent, however
// the parent ends.
#pragma once
#include <windows.h>

#include <string>

#include "api/raii.h"

namespace lumbrex::service {

// lumbrex-service.exe from the caller's own folder, its output discarded:
// Ready() once it serves the pipe, terminated when this object goes. Nobody
// else may serve the pipe when it starts.
class ServiceProcess {
 public:
  ServiceProcess();
  ~ServiceProcess();
  ServiceProcess(const ServiceProcess&) = delete;
  ServiceProcess& operator=(const ServiceProcess&) = delete;
  bool Ready() const { return problem_.empty(); }
  const std::string& Problem() const { return problem_; }  // why not, for a failure message
  static const wchar_t* PipePath() { return L"\\\\.\\pipe\\TessaryControl2"; }

 private:
  UniqueHandle process_;
  std::string problem_;
};

}  // namespace lumbrex::service
