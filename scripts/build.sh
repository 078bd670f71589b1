#!/bin/bash
# Builds everything into build/ (lumbrex.dll at build/bin/lumbrex.dll).
# Arguments go to `cmake --build` (for example --target lumbrexctl). Prints a
# line per stage and a progress line every 40 steps instead of every compile.
set -euo pipefail
cd "$(dirname "$0")/.."
mkdir -p build
if [ ! -f build/CMakeCache.txt ]; then
  echo "build: configuring build/ (cmake --preset mingw)"
  if ! cmake --preset mingw >build/configure.log 2>&1; then
    tail -n 20 build/configure.log
    echo "build: FAILED to configure (whole output: build/configure.log)"
    exit 1
  fi
fi
echo "build: compiling"
log=build/build.log
set +e
cmake --build --preset mingw "$@" 2>&1 | tee "$log" | awk '
  /^\[[0-9]+\/[0-9]+\]/ { split(substr($1, 2), n, "/"); n[2] += 0
    if (n[1] > 0 && (n[1] % 40 == 0 || n[1] == n[2])) { printf "build: %d of %d steps\n", n[1], n[2]; fflush() } }'
status=${PIPESTATUS[0]}
set -e
if [ "$status" -ne 0 ]; then
  grep -E -A 20 '^FAILED:|error:' "$log" | head -n 40
  echo "build: FAILED (whole output: $log)"
  exit 1
fi
echo "build: done"
