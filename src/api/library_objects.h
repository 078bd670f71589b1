// The library's static objects, made at load and destroyed at unload.
#pragma once
#include <string>

namespace lumbrex {

// Made at load in this order, destroyed at unload in reverse (all defined in
// library_objects.cpp, one translation unit, so that C++ keeps the order).
extern const std::wstring g_rootKeyPath;        // "Software\OSTREL Software\Lumbrex", the configuration root
extern const std::wstring g_sharedPortsKeyPath; // "Software\OSTREL Software\Quillane2", share permissions
extern std::wstring g_remoteLogonName;          // \\server\IPC$ of the last successful logon; empty at load
// 4. the connection object g_remoteControl (declared in link/remote_control.h),
//    defined last in library_objects.cpp.

}  // namespace lumbrex
