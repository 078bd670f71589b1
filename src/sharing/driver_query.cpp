#include "sharing/driver_query.h"

#include "api/raii.h"
#include "common/names.h"
#include "sharing/record_walk.h"

namespace lumbrex {

uint32_t QuerySharingDriver(bool* answered, std::vector<uint8_t>* answer) {
  *answered = false;
  answer->clear();
  UniqueHandle device(CreateFileW(kSharingControlDevice, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!device.valid()) {
    const DWORD error = GetLastError();
    // A failed open always has a reason; never report success for it.
    return error != 0 ? error : ERROR_GEN_FAILURE;
  }
  const AnswerRequest request = [&device](std::vector<uint8_t>& buffer, size_t* bytesReturned) -> uint32_t {
    DWORD input = 1;  // the 32-bit input value 1 that the driver expects
    DWORD returned = 0;
    if (DeviceIoControl(device.get(), LUMBREX_IOCTL_GET_PORT_APPLICATIONS, &input, sizeof input, buffer.data(),
                        static_cast<DWORD>(buffer.size()), &returned, nullptr)) {
      *bytesReturned = returned;
      return 0;
    }
    const DWORD error = GetLastError();
    return error != 0 ? error : ERROR_GEN_FAILURE;
  };
  *answered = RunAnswerRequests(request, [](unsigned ms) { Sleep(ms); }, answer);
  return 0;  // the device handle is closed here, before the walk
}

}  // namespace lumbrex
