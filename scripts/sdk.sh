#!/bin/bash
# Makes the SDK zip and the Windows Installer package in one step: configures
# the build folder and its 32-bit tree (BUILD_DIR/x86) if needed, builds what
# the zip holds (the target lumbrex-sdk: the library, its import libraries,
# the automation object, each of both bitnesses, lumbrexctl, the stand-in
# service, driver and driver loader) and the package (the target lumbrex-msi,
# docs/install.md), then packs the zip with cpack.
# Usage: scripts/sdk.sh [BUILD_DIR]   (default: build)
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(realpath -m "${1:-$repo/build}")
if [ ! -f "$build/CMakeCache.txt" ]; then
  (cd "$repo" && cmake --preset mingw -B "$build" >/dev/null)
fi
# A CMake build folder cannot move: a moved or copied one still builds from
# and into the paths it was configured with, so the zip would pack the
# original's files.
made_in=$(sed -n 's/^CMAKE_CACHEFILE_DIR:INTERNAL=//p' "$build/CMakeCache.txt")
made_from=$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "$build/CMakeCache.txt")
if [ "$(realpath -m "$made_in")" != "$build" ]; then
  echo "sdk.sh: $build was configured as $made_in (moved or copied: CMake build folders cannot move); give a new folder" >&2
  exit 1
fi
if [ "$(realpath -m "$made_from")" != "$repo" ]; then
  echo "sdk.sh: $build belongs to the source tree $made_from, not $repo; give a folder of this tree" >&2
  exit 1
fi
if [ ! -f "$build/x86/CMakeCache.txt" ]; then
  (cd "$repo" && cmake --preset mingw-x86 -B "$build/x86" -DLUMBREX_X64_BIN="$build/bin" \
                       -DLUMBREX_WINEPREFIX="$build/wineprefix" >/dev/null)
fi
cmake --build "$build" --target lumbrex-sdk lumbrex-msi
(cd "$build" && cpack -G ZIP --config CPackConfig.cmake >/dev/null)
zip=$(ls -t "$build"/lumbrex-*-win64.zip | head -1)
echo "SDK: $zip"
echo "MSI: $(ls -t "$build"/lumbrex-*-x64.msi | head -1)"
