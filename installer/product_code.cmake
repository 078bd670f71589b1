# Prints the product code of the package of one version: a name-based UUID
# (SHA-1) of the version under the package's upgrade code. Every build of one
# version is then one product to Windows Installer (a rebuilt package repairs
# and removes what an earlier build installed), and every version another one,
# which the major upgrade replaces.
# Usage: cmake -D UPGRADE_CODE=<guid> -D VERSION=N.N.N -P product_code.cmake
if(NOT UPGRADE_CODE MATCHES "^[0-9a-fA-F-]+$" OR NOT VERSION MATCHES "^[0-9]+\\.[0-9]+\\.[0-9]+$")
  message(FATAL_ERROR "product_code.cmake: give UPGRADE_CODE (a GUID) and VERSION (N.N.N)")
endif()
string(UUID code NAMESPACE ${UPGRADE_CODE} NAME "Lumbrex ${VERSION}" TYPE SHA1 UPPER)
execute_process(COMMAND ${CMAKE_COMMAND} -E echo "{${code}}")
