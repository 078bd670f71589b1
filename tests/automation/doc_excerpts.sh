#!/bin/bash
# The scripting guide quotes the example scripts in its VBScript and JScript
# sections; a reader copies those lines, so each quoted block must still be
# a verbatim stretch of the script the SDK ships.
# Usage: doc_excerpts.sh GUIDE SECTION SCRIPT [SECTION SCRIPT ...]
set -euo pipefail
guide=$1; shift
fail=0
while [ $# -ge 2 ]; do
  section=$1 script=$2; shift 2
  text=$(tr -d '\r' <"$script")
  # Each fenced block under "## SECTION" (up to the next "## " heading),
  # ended by a record separator.
  blocks=$(awk -v want="## $section" '
    /^## / { inside = ($0 == want) }
    inside && /^```/ { if (open) { printf "%s\036", body; open = 0 } else { open = 1; body = "" }; next }
    inside && open { body = body $0 "\n" }' <(tr -d '\r' <"$guide"))
  count=0
  while IFS= read -r -d $'\036' block; do
    count=$((count + 1))
    block=${block%$'\n'}
    if [[ "$text" != *"$block"* ]]; then
      echo "FAIL: block $count of \"## $section\" is not in $(basename "$script"):"
      # The first quoted line the script lacks shows where they part.
      while IFS= read -r line; do
        grep -qxF -- "$line" <<<"$text" || { echo "  first line not in the script: $line"; break; }
      done <<<"$block"
      fail=1
    fi
  done < <(printf '%s' "$blocks")
  [ "$count" -gt 0 ] || { echo "FAIL: no quoted block under \"## $section\""; fail=1; }
  [ "$fail" -ne 0 ] || echo "OK: the $count blocks of \"## $section\" are in $(basename "$script")"
done
exit "$fail"
