#!/bin/bash
# Makes the SDK zip in one step: configures the build folder if needed, builds
# what the zip holds (the target lumbrex-sdk: the library, its import
# libraries, the automation object, lumbrexctl, the stand-in service, driver
# and driver loader), then packs it with cpack.
# Usage: scripts/sdk.sh [BUILD_DIR]   (default: build)
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(realpath -m "${1:-$repo/build}")
if [ ! -f "$build/CMakeCache.txt" ]; then
  (cd "$repo" && cmake --preset mingw -B "$build" >/dev/null)
fi
cmake --build "$build" --target lumbrex-sdk
(cd "$build" && cpack -G ZIP --config CPackConfig.cmake >/dev/null)
zip=$(ls -t "$build"/lumbrex-*-win64.zip | head -1)
echo "SDK: $zip"
