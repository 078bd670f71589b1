#include "watchdog.h"

#include <cwchar>
#include <exception>
#include <mutex>

#include "api/raii.h"
#include "calls.h"
#include "console.h"
#include "verbs.h"

namespace lumbrexctl {
namespace {

struct Job {
  const std::function<int()>* verb;
  int exitCode = kRefused;
};

DWORD WINAPI RunJob(void* parameter) {
  Job* job = static_cast<Job*>(parameter);
  try {
    job->exitCode = (*job->verb)();
  } catch (const std::exception& failure) {
    Complain(Wide(failure.what()));
  }
  return 0;
}

std::mutex g_accountLock;
std::function<std::wstring()> g_account;

// The verb's thread is still inside the library. A normal exit would unload
// the library and run its teardown, and the tool's, under that call; ending
// the process takes the blocked thread along, and stderr is written already.
[[noreturn]] void GiveUp(const std::wstring& message) {
  Complain(message);
  {
    std::lock_guard<std::mutex> guard(g_accountLock);
    if (g_account) Out(g_account());
  }
  TerminateProcess(GetCurrentProcess(), kRefused);
  ExitProcess(kRefused);
}

bool StartsWith(const wchar_t* text, const wchar_t* start) {
  return std::wcsncmp(text, start, std::wcslen(start)) == 0;
}

// What a call of the export waits for when it does not return.
const wchar_t* WhatItWaitsFor(const wchar_t* exportName) {
  static const wchar_t* const kReaders[] = {
      L"GetBundlesNames", L"GetPortsNamesByBundleAndSide", L"BundleGetMainPortForSide", L"GetRealPortsList",
      L"BundleGetPortType", L"BundleRealPortAreParametersDynamic", L"BundleGetRealPortParameters",
      L"BundlePortGetPermissions", L"SharedPortGetAppPermissions"};
  if (std::wcscmp(exportName, L"ConnectToLocalService") == 0) return L"the service's pipe did not open";
  if (std::wcscmp(exportName, L"ConnectToRemoteService") == 0)
    return L"the logon to SERVER or the opening of its pipe has not finished";
  if (std::wcscmp(exportName, L"SharedGetPortApplications") == 0) return L"the port-sharing driver has not answered";
  if (StartsWith(exportName, L"OptionGet")) return L"the registry read has not finished";
  for (const wchar_t* reader : kReaders)
    if (std::wcscmp(exportName, reader) == 0) return L"the registry read has not finished";
  return L"the service has not answered the command";
}

}  // namespace

Account::Account(std::function<std::wstring()> lines) {
  std::lock_guard<std::mutex> guard(g_accountLock);
  g_account = std::move(lines);
}

Account::~Account() {
  std::lock_guard<std::mutex> guard(g_accountLock);
  g_account = nullptr;
}

int RunWatched(const std::function<int()>& verb, DWORD limitMs) {
  Job job{&verb};
  const lumbrex::UniqueHandle thread(CreateThread(nullptr, 0, RunJob, &job, 0, nullptr));
  if (!thread.valid()) {
    const DWORD error = GetLastError();
    Complain(L"no thread for the verb: " + ErrorText(error));
    return kRefused;
  }
  for (;;) {
    DWORD wait = INFINITE;
    if (limitMs != 0) {
      // Between calls the limit starts afresh with the next call.
      const RunningCall call = Running();
      const ULONGLONG now = GetTickCount64();
      if (call.exportName != nullptr && now - call.since >= limitMs)
        GiveUp(std::wstring(call.exportName) + L" did not return within " + Num(limitMs / 1000) + L" s (" +
               WhatItWaitsFor(call.exportName) + L")");
      wait = call.exportName == nullptr ? limitMs : static_cast<DWORD>(call.since + limitMs - now);
    }
    const DWORD waited = WaitForSingleObject(thread.get(), wait);
    if (waited == WAIT_OBJECT_0) return job.exitCode;
    if (waited != WAIT_TIMEOUT) GiveUp(L"the verb's thread cannot be waited for: error " + Num(GetLastError()));
  }
}

}  // namespace lumbrexctl
