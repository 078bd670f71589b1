#!/bin/bash
# What scripts/test.sh and scripts/soak.sh share: installs what is missing,
# builds, brings up the private Wine prefix with one wineserver for the whole
# run, runs one ctest preset and closes with "NAME: PASSED/FAILED after N s".
# Usage: ctest-run.sh NAME PRESET WHAT [ctest arguments...]
set -euo pipefail
cd "$(dirname "$0")/.."
name=$1 preset=$2 what=$3
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
