# The 32-bit tree (preset mingw-x86, build/x86): lumbrex.dll and
# lumbrex-automation.dll for 32-bit hosts, and the library's own tests built
# from the same sources against them. What they talk to stays 64-bit, as it
# ships: the stand-in service, the stand-in driver and its loader come from
# the 64-bit tree, copied into bin/ beside the tests, which start them from
# their own folder.
set(LUMBREX_X64_BIN "${CMAKE_SOURCE_DIR}/build/bin" CACHE PATH "bin/ of the 64-bit tree (built first)")
# Each copy under the 64-bit target's name, so that what depends on the
# program depends on its copy.
foreach(program lumbrex-service.exe lumbrex-demo-driver.exe fenwyck_standin.sys)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/bin/${program}
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${LUMBREX_X64_BIN}/${program} ${CMAKE_BINARY_DIR}/bin/${program}
    DEPENDS ${LUMBREX_X64_BIN}/${program}
    COMMENT "64-bit ${program} beside the 32-bit tests")
  get_filename_component(target ${program} NAME_WE)
  add_custom_target(${target} ALL DEPENDS ${CMAKE_BINARY_DIR}/bin/${program})
endforeach()
add_subdirectory(driver)  # its control library
add_subdirectory(automation)
include(cmake/automation_ids.cmake)  # for its tests
if(BUILD_TESTING)
  add_subdirectory(tests)
endif()
