#!/bin/bash
# The long checks, run on purpose: the 100,000-call leak runs, long fuzzing,
# the thread soak and the load tests (every test labelled long; see
# docs/reliability.md for what each checks and how long it takes).
# Arguments go to ctest (scripts/soak.sh -R Leaks runs only the leak runs).
set -euo pipefail
cd "$(dirname "$0")/.."
start=$SECONDS
result=FAILED
trap 'wine_prefix_down 2>/dev/null || true; echo "soak.sh: $result after $((SECONDS - start)) s"' EXIT
scripts/setup.sh
scripts/build.sh
source scripts/wine-env.sh
wine_prefix_up
echo "soak: running the long checks (ctest --preset long)"
ctest --preset long "$@"
result=PASSED
