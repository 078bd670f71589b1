#!/bin/bash
# Native fuzzing of the plain code with libFuzzer + ASan + UBSan (clang 14).
#   scripts/fuzz.sh build                 build every fuzzer into build/fuzz
#   scripts/fuzz.sh run NAME [SECONDS]    run one fuzzer (default 20 s) from its
#                                         seed corpus fuzz/corpus/NAME
#   scripts/fuzz.sh list                  names of the fuzzers
# For a long run: scripts/fuzz.sh run NAME 14400 (new inputs go to
# build/fuzz/corpus/NAME; copy interesting ones into fuzz/corpus/NAME).
# A crash, a failed property or an input running over 10 s leaves its input in
# build/fuzz/artifacts/NAME/: make it a regression test (the seed corpus is
# replayed by every run). The whole output is in build/fuzz/logs/NAME.log.
set -euo pipefail
cd "$(dirname "$0")/.."
out=build/fuzz
build() {
  [ -f "$out/CMakeCache.txt" ] || CXX=clang++-14 cmake -S fuzz -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null
  cmake --build "$out" >/dev/null
}
case "${1:-}" in
  build) build ;;
  list) sed -n 's/^lumbrex_fuzzer(\([a-z_]*\).*/\1/p' fuzz/CMakeLists.txt ;;
  run)
    name=$2 seconds=${3:-20}
    build
    mkdir -p "$out/corpus/$name" "$out/artifacts/$name" "$out/logs"
    log="$out/logs/$name.log"
    status=0
    "$out/fuzz_$name" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
      -artifact_prefix="$out/artifacts/$name/" "$out/corpus/$name" "fuzz/corpus/$name" >"$log" 2>&1 || status=$?
    if [ "$status" -ne 0 ]; then
      # The report (failed property, sanitizer, time-out) and the input's file.
      grep -m1 -B2 -A40 -E "FUZZ_CHECK|ERROR: |SUMMARY|timeout" "$log" || tail -n 60 "$log"
      grep -E "Test unit written to" "$log" || true
    else
      tail -n 8 "$log"
    fi
    exit "$status"
    ;;
  *) echo "usage: $0 build | list | run NAME [SECONDS]" >&2; exit 2 ;;
esac
