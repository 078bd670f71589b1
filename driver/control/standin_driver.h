// Loads the stand-in port-sharing driver (driver/, docs/driver.md) as a Wine
// kernel service through the real service API, for the tests and the demo,
// and drives it through its control requests. The driver stays loaded for the
// wineserver's life: nobody stops it (a stop racing Wine's late closes has
// crashed its host); tests reset its state instead.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "driver/standin_protocol.h"

namespace standin_driver {

// True when the driver's control device opens (the driver runs).
bool StandinRunning();

// Creates (or re-points) the kernel service at the .sys next to this test
// program and starts it, retrying while Wine's first starts fail; waits until
// the control device opens. Empty on success, else what went wrong (a
// missing .sys named with the path where it was looked for).
std::wstring EnsureStandinRunning();

// Control requests; each returns the DeviceIoControl error (0 on success).
DWORD StandinReset();
DWORD StandinSetAnswer(const std::vector<uint8_t>& answer);
DWORD StandinFailNext(uint32_t count, int32_t status);
DWORD StandinGetLog(StandinLog* log);
DWORD StandinHideQueryLink();
DWORD StandinShowQueryLink();

}  // namespace standin_driver
