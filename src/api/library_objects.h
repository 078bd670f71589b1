// Part 1.1, State and lifecycle: the library's static objects.
#pragma once
#include <string>

namespace lumbrex {

// Made at load in this order, destroyed at unload in reverse (all defined in
// library_objects.cpp, one translation unit, so that C++ keeps the order).
extern const std::wstring g_rootKeyPath;        // "Software\OSTREL Software\Lumbrex" (Part 3.1)
extern const std::wstring g_sharedPortsKeyPath; // "Software\OSTREL Software\Quillane2" (Part 5.1)
extern std::wstring g_remoteLogonName;          // empty at load (Part 2.1)
// 4. the connection object g_remoteControl (declared in link/remote_control.h),
//    defined last in library_objects.cpp.

}  // namespace lumbrex
