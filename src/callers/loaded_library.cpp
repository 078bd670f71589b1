#include "callers/loaded_library.h"

#include <windows.h>
#include <lumbrex.h>

#include <vector>

#include "api/module_path.h"

namespace lumbrex {

std::wstring LoadedLibraryVersion() {
  const HMODULE dll = GetModuleHandleW(L"lumbrex.dll");
  if (dll == nullptr) return L"lumbrex.dll not loaded";
  const std::wstring path = ModulePath(dll);
  if (path.empty()) return L"lumbrex.dll (its path is unknown, code " + std::to_wstring(GetLastError()) + L")";
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  std::vector<BYTE> block(size);
  VS_FIXEDFILEINFO* info = nullptr;
  UINT infoSize = 0;
  if (size == 0 || !GetFileVersionInfoW(path.c_str(), 0, size, block.data()) ||
      !VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info), &infoSize) || infoSize < sizeof(*info))
    return L"lumbrex.dll without a version resource (" + path + L")";
  const unsigned major = HIWORD(info->dwFileVersionMS), minor = LOWORD(info->dwFileVersionMS),
                 patch = HIWORD(info->dwFileVersionLS);
  std::wstring text = L"lumbrex.dll " + std::to_wstring(major) + L"." + std::to_wstring(minor) + L"." +
                      std::to_wstring(patch) + L" (" + path + L")";
  if (major != LUMBREX_VERSION_MAJOR || minor != LUMBREX_VERSION_MINOR || patch != LUMBREX_VERSION_PATCH)
    text += L", not the version this program was built for";
  return text;
}

}  // namespace lumbrex
