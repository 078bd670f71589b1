#!/bin/bash
# The VBA module declares every export of lumbrex.h with matching parameter
# kinds (V VARIANT, O VARIANT*, I int, U int*); a drift would make VBA pass
# the wrong thing on the stack. usage: vba_module_check.sh HEADER MODULE
set -euo pipefail
header=$(tr '\n' ' ' <"$1" | grep -oE 'LUMBREX_CALL [A-Za-z]+\([^)]*\)' | sed -E '
  s/LUMBREX_CALL //; s/\(void\)/()/; s/VARIANT ?\* ?[A-Za-z]+/O/g; s/VARIANT [A-Za-z]+/V/g
  s/(unsigned )?int ?\* ?[A-Za-z]+/U/g; s/int [A-Za-z]+/I/g; s/[ ,]//g' | sort)
module=$(tr -d '\r' <"$2" | grep -E '^Public Declare PtrSafe Function' | sed -E '
  s/^Public Declare PtrSafe Function ([A-Za-z]+) Lib "lumbrex\.dll" \((.*)\) As Long$/\1(\2)/
  s/ByRef [A-Za-z]+ As Variant/O/g; s/ByVal [A-Za-z]+ As Variant/V/g
  s/ByRef [A-Za-z]+ As Long/U/g; s/ByVal [A-Za-z]+ As Long/I/g; s/[ ,]//g' | sort)
[ "$(wc -l <<<"$header")" -eq 38 ] || { echo "FAIL: found $(wc -l <<<"$header") exports in $1, not 38"; exit 1; }
diff <(echo "$header") <(echo "$module") && echo "OK: the VBA module declares the 38 exports as lumbrex.h does"
