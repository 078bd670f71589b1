#!/bin/bash
# The test command: installs what is missing, builds, brings up the private
# Wine prefix with one wineserver for the whole run, runs the whole suite and
# ends with ctest's summary.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
source scripts/wine-env.sh
wine_prefix_up
trap wine_prefix_down EXIT
ctest --preset mingw "$@"
