#include "launcher.h"

namespace lumbrex::service {
namespace {

// One job for every child of this process; the job closes, and kills them
// all, when this process ends.
HANDLE ChildJob() {
  static const HANDLE job = [] {
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    HANDLE created = CreateJobObjectW(nullptr, nullptr);
    SetInformationJobObject(created, JobObjectExtendedLimitInformation, &limits, sizeof limits);
    return created;
  }();
  return job;
}

// Started suspended and put in the job before it runs, so nothing it starts
// escapes the job either.
UniqueHandle LaunchBeside(const std::wstring& name, const std::wstring& arguments) {
  wchar_t self[MAX_PATH];
  std::wstring command(self, GetModuleFileNameW(nullptr, self, MAX_PATH));
  command = L"\"" + command.substr(0, command.find_last_of(L"\\/") + 1) + name + L"\" " + arguments;
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  UniqueHandle in(CreateFileW(L"NUL", GENERIC_READ, 0, &inherit, OPEN_EXISTING, 0, nullptr));
  UniqueHandle out(CreateFileW(L"NUL", GENERIC_WRITE, 0, &inherit, OPEN_EXISTING, 0, nullptr));
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = in.get();
  startup.hStdOutput = startup.hStdError = out.get();
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr, nullptr, &startup,
                      &info))
    return UniqueHandle();
  UniqueHandle thread(info.hThread);
  AssignProcessToJobObject(ChildJob(), info.hProcess);
  ResumeThread(thread.get());
  return UniqueHandle(info.hProcess);
}

}  // namespace

ServiceProcess::ServiceProcess() {
  // A server left by a killed program (an instance listening or busy) would
  // answer in our child's place: give it three seconds to go.
  for (int i = 0; WaitNamedPipeW(PipePath(), 1) || GetLastError() == ERROR_SEM_TIMEOUT; Sleep(50))
    if (++i == 60) {
      problem_ = "another server already serves the pipe";
      return;
    }
  process_ = LaunchBeside(L"lumbrex-service.exe", L"--foreground");
  for (const ULONGLONG end = GetTickCount64() + 15000; !WaitNamedPipeW(PipePath(), 100); Sleep(20)) {
    if (!process_.valid() || WaitForSingleObject(process_.get(), 0) != WAIT_TIMEOUT || GetTickCount64() > end) {
      problem_ = "lumbrex-service.exe --foreground did not serve the pipe";
      return;
    }
  }
}

ServiceProcess::~ServiceProcess() {
  if (process_.valid() && TerminateProcess(process_.get(), ~0u)) WaitForSingleObject(process_.get(), 10000);
}

}  // namespace lumbrex::service
