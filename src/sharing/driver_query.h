// The device query on the port-sharing driver's control device.
#pragma once
#include <windows.h>

#include <cstdint>
#include <vector>

namespace lumbrex {

// Opens the control device (kSharingControlDevice, common/names.h), runs the
// requests of RunAnswerRequests and closes the device. Returns the open's
// GetLastError value when the device cannot be opened, else 0 with `answered`
// telling whether a request succeeded and `answer` holding exactly the bytes it
// returned.
uint32_t QuerySharingDriver(bool* answered, std::vector<uint8_t>* answer);

}  // namespace lumbrex
