#!/bin/bash
# The JSON Schema shipped with the configuration documents holds what
# lumbrexctl export writes: a configuration with every port type, fixed and
# dynamic parameters, masks, share permissions and stored options, planted in
# the registry as the service stores it, exported and validated; a document
# that breaks the system's rules is refused by the schema too.
# Usage: schema_test.sh WINE_RUN BIN_DIR SCHEMA
set -euo pipefail
wine_run=$1 bin=$2 schema=$3
root=${LUMBREX_ROOT_KEY:?set by tests/CMakeLists.txt from src/common/names.h} shared=${LUMBREX_SHARED_KEY:?}
work=$(mktemp -d /tmp/lumbrex-schema.XXXXXX)
clean() { "$wine_run" reg delete "$root\\SchemaPlant" /f /reg:64 >/dev/null 2>&1 || true
          "$wine_run" reg delete "$shared\\COM45" /f /reg:64 >/dev/null 2>&1 || true; }
trap 'clean; rm -rf "$work"' EXIT
die() { echo "FAIL: $*"; exit 1; }
add() { "$wine_run" reg add "$1" /v "$2" /t "$3" /d "$4" /f /reg:"${5:-64}" >/dev/null || die "reg add $1 $2"; }
clean
add "$root\\SchemaPlant" InMain REG_SZ COM41
add "$root\\SchemaPlant" OutMain REG_SZ ""
add "$root\\SchemaPlant\\IN" COM41 REG_SZ "Real|19200,E,7,1,X|1|0"
add "$root\\SchemaPlant\\IN" COM42 REG_SZ "Real||0|1"
add "$root\\SchemaPlant\\IN" CNCA3 REG_SZ "Virtual||1|1"
add "$root\\SchemaPlant\\OUT" COM45 REG_SZ "Shared||1|0"
add "$root\\SchemaPlant\\OUT" SW1 REG_SZ "Switcher||0|0"
add "$shared\\COM45\\Permissions" viewer.exe REG_DWORD 4
add "$root" AutoOpen REG_DWORD 1 32

"$wine_run" "$bin/lumbrexctl.exe" export "$("$wine_run" winepath -w "$work/exported.json" | tr -d '\r')" \
  >"$work/export.log" 2>&1 || { cat "$work/export.log"; die "lumbrexctl export failed"; }
validate() { python3 - "$schema" "$1" <<'PY'
import json, sys
import jsonschema
schema = json.load(open(sys.argv[1]))
document = json.load(open(sys.argv[2]))
jsonschema.Draft202012Validator.check_schema(schema)
errors = sorted(jsonschema.Draft202012Validator(schema).iter_errors(document), key=lambda e: list(e.path))
for error in errors:
    print("/".join(str(p) for p in error.path) + ": " + error.message)
sys.exit(1 if errors else 0)
PY
}
grep -q '"SchemaPlant"' "$work/exported.json" || { cat "$work/exported.json"; die "the export lacks the planted bundle"; }
validate "$work/exported.json" || { cat "$work/exported.json"; die "the exported document breaks the schema"; }
# Not a schema that takes anything: data bits 9 and an unknown member are refused.
python3 - "$work/exported.json" "$work/broken.json" <<'PY'
import json, sys
document = json.load(open(sys.argv[1]))
text = json.dumps(document).replace('"dataBits": 7', '"dataBits": 9', 1)
if text == json.dumps(document):
    sys.exit("no dataBits 7 to break")
broken = json.loads(text)
broken["colour"] = "red"
json.dump(broken, open(sys.argv[2], "w"))
PY
out=$(validate "$work/broken.json") && die "the schema took data bits 9 and an unknown member"
grep -q "dataBits" <<<"$out" && grep -q "colour" <<<"$out" || die "the schema's refusal misses one of the two: $out"
echo "PASS: the export validates against the schema; a broken document does not"
