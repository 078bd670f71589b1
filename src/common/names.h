// The names by which the library, the service and the drivers find each other:
// the one place that spells them. Plain: nothing beyond wchar_t, so the library,
// the stand-in service and the tests include it alike.
#pragma once
#include "common/sharing_device.h"

namespace lumbrex {

// The service's control pipe, on this machine (\\.\pipe\<name>) or on another
// one (\\server\pipe\<name>).
#define LUMBREX_PIPE_NAME L"TessaryControl2"
inline constexpr wchar_t kPipeName[] = LUMBREX_PIPE_NAME;
inline constexpr wchar_t kLocalPipePath[] = L"\\\\.\\pipe\\" LUMBREX_PIPE_NAME;
#undef LUMBREX_PIPE_NAME

// Under HKEY_LOCAL_MACHINE: the service's configuration (bundles, ports, the
// four root options) and the port-sharing driver's share permissions
// (<port>\Permissions).
inline constexpr wchar_t kConfigRootKeyPath[] = L"Software\\OSTREL Software\\Lumbrex";
inline constexpr wchar_t kSharedPortsKeyPath[] = L"Software\\OSTREL Software\\Quillane2";
// The virtual-serial driver's service key, which holds "StrictBaudrate".
inline constexpr wchar_t kDriverServiceKeyPath[] = L"SYSTEM\\CurrentControlSet\\Services\\korrin9";

// The port-sharing driver's control device, asked which applications hold a
// shared port open.
inline constexpr wchar_t kSharingControlDevice[] = L"\\\\.\\" LUMBREX_SHARING_DEVICE_NAME;

// The service's name in the Service Control Manager.
inline constexpr wchar_t kServiceName[] = L"LumbrexService";

}  // namespace lumbrex
