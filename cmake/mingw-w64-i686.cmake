# Cross-compiling toolchain for 32-bit Windows programs (the build's x86 tree,
# and SDK users building 32-bit programs): Debian's mingw-w64 for i686, posix
# thread model as for 64 bits. Everything else, the find rules and the
# unpacked SDK as a root included, is the 64-bit file's.
set(TOOLCHAIN_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-x86_64.cmake)
