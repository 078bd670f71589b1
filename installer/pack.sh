#!/bin/bash
# Builds the Lumbrex Windows Installer package from a staged folder
# (stage.sh): the SDK's files become components of their own (wixl-heat),
# wixl builds the package, and msibuild adds what wixl cannot express: the
# system PATH entry for bin\ that the Tools feature carries.
# With LUMBREX_SIGN_CERT and LUMBREX_SIGN_KEY (PEM files; the key may be
# encrypted, its password in LUMBREX_SIGN_PASSWORD) every DLL and EXE is
# signed before it goes in, then the package itself, with osslsigncode;
# LUMBREX_SIGN_TIMESTAMP names a timestamp server (optional).
# Usage: pack.sh WXS STAGE_DIR VERSION OUT.msi
set -euo pipefail
wxs=$1 stage=$2 version=$3 out=$4
[[ $version =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || { echo "pack.sh: VERSION must be N.N.N, not '$version'" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

sign() { # FILE: signed in place
  [ -n "${LUMBREX_SIGN_CERT:-}" ] || return 0
  local args=(-certs "$LUMBREX_SIGN_CERT" -key "$LUMBREX_SIGN_KEY" -n Lumbrex)
  [ -z "${LUMBREX_SIGN_PASSWORD:-}" ] || args+=(-pass "$LUMBREX_SIGN_PASSWORD")
  [ -z "${LUMBREX_SIGN_TIMESTAMP:-}" ] || args+=(-t "$LUMBREX_SIGN_TIMESTAMP")
  osslsigncode sign "${args[@]}" -in "$1" -out "$work/signed" >/dev/null
  mv "$work/signed" "$1"
}
if [ -n "${LUMBREX_SIGN_CERT:-}" ] || [ -n "${LUMBREX_SIGN_KEY:-}" ]; then
  for f in LUMBREX_SIGN_CERT LUMBREX_SIGN_KEY; do
    [ -f "${!f:-}" ] || { echo "pack.sh: signing needs both LUMBREX_SIGN_CERT and LUMBREX_SIGN_KEY; $f is '${!f:-}'" >&2; exit 2; }
  done
fi

# Signing changes the files: a copy is signed, the stage stays as built.
cp -r "$stage" "$work/stage"
while IFS= read -r -d '' binary; do sign "$binary"; done < <(find "$work/stage" -name '*.dll' -print0 -o -name '*.exe' -print0)

(cd "$work/stage" && find include lib docs examples -type f | sort) |
  sed 's|^|stage/|' | (cd "$work" && wixl-heat -p stage/ --directory-ref INSTALLDIR --component-group SdkFiles \
                                      --var var.Stage --win64) >"$work/sdk-files.wxs"
# wixl reads each Source relative to where it runs.
cp "$wxs" "$work/lumbrex.wxs"
upgrade_code=$(grep -oE 'UpgradeCode="\{[0-9a-fA-F-]+\}"' "$wxs" | tr -d '{}"' | cut -d= -f2)
product_code=$(cmake -D UPGRADE_CODE="$upgrade_code" -D VERSION="$version" -P "$(dirname "$0")/product_code.cmake")
(cd "$work" && wixl -a x64 -D Version="$version" -D ProductCode="$product_code" -D Stage=stage -D Win64=yes \
                    -I "$(cd "$(dirname "$wxs")" && pwd)" -o lumbrex.msi lumbrex.wxs sdk-files.wxs)

# The PATH entry: "=-*" sets a system variable at install and removes what it
# added at removal; ";[~]" keeps the value already there, behind bin\. Put in
# front, not appended: Wine's msiexec removes an appended entry but not its
# ";", and the empty entry an upgrade then leaves in PATH stops cmd from
# finding programs.
msibuild "$work/lumbrex.msi" -q "CREATE TABLE \`Environment\` (\`Environment\` CHAR(72) NOT NULL, \`Name\` CHAR(255) NOT NULL LOCALIZABLE, \`Value\` CHAR(255) LOCALIZABLE, \`Component_\` CHAR(72) NOT NULL PRIMARY KEY \`Environment\`)" \
  -q "INSERT INTO \`Environment\` (\`Environment\`, \`Name\`, \`Value\`, \`Component_\`) VALUES ('LumbrexPath', '=-*PATH', '[BINDIR];[~]', 'Lumbrexctl')" \
  -q "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Sequence\`) VALUES ('RemoveEnvironmentStrings', 3300)" \
  -q "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Sequence\`) VALUES ('WriteEnvironmentStrings', 5200)"
sign "$work/lumbrex.msi"
mv "$work/lumbrex.msi" "$out"
