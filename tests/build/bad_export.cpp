// A deliberately wrong DLL: the binary check must reject it (it exports a
// name outside the 38, imports a non-Windows DLL and is built without ASLR).
extern "C" int BadHelper();
extern "C" __declspec(dllexport) int NotALumbrexExport() { return BadHelper(); }
