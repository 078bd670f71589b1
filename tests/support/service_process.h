// Runs the programs of build/bin as children of the test, each in one
// kill-on-close job so that a test process that dies takes them with it.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "../../src/api/raii.h"  // relative: the benchmark builds this file without src/ on its path
#include "../../src/common/names.h"

namespace testsupport {

struct ProgramRun {
  DWORD exitCode = ~0u;  // ~0u: not started, or killed at the bound
  std::string output;    // stdout and stderr as written
};

// Runs the program beside this test program, stdin from NUL, to its end or the bound.
ProgramRun RunProgram(const std::wstring& name, const std::vector<std::wstring>& arguments,
                      DWORD timeoutMs = 60000);

// lumbrex-service.exe --foreground for the life of this object, its output
// discarded: Ready() once it serves the pipe. Nobody else may serve it then.
class ServiceProcess {
 public:
  ServiceProcess();
  ~ServiceProcess();
  bool Ready() const { return problem_.empty(); }
  const std::string& Problem() const { return problem_; }
  static const wchar_t* PipePath() { return lumbrex::kLocalPipePath; }

 private:
  lumbrex::UniqueHandle process_;
  std::string problem_;
};

}  // namespace testsupport
