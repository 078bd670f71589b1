#!/bin/bash
# The test command: installs what is missing, builds, brings up the private
# Wine prefix with one wineserver for the whole run, and runs the default
# suite (everything but the tests labelled long; scripts/soak.sh runs those).
# Arguments go to ctest (scripts/test.sh -R Commands runs the wire-bytes tests).
set -euo pipefail
cd "$(dirname "$0")/.."
start=$SECONDS
result=FAILED
finish() {
  echo "test.sh: $result after $((SECONDS - start)) s"

}
trap 'wine_prefix_down 2>/dev/null || true; finish' EXIT
scripts/setup.sh
scripts/build.sh
source scripts/wine-env.sh
wine_prefix_up
echo "test: running the suite (ctest --preset mingw)"
ctest --preset mingw "$@"
result=PASSED
