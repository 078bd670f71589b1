#!/bin/bash
# Builds both trees: build/ (64-bit: lumbrex.dll at build/bin/lumbrex.dll,
# the tools, the stand-ins, the tests) and then build/x86 (32-bit:
# build/x86/bin/lumbrex.dll and lumbrex-automation.dll for 32-bit hosts, and
# the library's tests against them; it copies the 64-bit stand-ins, so it
# comes second). Arguments go to the 64-bit tree's `cmake --build` (for
# example --target lumbrexctl); the 32-bit tree then builds its two DLLs
# only. Prints a line per stage and a progress line every 40 steps instead of
# every compile.
set -euo pipefail
cd "$(dirname "$0")/.."

# build_tree DIR PRESET [cmake --build arguments...]
build_tree() {
  local dir=$1 preset=$2 status
  shift 2
  mkdir -p "$dir"
  if [ ! -f "$dir/CMakeCache.txt" ]; then
    echo "build: configuring $dir/ (cmake --preset $preset)"
    if ! cmake --preset "$preset" >"$dir/configure.log" 2>&1; then
      tail -n 20 "$dir/configure.log"
      echo "build: FAILED to configure $dir/ (whole output: $dir/configure.log)"
      exit 1
    fi
  fi
  echo "build: compiling $dir/"
  local log=$dir/build.log
  set +e
  cmake --build --preset "$preset" "$@" 2>&1 | tee "$log" | awk -v dir="$dir" '
    /^\[[0-9]+\/[0-9]+\]/ { split(substr($1, 2), n, "/"); n[2] += 0
      if (n[1] > 0 && (n[1] % 40 == 0 || n[1] == n[2])) { printf "build: %s: %d of %d steps\n", dir, n[1], n[2]; fflush() } }'
  status=${PIPESTATUS[0]}
  set -e
  if [ "$status" -ne 0 ]; then
    grep -E -A 20 '^FAILED:|error:' "$log" | head -n 40
    echo "build: FAILED (whole output: $log)"
    exit 1
  fi
}

build_tree build mingw "$@"
if [ $# -gt 0 ]; then
  build_tree build/x86 mingw-x86 --target lumbrex lumbrex-automation
else
  build_tree build/x86 mingw-x86
fi
echo "build: done"
