// Runs lumbrex-service.exe (the Part 2.4 stand-in, beside the test program in
// build/bin) as a child process for the life of this object: started with
// --foreground, waited for until \\.\pipe\TessaryControl2 is there, and
// terminated at the end (or killed with this process, through a job object).
// The pipe must not be served by anyone else when it starts. For every
// subsystem's end-to-end tests.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace testsupport {

class ServiceProcess {
 public:
  struct Options {
    std::vector<std::wstring> extraArguments;  // after --foreground
    std::wstring logPath;                      // the child's stdout and stderr; empty: discarded
    DWORD readyTimeoutMs = 15000;              // how long to wait for the pipe
  };

  ServiceProcess();
  explicit ServiceProcess(const Options& options);
  ~ServiceProcess();
  ServiceProcess(const ServiceProcess&) = delete;
  ServiceProcess& operator=(const ServiceProcess&) = delete;

  // True when the child runs and its pipe accepted a wait (Ready), false when
  // it could not be started, ended early or no pipe came within the bound.
  bool Ready() const { return ready_; }
  // Why it is not ready (for a test's failure message); empty when ready.
  const std::string& Problem() const { return problem_; }
  HANDLE Process() const { return process_; }
  DWORD ProcessId() const { return processId_; }
  // The child's exit code once it has ended (STILL_ACTIVE while it runs).
  DWORD ExitCode() const;
  // Waits up to timeoutMs for the child to end by itself.
  bool WaitForExit(DWORD timeoutMs) const;
  // Terminates the child and waits for it (also done by the destructor).
  void Terminate();

  static std::wstring ExecutablePath();  // lumbrex-service.exe beside this program
  static const wchar_t* PipePath();      // \\.\pipe\TessaryControl2

  // Waits until the pipe has a listening instance, up to timeoutMs.
  static bool WaitForPipe(DWORD timeoutMs, HANDLE process = nullptr);

 private:
  HANDLE process_ = nullptr;
  DWORD processId_ = 0;
  HANDLE job_ = nullptr;  // kills the child if this test process dies first
  bool ready_ = false;
  std::string problem_;
};

// Runs lumbrex-service.exe with the given arguments to its end (bounded);
// returns its exit code, or ~0u when it could not be run or timed out.
DWORD RunServiceTool(const std::vector<std::wstring>& arguments, DWORD timeoutMs = 60000,
                     std::string* output = nullptr);

}  // namespace testsupport
