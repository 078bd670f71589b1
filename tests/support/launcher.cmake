# The launcher (launcher.h): the tests and the benchmark start build/bin's
# programs through it. Its own small library, apart from the test support
# (no test framework in it), included by whichever folder comes first: the
# benchmark is built without the tests as well.
include_guard(GLOBAL)
add_library(lumbrex_service_launcher STATIC ${CMAKE_CURRENT_LIST_DIR}/launcher.cpp)
target_include_directories(lumbrex_service_launcher PUBLIC ${CMAKE_CURRENT_LIST_DIR} ${CMAKE_SOURCE_DIR}/src
                           ${CMAKE_SOURCE_DIR}/include)
