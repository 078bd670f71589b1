#!/bin/bash
# The SDK as users get it: the zip unpacked away from this checkout, its layout and document links,
# import libraries of both bitnesses naming the 38 exports (the MSVC ones as code imports of the plain
# names), the examples built for 64 and 32 bits as docs/sdk.md says and run with the zip's own tools/
# (Wine launcher, stand-in service, in the build's prefix) on a configuration they must list. Where
# this machine runs no 32-bit program, the 32-bit runs say so in one line.
# Usage: consumer_test.sh BUILD_DIR WINE_RUN LLVM_NM LLVM_READOBJ
set -euo pipefail
source "$(dirname "$0")/../support/service_log.sh"
build=$1 wine_run=$2 nm=$3 readobj=$4
export LUMBREX_WINEPREFIX=${LUMBREX_WINEPREFIX:-$(sed -n 's/^LUMBREX_WINEPREFIX:PATH=//p' "$build/CMakeCache.txt")}
root=${LUMBREX_ROOT_KEY:?set by tests/CMakeLists.txt from src/common/names.h}
work=$(mktemp -d /tmp/lumbrex-sdk-test.XXXXXX)
service_pid=
plant() { "$wine_run" reg delete "$root\\SdkTestPlant" /f /reg:64 >/dev/null 2>&1 || true; }
trap '[ -z "$service_pid" ] || kill -KILL $service_pid 2>/dev/null; plant; rm -rf "$work"' EXIT
die() { echo "FAIL: $*"; exit 1; }
quiet() { local log=$work/step.log; "$@" >"$log" 2>&1 || { cat "$log"; die "$*"; }; }

quiet cpack -G ZIP -B "$work/package" --config "$build/CPackConfig.cmake"
unzip -q "$work"/package/lumbrex-*-win64.zip -d "$work/unpacked"
sdk=$(echo "$work"/unpacked/lumbrex-*-win64)
[ "$(ls "$work/unpacked")" == "$(basename "$sdk")" ] || die "the zip does not unpack into one folder of its own"
for f in {bin,bin/x86}/lumbrex{,-automation}.dll examples/vba/Lumbrex.bas examples/scripting/roundtrip.{vbs,js} \
         {lib,lib/x86}/{liblumbrex.dll.a,lumbrex.lib} lib/lumbrex.def include/lumbrex.h include/lumbrex_codes.h README.md \
         docs/configuration.md docs/lumbrex-config.schema.json lib/cmake/Lumbrex/LumbrexConfig.cmake \
         cmake/mingw-w64-{x86_64,i686}.cmake examples/CMakeLists.txt \
         tools/{lumbrexctl.exe,lumbrex.dll,lumbrex-service.exe,lumbrex-demo-driver.exe,fenwyck_standin.sys,wine-run.sh}; do
  [ -f "$sdk/$f" ] || die "the zip lacks $f"
done
# Only the SDK: no test programs, stand-ins or build leftovers.
extra=$(cd "$sdk" && find . -type f | grep -vE '^\./(bin/(x86/)?lumbrex[a-z-]*\.dll|include/lumbrex(_codes)?\.h|README\.md|docs/.*|examples/.*|cmake/mingw-w64-(x86_64|i686)\.cmake|tools/[a-z_-]+\.(exe|dll|sys|sh)|lib/((x86/)?(liblumbrex\.dll\.a|lumbrex\.lib)|lumbrex\.def|cmake/Lumbrex/[A-Za-z-]+\.cmake))$' || true)
[ -z "$extra" ] || die "unexpected files in the zip: $extra"
grep -q '^# lumbrex SDK' "$sdk/README.md" || die "the zip's README.md is not the SDK's own"
for doc in "$sdk"/README.md "$sdk"/docs/*.md; do  # relative links must hold inside the zip
  for target in $(grep -oE '\]\([^)#:]+' "$doc" | cut -c3-); do
    [ -e "$(dirname "$doc")/$target" ] || die "${doc#$sdk/} links to $target, which the zip lacks"
  done
done

want=$(sed -n '/^EXPORTS/,$p' "$sdk/lib/lumbrex.def" | sed 's/;.*//' | awk 'NF && $1 != "EXPORTS" {print $1}' | sort -u)
[ "$(wc -l <<<"$want")" -eq 38 ] || die "lumbrex.def does not list 38 distinct names"
# Each import library names the 38, whatever the decoration a 32-bit
# __stdcall name carries in the library (_AddBundle@16).
for lib in {lib,lib/x86}/{lumbrex.lib,liblumbrex.dll.a}; do
  [ "$("$nm" "$sdk/$lib" | awk '$3 ~ /^__imp_/ {print substr($3, 7)}' | sed -E 's/^_//; s/@[0-9]+$//' | sort -u)" == "$want" ] ||
    die "$lib does not import exactly the names of lumbrex.def"
