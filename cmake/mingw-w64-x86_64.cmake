# Cross-compiling toolchain: Debian's mingw-w64, posix thread model (GCC 12's
# win32 model has no std::mutex).
# mingw-w64-i686.cmake names the 32-bit compilers and includes this file for
# the rest.
set(CMAKE_SYSTEM_NAME Windows)
if(NOT DEFINED TOOLCHAIN_PREFIX)
  set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
endif()
string(REGEX REPLACE "-.*" "" CMAKE_SYSTEM_PROCESSOR ${TOOLCHAIN_PREFIX})
set(CMAKE_C_COMPILER ${TOOLCHAIN_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOOLCHAIN_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TOOLCHAIN_PREFIX}-windres)
set(CMAKE_DLLTOOL ${TOOLCHAIN_PREFIX}-dlltool)
# find_package searches packages ONLY under the roots (the modes below), and
# would otherwise look below /usr/x86_64-w64-mingw32 alone. So every prefix
# given in CMAKE_PREFIX_PATH (cache or environment) counts as a root too, and
# so does the unpacked SDK that holds this file in its cmake/ folder: with this
# file from the SDK, find_package(Lumbrex) needs no prefix at all.
set(CMAKE_FIND_ROOT_PATH /usr/${TOOLCHAIN_PREFIX} ${CMAKE_PREFIX_PATH})
if(DEFINED ENV{CMAKE_PREFIX_PATH})
  string(REPLACE ":" ";" _lumbrex_env_prefixes "$ENV{CMAKE_PREFIX_PATH}")
  list(APPEND CMAKE_FIND_ROOT_PATH ${_lumbrex_env_prefixes})
endif()
get_filename_component(_lumbrex_sdk "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
if(EXISTS "${_lumbrex_sdk}/lib/cmake/Lumbrex/LumbrexConfig.cmake")
  list(APPEND CMAKE_FIND_ROOT_PATH "${_lumbrex_sdk}")
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
