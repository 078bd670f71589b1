// lumbrex-service.exe's command line: the mode, and the settings that the
// foreground server, the service and --install (which writes them into the
// service's command line) share. docs/service.md, "Running it".
#pragma once
#include <windows.h>

#include <string>

namespace lumbrex::service {

enum class Mode { None, Foreground, Service, Install, Uninstall, Start, Stop, Help, Version };

struct Settings {
  Mode mode = Mode::None;
  bool allowRemote = true;  // the service serves ConnectToRemoteService
  std::wstring logPath;
  std::wstring idleTimeout;  // seconds, as given; empty: the server's default
  std::wstring maxClients;   // as given; empty: the server's default
};

// The log file's name: as a service, in the product's folder under
// %ProgramData% (kProductFolder) unless --log names another file.
inline constexpr wchar_t kServiceLogName[] = L"lumbrex-service.log";

// The usage, on standard error.
void PrintUsage();
// The values --idle-timeout and --max-clients take.
bool ParseSeconds(const std::wstring& text, DWORD& seconds);
bool ParseMaxClients(const std::wstring& text, DWORD& clients);
// The arguments into `settings`; an empty text, or what is wrong with them.
std::wstring ParseArguments(int argc, wchar_t** argv, Settings& settings);

}  // namespace lumbrex::service
