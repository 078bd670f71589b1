#!/bin/bash
# Native fuzzing of the plain code with libFuzzer + ASan + UBSan (clang 14).
#   scripts/fuzz.sh build                 build every fuzzer into build/fuzz
#   scripts/fuzz.sh run NAME [SECONDS]    run one fuzzer (default 20 s) from its
#                                         seed corpus fuzz/corpus/NAME
#   scripts/fuzz.sh list                  names of the fuzzers
# For a long run: scripts/fuzz.sh run NAME 14400 (new inputs go to
# build/fuzz/corpus/NAME; copy interesting ones into fuzz/corpus/NAME).
# A crash leaves its input in build/fuzz/artifacts/NAME/: make it a regression
# test (the seed corpus is replayed by every run).
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
    mkdir -p "$out/corpus/$name" "$out/artifacts/$name"
    "$out/fuzz_$name" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$out/artifacts/$name/" \
      "$out/corpus/$name" "fuzz/corpus/$name" 2>&1 | tail -n 12
    ;;
  *) echo "usage: $0 build | list | run NAME [SECONDS]" >&2; exit 2 ;;
esac
