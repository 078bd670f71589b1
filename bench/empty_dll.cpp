// The load benchmark's baseline: a DLL with nothing in it but DllMain, linked
// with the same flags as lumbrex.dll (static runtime).
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
