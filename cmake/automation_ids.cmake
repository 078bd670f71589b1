# The automation object's identifiers, from its IDL: LUMBREX_LIBID,
# LUMBREX_IID and LUMBREX_CLSID in the including scope.
file(READ ${CMAKE_SOURCE_DIR}/automation/lumbrex_automation.idl idl)
foreach(kind library interface coclass)
  string(REGEX MATCH "uuid\\(([0-9a-fA-F-]+)\\)[^]]*\\][ \t\r\n]*${kind} " found "${idl}")
  if(NOT CMAKE_MATCH_1)
    message(FATAL_ERROR "no uuid for the ${kind} in lumbrex_automation.idl")
  endif()
  set(uuid_${kind} ${CMAKE_MATCH_1})
endforeach()
set(LUMBREX_LIBID ${uuid_library})
set(LUMBREX_IID ${uuid_interface})
set(LUMBREX_CLSID ${uuid_coclass})
