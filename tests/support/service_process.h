// The tests start build/bin's programs through the same launcher as the
// benchmark (service/launcher.h).
#pragma once
#include "launcher.h"

namespace testsupport {
using lumbrex::service::ProgramRun;
using lumbrex::service::RunProgram;
using lumbrex::service::ServiceProcess;
}  // namespace testsupport
