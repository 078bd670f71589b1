#!/bin/bash
# The VBA module declares every export of lumbrex.h with matching parameter
# kinds (V VARIANT, O VARIANT*, I int, U int*), twice: with PtrSafe for VBA7
# (32-bit and 64-bit Office) and plain for VB6 and VBA6, each in its branch of
# "#If VBA7". A drift would make VBA pass the wrong thing on the stack, and a
# declaration outside both branches breaks one kind of host. No parameter may
# be named with a word VBA reserves: Office refuses to compile such a module
# and the import fails.
# usage: vba_module_check.sh HEADER MODULE
set -euo pipefail
fail() { echo "FAIL: $*"; exit 1; }
text=$(tr -d '\r' <"$2")
# The lines of each branch of "#If VBA7 Then ... #Else ... #End If".
branch() { awk -v want="$1" '/^#If VBA7 Then$/ {b = "vba7"; next} b && /^#Else$/ {b = "old"; next}
                              b && /^#End If$/ {b = ""; next} b == want && !/^'"'"'/' <<<"$text"; }
[ "$(grep -c '^#If VBA7 Then$' <<<"$text")" -eq 1 ] || fail "the module has not one #If VBA7 Then block"
vba7=$(branch vba7) old=$(branch old)
! grep -vE '^Public Declare PtrSafe Function ' <<<"$vba7" || fail "the VBA7 branch holds more than PtrSafe declarations"
! grep -vE '^Public Declare Function ' <<<"$old" || fail "the VB6 and VBA6 branch holds more than plain declarations"
[ "$(grep -cE "^[^']*Declare " <<<"$text")" -eq "$(($(wc -l <<<"$vba7") + $(wc -l <<<"$old")))" ] ||
  fail "a Declare outside the #If VBA7 branches"
[ "$(sed 's/Declare PtrSafe/Declare/' <<<"$vba7")" == "$old" ] || fail "the two branches declare different things"
declares=$vba7
words=(Type Public Private Sub Function End Dim As ByVal ByRef Optional Property Let Set Get Const
  Declare Lib Alias Variant Long Integer String Boolean Double Object Next For To Step Then If Else Loop
  Do While Wend With Select Case Call New Nothing Not And Or Xor Mod Is Like Me Error Date Print Open Close
  Input Output Name Len)
reserved=$(printf '%s\n' "${words[@]}")
bad=
for word in $(grep -oE '(ByVal|ByRef) [A-Za-z_][A-Za-z0-9_]*' <<<"$declares" | cut -d' ' -f2 | sort -u); do
  if grep -qixF "$word" <<<"$reserved"; then bad="$bad $word"; fi
done
[ -z "$bad" ] || fail "parameters named with a word VBA reserves:$bad"
header=$(tr '\n' ' ' <"$1" | grep -oE 'LUMBREX_CALL [A-Za-z]+\([^)]*\)' | sed -E '
  s/LUMBREX_CALL //; s/\(void\)/()/; s/VARIANT ?\* ?[A-Za-z]+/O/g; s/VARIANT [A-Za-z]+/V/g
  s/(unsigned )?int ?\* ?[A-Za-z]+/U/g; s/int [A-Za-z]+/I/g; s/[ ,]//g' | sort)
module=$(sed -E '
  s/^Public Declare PtrSafe Function ([A-Za-z]+) Lib "lumbrex\.dll" \((.*)\) As Long$/\1(\2)/
  s/ByRef [A-Za-z]+ As Variant/O/g; s/ByVal [A-Za-z]+ As Variant/V/g
  s/ByRef [A-Za-z]+ As Long/U/g; s/ByVal [A-Za-z]+ As Long/I/g; s/[ ,]//g' <<<"$declares" | sort)
[ "$(wc -l <<<"$header")" -eq 38 ] || fail "found $(wc -l <<<"$header") exports in $1, not 38"
diff <(echo "$header") <(echo "$module") && echo "OK: both branches of the VBA module declare the 38 exports as lumbrex.h does"
