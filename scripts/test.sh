#!/bin/bash
# The test command: installs what is missing, builds, brings up the private
# Wine prefixes (the second for half of the leak tests) with one wineserver
# each for the whole run, runs the whole suite and
# ends with ctest's summary.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
source scripts/wine-env.sh
wine_test_prefixes_up
trap wine_prefix_down EXIT
ctest --preset mingw "$@"
