#include "api/library_objects.h"

#include "link/remote_control.h"

namespace lumbrex {

// Order matters: root path, shared-ports path, logon name, then the connection
// object, which is therefore destroyed first at unload.
const std::wstring g_rootKeyPath = L"Software\\OSTREL Software\\Lumbrex";
const std::wstring g_sharedPortsKeyPath = L"Software\\OSTREL Software\\Quillane2";
std::wstring g_remoteLogonName;
// Its destructor releases one connection reference at unload.
CRemoteControl g_remoteControl;

}  // namespace lumbrex
