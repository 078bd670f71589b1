// The names by which the library, the service and the drivers find each other:
// the one place that spells them. Plain: nothing beyond wchar_t, so the library,
// the stand-in service, the tools and the tests include it alike.
#pragma once
#include <cstdint>

#include "common/sharing_device.h"
#include "lumbrex_codes.h"

namespace lumbrex {

// The service's control pipe, on this machine (\\.\pipe\<name>) or on another
// one (\\server\pipe\<name>).
#define LUMBREX_PIPE_NAME L"TessaryControl2"
inline constexpr wchar_t kPipeName[] = LUMBREX_PIPE_NAME;
inline constexpr wchar_t kLocalPipePath[] = L"\\\\.\\pipe\\" LUMBREX_PIPE_NAME;
#undef LUMBREX_PIPE_NAME

// Under HKEY_LOCAL_MACHINE: the vendor's key, holding the service's
// configuration (bundles, ports, the four root options) and the port-sharing
// driver's share permissions (<port>\Permissions).
#define LUMBREX_VENDOR L"OSTREL Software"
#define LUMBREX_PRODUCT L"Lumbrex"
inline constexpr wchar_t kVendorKeyPath[] = L"Software\\" LUMBREX_VENDOR;
inline constexpr wchar_t kConfigRootKeyPath[] = L"Software\\" LUMBREX_VENDOR L"\\" LUMBREX_PRODUCT;
inline constexpr wchar_t kSharedPortsKeyPath[] = L"Software\\" LUMBREX_VENDOR L"\\Quillane2";
// The same vendor and product as a folder: the service keeps its log there,
// under %ProgramData%.
inline constexpr wchar_t kProductFolder[] = LUMBREX_VENDOR L"\\" LUMBREX_PRODUCT;
#undef LUMBREX_PRODUCT
#undef LUMBREX_VENDOR
// The virtual-serial driver's service key, which holds "StrictBaudrate".
inline constexpr wchar_t kDriverServiceKeyPath[] = L"SYSTEM\\CurrentControlSet\\Services\\korrin9";
// The system's serial-device map.
inline constexpr wchar_t kSerialMapKeyPath[] = L"HARDWARE\\DEVICEMAP\\SERIALCOMM";

// Inside the configuration root: each bundle is a key holding one key per side
// (its ports as values) and one main-port value per side, by side code.
inline constexpr const wchar_t* kSideKeyNames[] = {L"IN", L"OUT"};
inline constexpr const wchar_t* kMainPortValueNames[] = {L"InMain", L"OutMain"};
static_assert(LUMBREX_SIDE_IN == 0 && LUMBREX_SIDE_OUT == 1, "the side names are indexed by the side code");
// Side 0 is the input side; any other value the output side (the query
// exports admit only 0 and 1, the per-port permission exports map every
// non-zero side to the output side).
inline constexpr const wchar_t* SideKeyName(int32_t side) {
  return kSideKeyNames[side == LUMBREX_SIDE_IN ? LUMBREX_SIDE_IN : LUMBREX_SIDE_OUT];
}
inline constexpr const wchar_t* MainPortValueName(int32_t side) {
  return kMainPortValueNames[side == LUMBREX_SIDE_IN ? LUMBREX_SIDE_IN : LUMBREX_SIDE_OUT];
}
// Under the shared-ports key, each port's key holds this key of share permissions.
inline constexpr wchar_t kPermissionsKeyName[] = L"Permissions";

// The value names of the five global options, by LumbrexOption: the first four
// in the configuration root (32-bit view), the last in the driver's service key.
inline constexpr const wchar_t* kOptionValueNames[LUMBREX_OPTION_COUNT] = {
    L"AutoOpen", L"IgnoreError", L"Prints", L"SendDataOnlyMainPort", L"StrictBaudrate"};

// The port-sharing driver's control device, asked which applications hold a
// shared port open.
inline constexpr wchar_t kSharingControlDevice[] = L"\\\\.\\" LUMBREX_SHARING_DEVICE_NAME;

// The service's name in the Service Control Manager.
inline constexpr wchar_t kServiceName[] = L"LumbrexService";

}  // namespace lumbrex
