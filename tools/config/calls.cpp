#include "calls.h"

#include <mutex>

#include "console.h"
#include "verbs.h"

namespace lumbrexctl {
namespace {

// Written by the verb's thread, read by the watchdog on the main thread.
std::mutex g_lock;
RunningCall g_running;

std::wstring CodeWords(unsigned long code) { return L"error " + Num(code) + L": " + SystemMessage(code); }

}  // namespace

RunningCall Running() {
  std::lock_guard<std::mutex> guard(g_lock);
  return g_running;
}

CallScope::CallScope(const wchar_t* exportName) {
  std::lock_guard<std::mutex> guard(g_lock);
  g_running = RunningCall{exportName, GetTickCount64()};
}

CallScope::~CallScope() {
  std::lock_guard<std::mutex> guard(g_lock);
  g_running = RunningCall{};
}

std::wstring CommandFailure(const CallOutcome& outcome) {
  // A broken pipe is no answer of the service: it died or closed its end
  // after the command went out, or while it was answering.
  if (outcome.ConnectionLost())
    return L"the connection to the service was lost (" + CodeWords(outcome.systemError) + L")";
  if (outcome.StoredCode() && outcome.code != 0) return CodeWords(outcome.code);
  return L"refused by the service (no error code)";
}

std::wstring ReadFailure(const CallOutcome& outcome) { return CodeWords(outcome.code); }

int Failed(const wchar_t* exportName, const std::wstring& why) {
  Complain(std::wstring(exportName) + L" failed: " + why);
  return kRefused;
}

}  // namespace lumbrexctl
