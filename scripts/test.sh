#!/bin/bash
# The test command: installs what is missing, builds, brings up the private
# Wine prefix with one wineserver for the whole run, and runs the default
# suite (everything but the tests labelled long; scripts/soak.sh runs those).
# Arguments go to ctest (scripts/test.sh -R Commands runs the wire-bytes tests).
exec "$(dirname "$0")/ctest-run.sh" test mingw "running the suite" "$@"
