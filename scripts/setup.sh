#!/bin/bash
# Makes a Debian 12 machine ready to build, demo and test: installs the
# packages below that are missing, then checks that every tool the scripts
# call answers. Idempotent: a machine that has everything installs nothing.
# Recommended packages are never relied on: Debian's wine64 only recommends
# `wine`, the package that holds /usr/bin/wine, so it is named here.
set -euo pipefail

# package -> what needs it
packages=(
  cmake                       # configure, build, ctest, cpack
  ninja-build                 # the generator of the preset
  gcc-mingw-w64-x86-64-posix  # the cross C compiler, posix threads (std::mutex)
  g++-mingw-w64-x86-64-posix  # the cross C++ compiler, posix threads
  binutils-mingw-w64-x86-64   # windres, dlltool, objdump, strip for the DLL
  gcc-mingw-w64-i686-posix    # the 32-bit DLLs (build/x86), for 32-bit hosts
  g++-mingw-w64-i686-posix
  binutils-mingw-w64-i686     # their dlltool, objdump and strip
  mingw-w64-tools             # widl, the type library compiler of the automation object
  wine                        # /usr/bin/wine, wineboot, the launchers
  wine64                      # the 64-bit loader
  googletest                  # GoogleTest sources, built with the cross compiler
  libcli11-dev                # lumbrexctl's command line (header-only)
  nlohmann-json3-dev          # lumbrexctl's JSON output (header-only)
  clang-14                    # native builds of the plain code (fuzzers, sanitizers)
  llvm-14                     # llvm-dlltool (the MSVC import library), llvm-nm and llvm-readobj (the SDK check)
  libclang-rt-14-dev          # libFuzzer and the sanitizer runtimes
  binutils                    # strings, for the binary check
  unzip                       # the SDK consumer check and the benchmark unpack the zip
  wixl                        # wixl and wixl-heat: the Windows Installer package from its WiX source
  msitools                    # msibuild (the package's PATH entry), msiextract and msiinfo (its checks)
  osslsigncode                # Authenticode signatures of the package and its binaries
  openssl                     # the throw-away certificate of the signing check
  python3-jsonschema          # the check of exported configuration documents against their JSON Schema
)

say() { echo "setup: $*"; }
as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; return; fi
  command -v sudo >/dev/null || { say "FAILED: need root (or sudo) to run: $*"; exit 1; }
  sudo "$@"
}

missing=()
for entry in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$entry" 2>/dev/null || true)
  [[ $status == *"install ok installed"* ]] || missing+=("$entry")
done
# 32-bit Wine runs the 32-bit DLLs' tests; it comes from Debian's i386
# architecture, and only where the kernel runs 32-bit programs (on any other,
# it would break every Wine call, 64-bit ones too).
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
wine32=
if kernel_runs_32bit; then
  status=$(dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null || true)
  [[ $status == *"install ok installed"* ]] || { wine32=wine32:i386; missing+=("$wine32"); }
else
  say "32-bit runs skipped: this machine's kernel runs no 32-bit program, so 32-bit Wine is not installed"
fi
if [ ${#missing[@]} -gt 0 ]; then
  say "installing ${#missing[@]} missing packages: ${missing[*]}"
  if [ -n "$wine32" ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    say "adding Debian's i386 architecture (32-bit Wine)"
    as_root dpkg --add-architecture i386 || { say "FAILED: dpkg --add-architecture i386"; exit 1; }
  fi
  say "updating the package lists"
  as_root apt-get update -qq || { say "FAILED: apt-get update"; exit 1; }
  say "downloading and installing (a first run takes a few minutes)"
  if ! as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
        "${missing[@]}" >/tmp/lumbrex-setup-apt.log 2>&1; then
    tail -n 5 /tmp/lumbrex-setup-apt.log
    say "FAILED: apt-get install ${missing[*]} (log: /tmp/lumbrex-setup-apt.log)"
    exit 1
  fi
  say "packages installed"
fi

# tool -> the package that brings it
tools=(
  cmake:cmake ctest:cmake cpack:cmake ninja:ninja-build
  x86_64-w64-mingw32-gcc-posix:gcc-mingw-w64-x86-64-posix
  x86_64-w64-mingw32-g++-posix:g++-mingw-w64-x86-64-posix
  x86_64-w64-mingw32-windres:binutils-mingw-w64-x86-64
  x86_64-w64-mingw32-dlltool:binutils-mingw-w64-x86-64
  x86_64-w64-mingw32-objdump:binutils-mingw-w64-x86-64
  x86_64-w64-mingw32-strip:binutils-mingw-w64-x86-64
  x86_64-w64-mingw32-widl:mingw-w64-tools
  i686-w64-mingw32-g++-posix:g++-mingw-w64-i686-posix i686-w64-mingw32-dlltool:binutils-mingw-w64-i686
  wine:wine wineboot:wine wineserver:wine
  clang++-14:clang-14 llvm-dlltool-14:llvm-14 llvm-nm-14:llvm-14 llvm-readobj-14:llvm-14
  strings:binutils
  unzip:unzip
  wixl:wixl wixl-heat:wixl msibuild:msitools msiextract:msitools
  osslsigncode:osslsigncode openssl:openssl
)
for entry in "${tools[@]}"; do
  tool=${entry%%:*} package=${entry#*:}
  if ! command -v "$tool" >/dev/null; then
    # Installed but the file is gone (removed by hand): only a reinstall brings it back.
    say "FAILED: $tool is missing; install it with: apt-get install --reinstall $package"
    exit 1
  fi
done
[ -f /usr/include/CLI/CLI.hpp ] || { say "FAILED: CLI11 is missing; install it with: apt-get install --reinstall libcli11-dev"; exit 1; }
[ -f /usr/include/nlohmann/json.hpp ] || { say "FAILED: nlohmann-json is missing; install it with: apt-get install --reinstall nlohmann-json3-dev"; exit 1; }
python3 -c 'import jsonschema' 2>/dev/null || { say "FAILED: python3's jsonschema is missing; install it with: apt-get install --reinstall python3-jsonschema"; exit 1; }
[ -d /usr/src/googletest/googletest ] || { say "FAILED: /usr/src/googletest is missing; install it with: apt-get install googletest"; exit 1; }
[ -n "$(find /usr/lib/llvm-14/lib/clang -name 'libclang_rt.fuzzer-x86_64.a' 2>/dev/null | head -n 1)" ] \
  || { say "FAILED: libFuzzer is missing; install it with: apt-get install libclang-rt-14-dev"; exit 1; }
if kernel_runs_32bit && [ ! -x /usr/lib/wine/wine ]; then
  say "FAILED: Wine's 32-bit loader /usr/lib/wine/wine is missing; install it with: apt-get install --reinstall wine32:i386"
  exit 1
fi
say "every package and tool is there"
