#!/bin/bash
# The plain code built natively (clang 14, ASan, UBSan, libFuzzer; no Wine):
# its unit tests and its fuzzers, in $LUMBREX_NATIVE_DIR (default build/native;
# the ctest registration sets <build dir>/native).
#   scripts/fuzz.sh build                 configure and build everything
#   scripts/fuzz.sh list                  the fuzzers' names
#   scripts/fuzz.sh test [GTEST ARGS]     run the unit tests (plain_tests)
#   scripts/fuzz.sh replay NAME           run fuzzer NAME once over its seed corpus fuzz/corpus/NAME
#   scripts/fuzz.sh run NAME [SECONDS]    fuzz NAME for SECONDS (default 20) from its corpus
# test, replay and run build first, unless LUMBREX_NATIVE_BUILT=1 (ctest builds
# once, in its fixture test Plain.NativeBuild).
# A run keeps new inputs in $out/corpus/NAME (copy interesting ones into
# fuzz/corpus/NAME). A crash, a failed property or an input running over 10 s
# leaves its input in $out/artifacts/NAME/ (replay: $out/fuzz_NAME FILE); make
# it a unit test and a seed. The whole output is in $out/logs/NAME.log.
set -euo pipefail
out=$(realpath -m "${LUMBREX_NATIVE_DIR:-$(dirname "$0")/../build/native}")
cd "$(dirname "$0")/.."

build() {
  [ "${LUMBREX_NATIVE_BUILT:-0}" = 1 ] && return
  mkdir -p "$out"
  { [ -f "$out/CMakeCache.txt" ] || CXX=clang++-14 cmake -S fuzz -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=Debug
    cmake --build "$out"; } >"$out/build.log" 2>&1 || { tail -n 60 "$out/build.log"; exit 1; }
}

fuzzer() {
  [ -f "fuzz/fuzz_$1.cpp" ] || { echo "no fuzzer named '$1' (scripts/fuzz.sh list)" >&2; exit 2; }
  build
  [ -x "$out/fuzz_$1" ] || { echo "$out/fuzz_$1 is not built (scripts/fuzz.sh build)" >&2; exit 2; }
  mkdir -p "$out/corpus/$1" "$out/artifacts/$1" "$out/logs"
}

# Runs the fuzzer with the given options; prints the report on failure.
fuzz() {
  local name=$1 log="$out/logs/$1.log" status=0
  shift
  "$out/fuzz_$name" -timeout=10 -print_final_stats=1 -artifact_prefix="$out/artifacts/$name/" "$@" \
    >"$log" 2>&1 || status=$?
  if [ "$status" -ne 0 ]; then
    grep -m1 -B2 -A40 -E "FUZZ_CHECK|ERROR: |SUMMARY|timeout" "$log" || tail -n 60 "$log"
    grep -E "Test unit written to" "$log" || true
  else
    grep -E "stat::number_of_executed_units|INITED|DONE" "$log" | tail -n 3
  fi
  return "$status"
}

case "${1:-}" in
  build) build ;;
  list) for f in fuzz/fuzz_*.cpp; do f=${f#fuzz/fuzz_}; echo "${f%.cpp}"; done ;;
  test)
    shift
    build
    "$out/plain_tests" "$@"
    ;;
  replay)
    fuzzer "${2:-}"
    [ -d "fuzz/corpus/$2" ] || { echo "no seed corpus fuzz/corpus/$2" >&2; exit 2; }
    fuzz "$2" -runs=0 "fuzz/corpus/$2"
    ;;
  run)
    fuzzer "${2:-}"
    fuzz "$2" -max_total_time="${3:-20}" "$out/corpus/$2" "fuzz/corpus/$2"
    ;;
  *) echo "usage: $0 build | list | test [GTEST ARGS] | replay NAME | run NAME [SECONDS]" >&2; exit 2 ;;
esac
