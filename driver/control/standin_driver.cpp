#include "driver/control/standin_driver.h"

#include "api/module_path.h"
#include "api/raii.h"

namespace standin_driver {

namespace {

using lumbrex::UniqueHandle;
using lumbrex::UniqueServiceHandle;

// The stand-in's control device (not the query link the library opens).
UniqueHandle OpenControl() {
  return UniqueHandle(CreateFileW(STANDIN_CONTROL_PATH, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

DWORD Control(DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize) {
  const UniqueHandle device = OpenControl();
  if (!device.valid()) return GetLastError();
  DWORD returned = 0;
  if (!DeviceIoControl(device.get(), code, const_cast<void*>(in), inSize, out, outSize, &returned, nullptr))
    return GetLastError();
  return 0;
}

}  // namespace

bool StandinRunning() {
  const UniqueHandle device = OpenControl();
  return device.valid();
}

#ifndef _WIN64
// A kernel service that a 32-bit process creates, Wine's service manager
// starts in its 32-bit device host, which cannot load the 64-bit image (the
// start fails with 1114). So a 32-bit caller has the 64-bit loader beside it,
// lumbrex-demo-driver.exe, load the driver (with an empty answer for a port).
std::wstring EnsureStandinRunning() {
  if (StandinRunning()) return L"";
  const std::wstring loader = lumbrex::ModuleFolder(nullptr) + L"lumbrex-demo-driver.exe";
  std::wstring command = L"\"" + loader + L"\" COM1";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(loader.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
    return L"starting " + loader + L" failed: " + std::to_wstring(GetLastError());
  const UniqueHandle process(info.hProcess), thread(info.hThread);
  DWORD exitCode = ~0u;
  if (WaitForSingleObject(process.get(), 60000) != WAIT_OBJECT_0 || !GetExitCodeProcess(process.get(), &exitCode) ||
      exitCode != 0)
    return loader + L" did not load the driver (exit code " + std::to_wstring(exitCode) + L")";
  return StandinRunning() ? L"" : loader + L" loaded no driver";
}
#else
std::wstring EnsureStandinRunning() {
  if (StandinRunning()) return L"";
  UniqueServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  if (!manager.valid()) return L"OpenSCManagerW failed: " + std::to_wstring(GetLastError());
  const std::wstring image = lumbrex::ModuleFolder(nullptr) + STANDIN_IMAGE_NAME;
  // Wine's service start reports a missing image only as a failed driver
  // initialisation (1114), after every retry: name the file instead.
  if (GetFileAttributesW(image.c_str()) == INVALID_FILE_ATTRIBUTES)
    return image + L" is missing (the driver image must stay beside the program that loads it)";
  UniqueServiceHandle service;
  // Demand start only: the prefix keeps the service, and it must not load
  // by itself in a later session (the no-driver test relies on that).
  service.reset(CreateServiceW(manager.get(), STANDIN_SERVICE_NAME, STANDIN_SERVICE_NAME, SERVICE_ALL_ACCESS,
                               SERVICE_KERNEL_DRIVER, SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE, image.c_str(),
                               nullptr, nullptr, nullptr, nullptr, nullptr));
  if (!service.valid()) {
    if (GetLastError() != ERROR_SERVICE_EXISTS) return L"CreateServiceW failed: " + std::to_wstring(GetLastError());
    service.reset(OpenServiceW(manager.get(), STANDIN_SERVICE_NAME, SERVICE_ALL_ACCESS));
    if (!service.valid()) return L"OpenServiceW failed: " + std::to_wstring(GetLastError());
    // The prefix may hold it from another build directory: point it here.
    if (!ChangeServiceConfigW(service.get(), SERVICE_KERNEL_DRIVER, SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE,
                              image.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr))
      return L"ChangeServiceConfigW failed: " + std::to_wstring(GetLastError());
  }
  // Wine's first start after creation can fail: retry a few times.
  DWORD lastError = 0;
  for (int attempt = 0; attempt < 10; ++attempt) {
    if (StartServiceW(service.get(), 0, nullptr) || GetLastError() == ERROR_SERVICE_ALREADY_RUNNING) {
      for (int wait = 0; wait < 100; ++wait) {  // up to 5 s for the device to appear
        if (StandinRunning()) return L"";
        Sleep(50);
      }
      lastError = ERROR_TIMEOUT;
    } else {
      lastError = GetLastError();
    }
    Sleep(200);
  }
  return L"StartServiceW of " + image + L" failed: " + std::to_wstring(lastError);
}
#endif

DWORD StandinReset() { return Control(STANDIN_IOCTL_RESET, nullptr, 0, nullptr, 0); }

DWORD StandinSetAnswer(const std::vector<uint8_t>& answer) {
  return Control(STANDIN_IOCTL_SET_ANSWER, answer.data(), static_cast<DWORD>(answer.size()), nullptr, 0);
}

DWORD StandinFailNext(uint32_t count, int32_t status) {
  StandinFailPlan plan{count, status};
  return Control(STANDIN_IOCTL_FAIL_NEXT, &plan, sizeof plan, nullptr, 0);
}

DWORD StandinGetLog(StandinLog* log) { return Control(STANDIN_IOCTL_GET_LOG, nullptr, 0, log, sizeof *log); }
DWORD StandinHideQueryLink() { return Control(STANDIN_IOCTL_HIDE_QUERY_LINK, nullptr, 0, nullptr, 0); }
DWORD StandinShowQueryLink() { return Control(STANDIN_IOCTL_SHOW_QUERY_LINK, nullptr, 0, nullptr, 0); }

}  // namespace standin_driver
