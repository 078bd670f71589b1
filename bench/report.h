// The Markdown sections of docs/benchmarks.md from the measurements, and the
// "GOAL|what|measured|target|verdict|why" lines that scripts/bench.sh gathers
// into the goals table.
#pragma once
#include <string>

#include "measurements.h"

namespace bench {

std::string RegistryReport(const RegistryResults& results);
std::string CommandReport(const CommandResults& results, const Settings& settings);
std::string LoadReport(const LoadResults& results, const Settings& settings);
std::string AutomationReport(const AutomationResults& results, const Settings& settings);  // automation_report.cpp
std::string ConfigReport(const ConfigResults& results);  // config_section.cpp

}  // namespace bench
