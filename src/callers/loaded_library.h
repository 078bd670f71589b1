// For programs on top of the library (lumbrexctl --version, the automation
// object's Version): which lumbrex.dll this process runs, which need not be
// the one beside the program (the loader's search order picks it).
#pragma once
#include <string>

namespace lumbrex {

// "lumbrex.dll 1.0.0 (C:\...\lumbrex.dll)": the FileVersion of the loaded
// module and its path, with ", not the version ... was built for" when it
// differs from include/lumbrex.h's; what is known when something is missing.
std::wstring LoadedLibraryVersion();

}  // namespace lumbrex
