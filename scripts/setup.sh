#!/bin/bash
# Installs what the build and the tests need on Debian 12, only what is
# missing (idempotent, quiet).
set -euo pipefail
packages=(cmake ninja-build g++-mingw-w64-x86-64 wine64 googletest binutils clang-14 llvm-14 libclang-rt-14-dev zip)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
