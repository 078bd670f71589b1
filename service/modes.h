// What lumbrex-service.exe does in each of its modes (main.cpp picks one from
// the command line): each returns the process's exit code.
#pragma once
#include "arguments.h"

namespace lumbrex::service {

// Serves the pipe in this console until Ctrl+C, Ctrl+Break or the console
// closes (foreground.cpp).
int RunForeground(const Settings& settings);
// Hands the process to the Service Control Manager's dispatcher, which runs
// the service until it is stopped (service_mode.cpp).
int RunAsService(const Settings& settings);
// The installed service, through the Service Control Manager (scm_control.cpp).
int Install(const Settings& settings);
int Uninstall();
int StartInstalled();
int StopInstalled();

}  // namespace lumbrex::service
