# The 32-bit half of the SDK zip and the Windows Installer package: lumbrex.dll
# and lumbrex-automation.dll of the 32-bit tree (preset mingw-x86) under bin/x86,
# its two import libraries under lib/x86, beside their 64-bit twins.
set(LUMBREX_X86_BUILD ${CMAKE_BINARY_DIR}/x86 CACHE PATH
    "The 32-bit build tree (preset mingw-x86) whose DLLs and import libraries the SDK and the package carry")
set(x86_dlls ${LUMBREX_X86_BUILD}/bin/lumbrex.dll ${LUMBREX_X86_BUILD}/bin/lumbrex-automation.dll)
install(FILES ${x86_dlls} DESTINATION bin/x86)
install(FILES ${LUMBREX_X86_BUILD}/lib/liblumbrex.dll.a ${LUMBREX_X86_BUILD}/lib/lumbrex.lib DESTINATION lib/x86)
# Stripped as install(TARGETS) strips the 64-bit ones.
find_program(MINGW_I686_STRIP i686-w64-mingw32-strip REQUIRED)
install(CODE "
  if(CMAKE_INSTALL_DO_STRIP)
    foreach(dll lumbrex.dll lumbrex-automation.dll)
      execute_process(COMMAND ${MINGW_I686_STRIP} --strip-unneeded \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin/x86/\${dll}\"
                      COMMAND_ERROR_IS_FATAL ANY)
    endforeach()
  endif()")
# The SDK target builds them in their tree, which must be configured first
# (scripts/build.sh and scripts/sdk.sh do it).
add_custom_target(lumbrex-x86-dlls
  COMMAND ${CMAKE_COMMAND} --build ${LUMBREX_X86_BUILD} --target lumbrex lumbrex-automation
  COMMENT "32-bit lumbrex.dll and lumbrex-automation.dll in ${LUMBREX_X86_BUILD}")
