#!/bin/bash
# lumbrex.dll as it ships: a PE32+ x86-64 DLL (with x86: a PE32 i386 one)
# that exports exactly the 38 names of lumbrex.def, plain and undecorated,
# imports only DLLs that come with Windows, keeps ASLR (high entropy, for
# 64 bits) and NX, and has a version resource naming the product.
# Usage: check_binary.sh OBJDUMP DLL DEF [x86]
set -u
dump=$("$1" -p "$2" 2>&1) || { echo "FAIL: objdump cannot read $2"; exit 1; }
fail=0
complain() { echo "FAIL: $*"; fail=1; }

bits="0x20:HIGH_ENTROPY_VA 0x40:DYNAMIC_BASE 0x100:NX_COMPAT"
if [ "${4:-}" = x86 ]; then
  grep -qE '^Magic[[:space:]]+010b' <<<"$dump" && grep -q 'pei-i386' <<<"$dump" || complain "not a PE32 i386 file"
  bits=${bits#* }
else
  grep -qE '^Magic[[:space:]]+020b' <<<"$dump" && grep -q 'pei-x86-64' <<<"$dump" || complain "not a PE32+ x86-64 file"
fi
chars=$(awk '/^DllCharacteristics/ {print $2}' <<<"$dump")
for bit in $bits; do (( 16#${chars:-0} & ${bit%%:*} )) || complain "${bit#*:} missing"; done

exports=$(awk '/\[Ordinal\/Name Pointer\] Table/ {on=1; next} on && /^[ \t]*\[/ {print $NF; next} on && NF==0 {on=0}' \
  <<<"$dump" | sort)
wanted=$(sed -n '/^EXPORTS/,$p' "$3" | sed 's/;.*//' | awk 'NF && $1 != "EXPORTS" {print $1}' | sort)
[ "$(wc -l <<<"$wanted")" -eq 38 ] || complain "$3 lists $(wc -l <<<"$wanted") names, not 38"
for name in $(comm -13 <(echo "$wanted") <(echo "$exports")); do complain "exports a name outside the 38: $name"; done
for name in $(comm -23 <(echo "$wanted") <(echo "$exports")); do complain "does not export $name"; done

# DLLs that ship with every Windows (the CRT msvcrt.dll among them).
system="kernel32.dll advapi32.dll oleaut32.dll ole32.dll mpr.dll shlwapi.dll msvcrt.dll user32.dll ntdll.dll ws2_32.dll"
for lib in $(awk '/DLL Name:/ {print tolower($3)}' <<<"$dump" | sort -u); do
  grep -qwF -- "$lib" <<<"$system" || complain "imports a DLL that is not part of Windows: $lib"
done
grep -qx Lumbrex <<<"$(strings -el "$2")" || complain "no version resource naming the product Lumbrex"
[ $fail -eq 0 ] && echo "OK: $(wc -w <<<"$exports") exports, imports only Windows DLLs" || echo REJECTED
exit $fail
