// The tests start build/bin's programs through the same launcher as the
// benchmark (launcher.h, beside this file).
#pragma once
#include "launcher.h"

namespace testsupport {
using lumbrex::service::ProgramRun;
using lumbrex::service::ReadWholeFile;
using lumbrex::service::RunProgram;
using lumbrex::service::ServiceProcess;
using lumbrex::service::TempFilePath;
using lumbrex::service::WriteWholeFile;
}  // namespace testsupport
