// Starts programs that sit beside the caller (build/bin: the stand-in
// service, lumbrexctl, ...) as its children, for the tests and the benchmark;
// no part of the service itself. Every child sits in one kill-on-close job,
// so it ends with its parent, however the parent ends.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "api/raii.h"
#include "common/names.h"

namespace lumbrex::service {

struct ProgramRun {
  DWORD exitCode = ~0u;  // ~0u: not started, or killed at the bound
  std::string output;    // stdout and stderr as written
};

// Runs the program beside the caller (or at `name` when it is a whole path,
// "C:\\..."), stdin from NUL, to its end or the bound.
ProgramRun RunProgram(const std::wstring& name, const std::vector<std::wstring>& arguments,
                      DWORD timeoutMs = 60000);

// The files a caller hands to the programs it starts and reads back: a path
// in the temporary folder, and a file's whole text (false, or "", when it
// cannot be written or read).
std::wstring TempFilePath(const std::wstring& name);
bool WriteWholeFile(const std::wstring& path, const std::string& text);
std::string ReadWholeFile(const std::wstring& path);

// lumbrex-service.exe --foreground for the life of this object, its output
// discarded: Ready() once it serves the pipe, terminated when this object
// goes. Nobody else may serve the pipe when it starts.
class ServiceProcess {
 public:
  ServiceProcess();
  ~ServiceProcess();
  ServiceProcess(const ServiceProcess&) = delete;
  ServiceProcess& operator=(const ServiceProcess&) = delete;
  bool Ready() const { return problem_.empty(); }
  const std::string& Problem() const { return problem_; }  // why not, for a failure message
  static const wchar_t* PipePath() { return kLocalPipePath; }

 private:
  UniqueHandle process_;
  std::string problem_;
};

}  // namespace lumbrex::service
