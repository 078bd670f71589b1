# lumbrexctl's configuration engine without Win32 types: the document's model,
# its reader and writer, the planner and its words. Built for Windows (the
# static library lumbrexctl_config_plain, linked by lumbrexctl) and natively
# (fuzz/: the unit tests of tests/plain and the fuzzers). One list, so both
# builds compile the same code.
set(LUMBREXCTL_CONFIG_PLAIN_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/config_document.cpp
  ${CMAKE_CURRENT_LIST_DIR}/config_reader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/config_plan.cpp
  ${CMAKE_CURRENT_LIST_DIR}/config_plan_text.cpp)
