#!/bin/bash
# A signed build of the package: a throw-away certificate made with openssl,
# the package built with it, and every DLL and EXE inside and the package
# itself verified with osslsigncode against that certificate; an unsigned
# build carries no signature.
# Usage: signed.sh BUILD_DIR
set -euo pipefail
build=$1
installer=$(cd "$(dirname "$0")/../../installer" && pwd)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
work=$(mktemp -d /tmp/lumbrex-sign-test.XXXXXX)
trap 'rm -rf "$work"' EXIT
die() { echo "FAIL: $*"; exit 1; }
verify() { osslsigncode verify -CAfile "$work/cert.pem" -in "$1" >"$work/verify.log" 2>&1; }

openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Lumbrex test signing" \
  -addext "extendedKeyUsage=codeSigning" -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
"$installer/stage.sh" "$build" "$work/stage"
LUMBREX_SIGN_CERT=$work/cert.pem LUMBREX_SIGN_KEY=$work/key.pem \
  "$installer/pack.sh" "$build/installer/lumbrex.wxs" "$work/stage" "$version" "$work/signed.msi"
verify "$work/signed.msi" || { cat "$work/verify.log"; die "the package's signature does not verify"; }
msiextract -C "$work/extracted" "$work/signed.msi" >/dev/null
count=0
while IFS= read -r -d '' binary; do
  verify "$binary" || { cat "$work/verify.log"; die "${binary#$work/extracted/} is not signed"; }
  count=$((count + 1))
done < <(find "$work/extracted" \( -name '*.dll' -o -name '*.exe' \) -print0)
# Six in the package (bin\\, bin\\x86\\ and the two system folders); the two
# lumbrex.dll of the system folders extract to one path, the later one kept.
binaries=$(msiinfo export "$work/signed.msi" File | tr -d '\r' | awk -F'\t' '$3 ~ /\.(dll|exe)$/' | wc -l)
[ "$binaries" -eq 6 ] && [ "$count" -eq 5 ] || die "$binaries DLLs and EXEs in the package, $count extracted: not 6 and 5"
# The stage is not signed in place: an unsigned package stays unsigned.
"$installer/pack.sh" "$build/installer/lumbrex.wxs" "$work/stage" "$version" "$work/unsigned.msi"
verify "$work/unsigned.msi" && die "an unsigned build carries a signature"
# Half a configuration is refused, not silently unsigned.
LUMBREX_SIGN_CERT=$work/cert.pem "$installer/pack.sh" "$build/installer/lumbrex.wxs" "$work/stage" "$version" \
  "$work/half.msi" 2>/dev/null && die "a certificate without a key was taken"
echo "PASS: the package and its binaries verify ($count of $binaries extracted)"
