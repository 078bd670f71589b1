#!/bin/bash
# Issue 8, point 3: the SDK as users get it. Makes the zip with cpack, unpacks
# it, checks its layout and the MSVC import library, builds examples/ against
# it with find_package (mingw toolchain, CMAKE_PREFIX_PATH = the unpacked SDK)
# and runs both examples under Wine against the stand-in service, after
# writing a configuration to the registry that they must list.
# Usage: consumer_test.sh SOURCE_DIR BUILD_DIR WINE_RUN SERVICE_EXE LLVM_NM LLVM_READOBJ
# Every failing step fails the test (exit 1); nothing outlives it.
set -euo pipefail
src=$1 build=$2 wine_run=$3 service_exe=$4 nm=$5 readobj=$6
root='HKLM\Software\OSTREL Software\Lumbrex'

work=$(mktemp -d /tmp/lumbrex-sdk-test.XXXXXX)
service_pid=
cleanup() {
  if [ -n "$service_pid" ] && kill -0 "$service_pid" 2>/dev/null; then
    kill -INT "$service_pid" 2>/dev/null || true
    for _ in $(seq 1 50); do kill -0 "$service_pid" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$service_pid" 2>/dev/null || true
    wait "$service_pid" 2>/dev/null || true
  fi
  # Our registry fixture goes with us (only the bundle this test made).
  "$wine_run" reg delete "$root\\SdkTestPlant" /f /reg:64 >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
step() { echo "== $*"; }
die() { echo "FAIL: $*"; exit 1; }

# --- 1. the zip users get ------------------------------------------------------
step "cpack (ZIP) from $build"
(cd "$build" && cpack -G ZIP -B "$work/package" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; die "cpack failed"; }
zip=$(ls "$work"/package/lumbrex-*-win64.zip 2>/dev/null | head -n1)
[ -n "$zip" ] || die "cpack made no lumbrex-*-win64.zip: $(ls "$work/package")"
echo "made $(basename "$zip")"
mkdir "$work/sdk"
unzip -q "$zip" -d "$work/sdk" || die "cannot unzip $zip"
sdk=$work/sdk

step "layout"
for f in bin/lumbrex.dll lib/liblumbrex.dll.a lib/lumbrex.lib lib/lumbrex.def include/lumbrex.h \
         lib/cmake/Lumbrex/LumbrexConfig.cmake lib/cmake/Lumbrex/LumbrexConfigVersion.cmake \
         lib/cmake/Lumbrex/LumbrexTargets.cmake docs/README.md docs/sdk.md examples/CMakeLists.txt; do
  [ -f "$sdk/$f" ] || die "the zip lacks $f (it holds: $(cd "$sdk" && find . -type f | sort | tr '\n' ' '))"
done
[ -d "$sdk/docs" ] || die "no docs/"
# Only the SDK: no test programs, stand-ins or build leftovers.
extra=$(cd "$sdk" && find . -type f | grep -vE '^\./(bin/lumbrex\.dll|bin/lumbrexctl\.exe|lib/(liblumbrex\.dll\.a|lumbrex\.lib|lumbrex\.def|cmake/Lumbrex/[A-Za-z-]+\.cmake)|include/lumbrex\.h|docs/.*|examples/.*)$' || true)
[ -z "$extra" ] || die "unexpected files in the zip: $extra"
echo "layout OK"

# --- 2. the import libraries name the 38 exports --------------------------------
want=$(sed -n '/^EXPORTS/,$p' "$sdk/lib/lumbrex.def" | sed 's/;.*//' | awk 'NF && $1 != "EXPORTS" {print $1}' | sort)
count=$(wc -l <<<"$want")
[ "$count" -eq "$(sort -u <<<"$want" | wc -l)" ] || die "lumbrex.def lists a name twice"
for lib in lumbrex.lib liblumbrex.dll.a; do
  step "$lib: import symbols"
  syms=$("$nm" "$sdk/lib/$lib" 2>&1) || die "$nm cannot read $lib: $syms"
  got=$(awk '$2 == "T" && $3 !~ /^__imp_/ {print $3}' <<<"$syms" | sort -u)
  imp=$(awk '$3 ~ /^__imp_/ {sub(/^__imp_/, "", $3); print $3}' <<<"$syms" | sort -u)
  [ "$got" == "$want" ] || die "$lib code symbols differ from lumbrex.def: $(diff <(echo "$want") <(echo "$got") | grep '^[<>]' | tr '\n' ' ')"
  [ "$imp" == "$want" ] || die "$lib __imp_ symbols differ from lumbrex.def: $(diff <(echo "$want") <(echo "$imp") | grep '^[<>]' | tr '\n' ' ')"
  echo "$lib: $count exports, each with its __imp_ pointer"
done
# The MSVC library: x86-64 COFF, one short import member per export, each
# code, imported by its plain name (Part 1.1: undecorated names).
kinds=$("$readobj" "$sdk/lib/lumbrex.lib" 2>&1 | grep -E '^(Format|Arch|Name type|Type):' | sort | uniq -c | awk '{$1=$1; print}')
grep -qx "$count Format: COFF-import-file" <<<"$kinds" || die "lumbrex.lib: not $count import members: $kinds"
grep -qx "$count Name type: name" <<<"$kinds" || die "lumbrex.lib: names not plain: $kinds"
grep -qx "$count Type: code" <<<"$kinds" || die "lumbrex.lib: not all code imports: $kinds"
grep -E '^[0-9]+ Arch:' <<<"$kinds" | grep -qvx '[0-9]* Arch: x86_64' && die "lumbrex.lib: not x86-64 only: $kinds"
msvc_syms=$("$nm" "$sdk/lib/lumbrex.lib")
grep -q '__IMPORT_DESCRIPTOR_lumbrex$' <<<"$msvc_syms" || die "lumbrex.lib has no import descriptor for lumbrex.dll"
# 38 once every Part has landed; until then the .def decides (Part 1.1).
[ "$count" -le 38 ] || die "$count exports listed, more than the 38 of Part 1.1"

# --- 3. build examples/ with find_package against the unpacked SDK --------------
step "configure the zip's examples/ with CMAKE_PREFIX_PATH=$sdk"
cmake -G Ninja -S "$sdk/examples" -B "$work/examples" \
  -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-w64-x86_64.cmake" -DCMAKE_PREFIX_PATH="$sdk" \
  -DCMAKE_BUILD_TYPE=Release >"$work/configure.log" 2>&1 || { cat "$work/configure.log"; die "configure failed"; }
found=$(grep -o 'Lumbrex_DIR:PATH=.*' "$work/examples/CMakeCache.txt" || true)
[ "$found" == "Lumbrex_DIR:PATH=$sdk/lib/cmake/Lumbrex" ] || die "find_package found Lumbrex elsewhere: $found"
step "build examples/"
cmake --build "$work/examples" >"$work/build.log" 2>&1 || { cat "$work/build.log"; die "the examples do not build"; }
cp "$sdk/bin/lumbrex.dll" "$work/examples/"
for exe in lumbrex_c_example lumbrex_cpp_example; do
  [ -f "$work/examples/$exe.exe" ] || die "no $exe.exe"
done

# --- 4. a configuration, the stand-in service, and the examples under Wine -------
step "registry fixture: bundle SdkTestPlant"
"$wine_run" reg delete "$root\\SdkTestPlant" /f /reg:64 >/dev/null 2>&1 || true
regadd() { "$wine_run" reg add "$@" /f /reg:64 >/dev/null 2>&1 || die "reg add $*"; }
regadd "$root\\SdkTestPlant" /v InMain /t REG_SZ /d COM3
regadd "$root\\SdkTestPlant" /v OutMain /t REG_SZ /d ""
regadd "$root\\SdkTestPlant\\IN" /v COM3 /t REG_SZ /d "Real|9600,N,8,0|1|1"
regadd "$root\\SdkTestPlant\\IN" /v COM4 /t REG_SZ /d "Real||1|0"
regadd "$root\\SdkTestPlant\\OUT" /v CNCA1 /t REG_SZ /d "Virtual||1|1"

step "start $service_exe --foreground"
"$wine_run" "$service_exe" --foreground >"$work/service.log" 2>&1 &
service_pid=$!
for _ in $(seq 1 150); do
  grep -q "serving" "$work/service.log" && break
  kill -0 "$service_pid" 2>/dev/null || { cat "$work/service.log"; die "the service ended early"; }
  sleep 0.1
done
grep -q "serving" "$work/service.log" || { cat "$work/service.log"; die "the service did not start within 15 s"; }

run_example() { # name, then the lines its output must hold
  local exe=$1; shift
  step "run $exe.exe"
  local out code=0
  out=$(cd "$work/examples" && timeout 60 "$wine_run" "./$exe.exe" 2>&1) || code=$?
  echo "$out"
  [ "$code" -eq 0 ] || die "$exe exited with $code"
  local line
  for line in "$@"; do
    grep -qF -- "$line" <<<"$out" || die "$exe: no line with '$line'"
  done
}
run_example lumbrex_c_example \
  "connected to the local service" "  bundle SdkTestPlant" \
  "    COM3: real, 9600 baud, parity N, 8 data bits, stop-bits code 0, flow -" \
  "    COM4: real, dynamic parameters" "    CNCA1: virtual" \
  "read back: 19200 baud, parity 2, 7 data bits, stop-bits code 1, flow 1" \
  "parity 7 refused as expected, QKGetLastError() = 13" "deleted bundle SdkExampleC" "C example: done"
run_example lumbrex_cpp_example \
  "connected to the local service" "  SdkTestPlant" \
  "    COM3 (main): real, permission mask 3, parameters 9600,N,8,0" \
  "    COM4: real, permission mask 2, dynamic parameters" "    CNCA1: virtual, permission mask 3" \
  "read back: parameters 115200,N,8,0,P, permission mask 2, main port COM8" \
  "deleted bundle SdkExampleCpp" "C++ example: done"

# The examples' changes went through the service, and they cleaned up.
grep -q "SET_RPORT_PARAMS SdkExampleC,In,COM9,19200-E-7-1-X|1|1 -> OK" "$work/service.log" || \
  { cat "$work/service.log"; die "the service did not log the C example's SET_RPORT_PARAMS"; }
left=$("$wine_run" reg query "$root" /reg:64 2>/dev/null | tr -d '\r' | grep -E 'SdkExample(C|Cpp)$' || true)
[ -z "$left" ] || die "the examples left their bundles behind: $left"
echo "OK: the SDK zip builds and runs the examples"
