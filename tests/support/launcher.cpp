#include "launcher.h"

#include <string>

#include "api/module_path.h"

namespace lumbrex::service {
namespace {

// Started suspended and resumed inside one kill-on-close job, so nothing it
// starts escapes; the job closes, and kills them all, with this process.
UniqueHandle Launch(const std::wstring& name, const std::vector<std::wstring>& args, const wchar_t* output) {
  static const UniqueHandle job = [] {
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    UniqueHandle created(CreateJobObjectW(nullptr, nullptr));
    SetInformationJobObject(created.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits);
    return created;
  }();
  const bool whole = name.size() > 2 && name[1] == L':';  // a path of its own, not a name beside the caller
  std::wstring command = L"\"" + (whole ? L"" : lumbrex::ModuleFolder(nullptr)) + name + L"\"";
  for (const auto& arg : args) command += L" \"" + arg + L"\"";
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  UniqueHandle in(CreateFileW(L"NUL", GENERIC_READ, 0, &inherit, OPEN_EXISTING, 0, nullptr));
  UniqueHandle out(CreateFileW(output, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, &inherit, OPEN_EXISTING, 0,
                               nullptr));
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = in.get();
  startup.hStdOutput = startup.hStdError = out.get();
  PROCESS_INFORMATION info{};
  // Wine's process creation on a loaded machine now and then fails with
  // ERROR_INTERNAL_ERROR before the child exists; it goes through when asked
  // again. Any other failure is the answer.
  BOOL started = FALSE;
  for (int attempt = 0; attempt < 3 && !started; ++attempt) {
    started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr, nullptr,
                             &startup, &info);
    if (!started && GetLastError() != ERROR_INTERNAL_ERROR) break;
  }
  if (!started) return UniqueHandle();
  UniqueHandle process(info.hProcess), thread(info.hThread);
  AssignProcessToJobObject(job.get(), process.get());
  ResumeThread(thread.get());
  return process;
}

void Kill(const UniqueHandle& process) {
  if (process.valid() && TerminateProcess(process.get(), ~0u)) WaitForSingleObject(process.get(), 10000);
}

}  // namespace

ProgramRun RunProgram(const std::wstring& name, const std::vector<std::wstring>& arguments, DWORD timeoutMs) {
  ProgramRun run;
  wchar_t folder[MAX_PATH], file[MAX_PATH];
  if (!GetTempPathW(MAX_PATH, folder) || !GetTempFileNameW(folder, L"run", 0, file)) {
    run.output = "launcher: no temporary file for the output, error " + std::to_string(GetLastError());
    return run;
  }
  UniqueHandle process = Launch(name, arguments, file);
  // Said in the output, so that a caller's failure message tells a program
  // that never started from one that failed.
  const std::string why =
      process.valid() ? "" : "launcher: could not start it, error " + std::to_string(GetLastError());
  if (process.valid() && WaitForSingleObject(process.get(), timeoutMs) == WAIT_OBJECT_0)
    GetExitCodeProcess(process.get(), &run.exitCode);
  Kill(process);
  run.output = ReadWholeFile(file);
  DeleteFileW(file);
  run.output += why;
  return run;
}

std::wstring TempFilePath(const std::wstring& name) {
  wchar_t folder[MAX_PATH];
  return GetTempPathW(MAX_PATH, folder) ? folder + name : name;
}

bool WriteWholeFile(const std::wstring& path, const std::string& text) {
  const UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  DWORD written = 0;
  return file.valid() && WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
         written == text.size();
}

std::string ReadWholeFile(const std::wstring& path) {
  const UniqueHandle file(
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
  std::string text;
  char buffer[4096];
  for (DWORD got = 0; file.valid() && ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0;)
    text.append(buffer, got);
  return text;
}

ServiceProcess::ServiceProcess() {
  // A server left by a killed program (an instance listening or busy) would
  // answer in our child's place: give it three seconds to go.
  for (int i = 0; WaitNamedPipeW(PipePath(), 1) || GetLastError() == ERROR_SEM_TIMEOUT; Sleep(50))
    if (++i == 60) {
      problem_ = "another server already serves the pipe";
      return;
    }
  process_ = Launch(L"lumbrex-service.exe", {L"--foreground"}, L"NUL");
  for (const ULONGLONG end = GetTickCount64() + 15000; !WaitNamedPipeW(PipePath(), 100); Sleep(20)) {
    if (!process_.valid() || WaitForSingleObject(process_.get(), 0) != WAIT_TIMEOUT || GetTickCount64() > end) {
      problem_ = "lumbrex-service.exe --foreground did not serve the pipe";
      return;
    }
  }
}

ServiceProcess::~ServiceProcess() { Kill(process_); }

}  // namespace lumbrex::service
