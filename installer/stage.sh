#!/bin/bash
# Lays out what the Lumbrex package installs, from a build folder: bin\ (the
# 64-bit library, which the package puts in System32, the automation object,
# lumbrexctl, the stand-in service), bin\x86\ (the 32-bit library, which goes
# to SysWOW64, and automation object), include\, lib\ and lib\x86\ (both
# import libraries of each bitness, the .def and the CMake package), docs\,
# examples\.
# Usage: stage.sh BUILD_DIR STAGE_DIR   (STAGE_DIR is made anew)
set -euo pipefail
build=$1 stage=$2
installed=$(mktemp -d)
trap 'rm -rf "$installed"' EXIT
# The SDK zip's own install rules (stripped, as the zip is); the package takes
# its parts from them and puts the programs beside the library in bin\.
cmake --install "$build" --prefix "$installed" --strip >/dev/null
rm -rf "$stage"
mkdir -p "$stage/bin/x86"
cp "$installed"/bin/lumbrex.dll "$installed"/bin/lumbrex-automation.dll "$stage/bin/"
cp "$installed"/bin/x86/lumbrex.dll "$installed"/bin/x86/lumbrex-automation.dll "$stage/bin/x86/"
cp "$installed"/tools/lumbrexctl.exe "$installed"/tools/lumbrex-service.exe "$stage/bin/"
cp -r "$installed"/include "$installed"/lib "$installed"/docs "$installed"/examples "$stage/"
