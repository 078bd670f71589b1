#!/bin/bash
# Builds everything into build/ (lumbrex.dll at build/bin/lumbrex.dll).
set -euo pipefail
cd "$(dirname "$0")/.."
[ -f build/CMakeCache.txt ] || cmake --preset mingw >/dev/null
cmake --build --preset mingw "$@"
