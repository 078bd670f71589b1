#!/bin/bash
# The VBA module declares every export of lumbrex.h with matching parameter
# kinds (V VARIANT, O VARIANT*, I int, U int*); a drift would make VBA pass
# the wrong thing on the stack. No parameter may be named with a word VBA
# reserves: Office refuses to compile such a module and the import fails.
# usage: vba_module_check.sh HEADER MODULE
set -euo pipefail
declares=$(tr -d '\r' <"$2" | grep -E '^Public Declare PtrSafe Function')
words=(Type Public Private Sub Function End Dim As ByVal ByRef Optional Property Let Set Get Const
  Declare Lib Alias Variant Long Integer String Boolean Double Object Next For To Step Then If Else Loop
  Do While Wend With Select Case Call New Nothing Not And Or Xor Mod Is Like Me Error Date Print Open Close
  Input Output Name Len)
reserved=$(printf '%s\n' "${words[@]}")
bad=
for word in $(grep -oE '(ByVal|ByRef) [A-Za-z_][A-Za-z0-9_]*' <<<"$declares" | cut -d' ' -f2 | sort -u); do
  if grep -qixF "$word" <<<"$reserved"; then bad="$bad $word"; fi
done
[ -z "$bad" ] || { echo "FAIL: parameters named with a word VBA reserves:$bad"; exit 1; }
header=$(tr '\n' ' ' <"$1" | grep -oE 'LUMBREX_CALL [A-Za-z]+\([^)]*\)' | sed -E '
  s/LUMBREX_CALL //; s/\(void\)/()/; s/VARIANT ?\* ?[A-Za-z]+/O/g; s/VARIANT [A-Za-z]+/V/g
  s/(unsigned )?int ?\* ?[A-Za-z]+/U/g; s/int [A-Za-z]+/I/g; s/[ ,]//g' | sort)
module=$(sed -E '
  s/^Public Declare PtrSafe Function ([A-Za-z]+) Lib "lumbrex\.dll" \((.*)\) As Long$/\1(\2)/
  s/ByRef [A-Za-z]+ As Variant/O/g; s/ByVal [A-Za-z]+ As Variant/V/g
  s/ByRef [A-Za-z]+ As Long/U/g; s/ByVal [A-Za-z]+ As Long/I/g; s/[ ,]//g' <<<"$declares" | sort)
[ "$(wc -l <<<"$header")" -eq 38 ] || { echo "FAIL: found $(wc -l <<<"$header") exports in $1, not 38"; exit 1; }
diff <(echo "$header") <(echo "$module") && echo "OK: the VBA module declares the 38 exports as lumbrex.h does"
