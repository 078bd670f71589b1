#!/bin/bash
# The long checks, run on purpose: the 100,000-call leak runs, long fuzzing,
# the thread soak and the load tests (every test labelled long; see
# docs/reliability.md for what each checks and how long it takes).
# Arguments go to ctest (scripts/soak.sh -R Leaks runs only the leak runs).
exec "$(dirname "$0")/ctest-run.sh" soak long "running the long checks" "$@"
