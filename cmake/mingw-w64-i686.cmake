# Cross-compiling toolchain for the 32-bit DLLs (build/x86): Debian's
# mingw-w64 for i686, with the 64-bit file's settings (posix thread model, the
# find rules).
set(TOOLCHAIN_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-x86_64.cmake)
