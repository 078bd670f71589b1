# The library's plain code: no Win32 types, so it builds for Windows (the
# static library lumbrex_plain, linked by lumbrex.dll, the stand-in service and
# lumbrexctl) and natively (fuzz/: the unit tests of tests/plain and the
# fuzzers, with the sanitizers). One list, so both builds compile the same code.
set(LUMBREX_PLAIN_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/common/text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/common/name_rules.cpp
  ${CMAKE_CURRENT_LIST_DIR}/api/port_name.cpp
  ${CMAKE_CURRENT_LIST_DIR}/params/port_entry.cpp
  ${CMAKE_CURRENT_LIST_DIR}/params/parameter_text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/link/protocol.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sharing/record_walk.cpp
  ${CMAKE_CURRENT_LIST_DIR}/config/layout_rules.cpp)
