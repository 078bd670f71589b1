#include "support/service_process.h"

#include <utility>

namespace testsupport {
namespace {

class Handle {
 public:
  explicit Handle(HANDLE h = nullptr) : h_(h) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() { if (h_ && h_ != INVALID_HANDLE_VALUE) CloseHandle(h_); }
  HANDLE get() const { return h_; }
  HANDLE release() { return std::exchange(h_, nullptr); }
 private:
  HANDLE h_;
};

std::wstring Quote(const std::wstring& argument) { return L"\"" + argument + L"\""; }

// An inheritable handle for the child's stdout and stderr.
HANDLE OpenOutput(const std::wstring& path) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  return CreateFileW(path.empty() ? L"NUL" : path.c_str(), path.empty() ? GENERIC_WRITE : FILE_APPEND_DATA | SYNCHRONIZE,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit,
                     path.empty() ? OPEN_EXISTING : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Starts the exe with stdin from NUL and stdout/stderr to `output`.
bool Launch(const std::vector<std::wstring>& arguments, HANDLE output, PROCESS_INFORMATION& info,
            DWORD creationFlags = 0) {
  std::wstring command = Quote(ServiceProcess::ExecutablePath());
  for (const auto& argument : arguments) command += L" " + Quote(argument);
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  Handle input(CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0,
                           nullptr));
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input.get();
  startup.hStdOutput = output;
  startup.hStdError = output;
  return CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, creationFlags, nullptr, nullptr, &startup, &info) !=
         FALSE;
}

}  // namespace

std::wstring ServiceProcess::ExecutablePath() {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring self(path, length);
  return self.substr(0, self.find_last_of(L"\\/") + 1) + L"lumbrex-service.exe";
}

const wchar_t* ServiceProcess::PipePath() { return L"\\\\.\\pipe\\TessaryControl2"; }

bool ServiceProcess::WaitForPipe(DWORD timeoutMs, HANDLE process) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  for (;;) {
    if (WaitNamedPipeW(PipePath(), 100)) return true;
    if (process && WaitForSingleObject(process, 0) == WAIT_OBJECT_0) return false;
    if (GetTickCount64() >= deadline) return false;
    Sleep(20);  // no pipe at all: WaitNamedPipeW returns at once
  }
}

ServiceProcess::ServiceProcess() : ServiceProcess(Options{}) {}

ServiceProcess::ServiceProcess(const Options& options) {
  // A server already there (say, one left by a test process that was killed)
  // would answer in our child's place: wait a little for it to go, else fail.
  const ULONGLONG deadline = GetTickCount64() + 3000;
  while (WaitNamedPipeW(PipePath(), 1) || GetLastError() == ERROR_SEM_TIMEOUT) {
    if (GetTickCount64() >= deadline) {
      problem_ = "another server already serves \\\\.\\pipe\\TessaryControl2";
      return;
    }
    Sleep(50);
  }
  Handle output(OpenOutput(options.logPath));
  if (output.get() == INVALID_HANDLE_VALUE) {
    problem_ = "the output file cannot be opened: " + std::to_string(GetLastError());
    return;
  }
  job_ = CreateJobObjectW(nullptr, nullptr);
  if (job_) {
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!SetInformationJobObject(job_, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
      CloseHandle(job_);
      job_ = nullptr;
    }
  }
  std::vector<std::wstring> arguments{L"--foreground"};
  arguments.insert(arguments.end(), options.extraArguments.begin(), options.extraArguments.end());
  PROCESS_INFORMATION info{};
  const DWORD flags = CREATE_SUSPENDED;
  if (!Launch(arguments, output.get(), info, flags)) {
    problem_ = "lumbrex-service.exe cannot be started: " + std::to_string(GetLastError());
    return;
  }
  process_ = info.hProcess;
  processId_ = info.dwProcessId;
  if (job_) AssignProcessToJobObject(job_, process_);  // best effort
  ResumeThread(info.hThread);
  CloseHandle(info.hThread);
  ready_ = WaitForPipe(options.readyTimeoutMs, process_) && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
  if (!ready_) problem_ = "lumbrex-service.exe --foreground did not serve the pipe in time (exit code " +
                          std::to_string(ExitCode()) + ")";
}

ServiceProcess::~ServiceProcess() {
  Terminate();
  if (process_) CloseHandle(process_);
  if (job_) CloseHandle(job_);
}

DWORD ServiceProcess::ExitCode() const {
  DWORD code = STILL_ACTIVE;
  if (process_) GetExitCodeProcess(process_, &code);
  return code;
}

bool ServiceProcess::WaitForExit(DWORD timeoutMs) const {
  return process_ && WaitForSingleObject(process_, timeoutMs) == WAIT_OBJECT_0;
}

void ServiceProcess::Terminate() {
  if (!process_) return;
  if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
    TerminateProcess(process_, 1);
    WaitForSingleObject(process_, 10000);
  }
}

DWORD RunServiceTool(const std::vector<std::wstring>& arguments, DWORD timeoutMs, std::string* output) {
  wchar_t folder[MAX_PATH];
  const DWORD length = GetTempPathW(MAX_PATH, folder);
  wchar_t file[MAX_PATH];
  if (length == 0 || !GetTempFileNameW(folder, L"lsv", 0, file)) return ~0u;
  DWORD code = ~0u;
  {
    Handle out(OpenOutput(file));
    PROCESS_INFORMATION info{};
    if (out.get() != INVALID_HANDLE_VALUE && Launch(arguments, out.get(), info)) {
      CloseHandle(info.hThread);
      Handle process(info.hProcess);
      if (WaitForSingleObject(process.get(), timeoutMs) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process.get(), &code);
      } else {
        TerminateProcess(process.get(), 1);
        WaitForSingleObject(process.get(), 10000);
      }
    }
  }
  if (output) {
    output->clear();
    Handle in(CreateFileW(file, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    char buffer[4096];
    DWORD got = 0;
    while (in.get() != INVALID_HANDLE_VALUE && ReadFile(in.get(), buffer, sizeof buffer, &got, nullptr) && got > 0)
      output->append(buffer, got);
  }
  DeleteFileW(file);
  return code;
}

}  // namespace testsupport