done
# The MSVC ones: 38 code imports from lumbrex.dll of one architecture each,
# imported by the plain name (a 32-bit one undecorates _AddBundle@16).
for lib_arch in "lib x86_64 name" "lib/x86 i386 undecorate"; do
  read -r lib arch name_type <<<"$lib_arch"
  kinds=$("$readobj" "$sdk/$lib/lumbrex.lib" | grep -E '^(File|Format|Arch|Name type|Type):' | sort | uniq -c | awk '{$1=$1; print}')
  for line in "38 File: lumbrex.dll" "38 Format: COFF-import-file" "38 Name type: $name_type" "38 Type: code"; do
    grep -qx "$line" <<<"$kinds" || die "$lib/lumbrex.lib is not 38 code imports of plain names from lumbrex.dll: $kinds"
  done
  ! grep 'Arch:' <<<"$kinds" | grep -qv "Arch: $arch$" || die "$lib/lumbrex.lib is not $arch only: $kinds"
done

# A project built for this Linux machine is refused when it configures, with the reason.
out=$(cmake -G Ninja -S "$sdk/examples" -B "$work/native" -DCMAKE_PREFIX_PATH="$sdk" 2>&1) &&
  die "find_package(Lumbrex) accepted a native Linux build"
grep -q "Lumbrex is a Windows DLL, 64-bit or 32-bit" <<<"$out" || { echo "$out"; die "a native build is refused without the reason"; }
# The examples for each bitness, each program of the target's machine type
# with the DLL of that bitness beside it.
for bits_toolchain_arch in "64 x86_64 x86_64" "32 i686 i386"; do
  read -r bits toolchain arch <<<"$bits_toolchain_arch"
  quiet cmake -G Ninja -S "$sdk/examples" -B "$work/examples$bits" -DCMAKE_PREFIX_PATH="$sdk" \
    -DCMAKE_TOOLCHAIN_FILE="$sdk/cmake/mingw-w64-$toolchain.cmake"
  grep -qx "Lumbrex_DIR:PATH=$sdk/lib/cmake/Lumbrex" "$work/examples$bits/CMakeCache.txt" ||
    die "find_package found Lumbrex elsewhere"
  quiet cmake --build "$work/examples$bits"
  for file in lumbrex_c_example.exe lumbrex_cpp_example.exe lumbrex.dll; do
    grep -qx "Arch: $arch" <<<"$("$readobj" --file-headers "$work/examples$bits/$file")" || die "$bits-bit $file is not $arch"
  done
done
runs_32bit=1; skip_32bit=$(source "$(dirname "$0")/../../scripts/wine-env.sh" && wine32_ready) || runs_32bit=
mkdir "$work/alone" && cp "$work/examples64/lumbrex_c_example.exe" "$work/alone/"  # without its DLL
out=$("$sdk/tools/wine-run.sh" "$work/alone/lumbrex_c_example.exe" 2>&1) && die "ran without lumbrex.dll"
grep -q lumbrex.dll <<<"$out" || die "a missing lumbrex.dll does not name itself: $out"

# The service the examples change the configuration through; first no
# configuration at all, as on a machine whose service has stored nothing yet,
# then one they must list.
"$wine_run" reg delete "$root" /f /reg:64 >/dev/null 2>&1 || true
"$sdk/tools/wine-run.sh" "$sdk/tools/lumbrex-service.exe" --foreground >"$work/service.log" 2>&1 &
service_pid=$!
wait_for_serving "$work/service.log" || die "the service did not start"

run_example() { # [--fresh] exe, then lines its output must hold; the 64-bit and the 32-bit build
  local fresh= exe out line bits
  [ "$1" != --fresh ] || { fresh=1; shift; }
  exe=$1 && shift
  for bits in 64 ${runs_32bit:+32}; do
    [ -z "$fresh" ] || "$wine_run" reg delete "$root" /f /reg:64 >/dev/null 2>&1 || true
    out=$(cd "$work/examples$bits" && timeout 60 "$sdk/tools/wine-run.sh" "./$exe.exe" 2>&1) ||
      { echo "$out"; die "$bits-bit $exe failed"; }
    for line in "$@"; do grep -qF -- "$line" <<<"$out" || { echo "$out"; die "$bits-bit $exe: no line '$line'"; }; done
  done
}
run_example --fresh lumbrex_c_example "bundles: none (no configuration stored yet)" "C example: done"

regadd() { quiet "$wine_run" reg add "$root\\SdkTestPlant$1" /v "$2" /t REG_SZ /d "$3" /f /reg:64; }
regadd "" InMain COM3
regadd "" OutMain ""
regadd '\IN' COM3 "Real|9600,N,8,0|1|1"
regadd '\IN' COM4 "Real||1|0"
regadd '\OUT' CNCA1 "Virtual||1|1"
run_example lumbrex_c_example "  bundle SdkTestPlant" "    COM3: real, 9600 baud, parity N, 8 data bits, stop-bits code 0, flow -" \
  "read back: 19200 baud, parity 2, 7 data bits, stop-bits code 1, flow 1" "QKGetLastError() = 13" "C example: done"
run_example lumbrex_cpp_example "    COM4: real, permission mask 2, dynamic parameters" \
  "read back: parameters 115200,N,8,0,P, permission mask 2, main port COM8" "C++ example: done"
[ -n "$runs_32bit" ] || echo "$skip_32bit"
echo "OK: the SDK zip builds the examples for both bitnesses and runs them"
