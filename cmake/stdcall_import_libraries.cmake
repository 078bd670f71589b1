# The 32-bit import libraries of lumbrex.dll, run after its link (cmake -P).
# A 32-bit caller compiled with include/lumbrex.h refers to each export by its
# __stdcall name (_AddBundle@16); the DLL exports the plain name (AddBundle),
# as Declare statements and GetProcAddress want it. So both import libraries
# carry the decorated symbol and import the plain name (dlltool -k), from a
# .def of the decorated names read off the DLL's own symbol table.
# Variables: NM DLLTOOL LLVM_DLLTOOL DLL DEF DECORATED_DEF IMPLIB MSVC_LIB
execute_process(COMMAND ${NM} --defined-only ${DLL} OUTPUT_VARIABLE symbols COMMAND_ERROR_IS_FATAL ANY)
file(STRINGS ${DEF} lines)
set(decorated "LIBRARY lumbrex.dll\nEXPORTS\n")
set(in_exports FALSE)
foreach(line IN LISTS lines)
  string(REGEX REPLACE ";.*" "" line "${line}")
  string(STRIP "${line}" line)
  if(line STREQUAL "EXPORTS")
    set(in_exports TRUE)
  elseif(in_exports AND line MATCHES "^[A-Za-z_][A-Za-z0-9_]*$")
    if(NOT symbols MATCHES "[ \n]T _${line}@([0-9]+)\n")
      message(FATAL_ERROR "${DLL} has no __stdcall symbol for the export ${line}")
    endif()
    string(APPEND decorated "    ${line}@${CMAKE_MATCH_1}\n")
  endif()
endforeach()
file(WRITE ${DECORATED_DEF} "${decorated}")
execute_process(COMMAND ${DLLTOOL} -k -D lumbrex.dll -d ${DECORATED_DEF} -l ${IMPLIB} COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${LLVM_DLLTOOL} -m i386 -k -D lumbrex.dll -d ${DECORATED_DEF} -l ${MSVC_LIB}
                COMMAND_ERROR_IS_FATAL ANY)
