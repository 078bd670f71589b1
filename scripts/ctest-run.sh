#!/bin/bash
# What scripts/test.sh and scripts/soak.sh share: installs what is missing,
# builds, brings up the private Wine prefix with one wineserver for the whole
# run, runs one ctest preset and closes with "NAME: PASSED/FAILED after N s".
# Usage: ctest-run.sh NAME PRESET WHAT [ctest arguments...]
set -euo pipefail
cd "$(dirname "$0")/.."
name=$1 preset=$2 what=$3
# One run at a time in a prefix. Two runs in one tree would share its
# registry, pipe and temp folder with no ctest lock between them, and the
# first to end stops the wineserver under the other's running test, which
# dies at once with no output.
lock="${LUMBREX_WINEPREFIX:-$PWD/build/wineprefix}.run-lock"
if [ -z "${LUMBREX_RUN_LOCK_HELD-}" ]; then
  mkdir -p "$(dirname "$lock")"
  flock -n "$lock" true || echo "$name: waiting for the other run in this prefix to end ($lock)"
  LUMBREX_RUN_LOCK_HELD=1 exec flock "$lock" "$PWD/scripts/ctest-run.sh" "$@"
fi
shift 3
start=$SECONDS
result=FAILED
trap 'wine_prefix_down 2>/dev/null || true; echo "$name.sh: $result after $((SECONDS - start)) s"' EXIT
scripts/setup.sh
scripts/build.sh
source scripts/wine-env.sh
wine_prefix_up
# Where this machine runs no 32-bit program: one line saying so; the 32-bit
# tree's tests then count as one skipped test (x86.Skipped).
wine32_ready || true
echo "$name: $what (ctest --preset $preset)"
ctest --preset "$preset" "$@"
result=PASSED
