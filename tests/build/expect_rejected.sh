#!/bin/bash
# Runs check_binary.sh on a deliberately bad DLL and passes only if the check
# fails for each of the planted faults.
set -u
out=$("$(dirname "$0")/check_binary.sh" "$@")
status=$?
echo "$out"
[ $status -ne 0 ] || { echo "FAIL: the bad DLL was accepted"; exit 1; }
for want in "exports a name outside the 38: NotALumbrexExport" \
            "imports a DLL that is not part of Windows: bad_helper.dll" \
            "HIGH_ENTROPY_VA missing" "DYNAMIC_BASE missing" "NX_COMPAT missing"; do
  grep -qF -- "$want" <<<"$out" || { echo "FAIL: not reported: $want"; exit 1; }
done
echo "OK: every planted fault reported"
