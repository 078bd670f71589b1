// How the configuration tests run lumbrexctl and name their files.
#pragma once
#include <string>
#include <vector>

#include "support/service_process.h"

namespace testsupport {

inline std::wstring TempPath(const wchar_t* name) { return TempFilePath(std::wstring(L"lumbrexctl-config-") + name); }

inline ProgramRun Ctl(const std::vector<std::wstring>& arguments) { return RunProgram(L"lumbrexctl.exe", arguments); }

}  // namespace testsupport
