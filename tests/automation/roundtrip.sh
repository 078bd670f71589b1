#!/bin/bash
# A script's round trip through Lumbrex.Control under Wine's cscript against
# the stand-in service, between registering (regsvr32 /n /i:user) and
# unregistering with no key of ours left. Wine's COM finds classes in
# HKLM\Software\Classes only, so the per-user registration leaves a marked
# copy there; its removal must take that copy back, and only that copy.
# Usage: roundtrip.sh WINE_RUN BIN_DIR SCRIPT CLSID LIBID IID (the object's, from the IDL)
set -euo pipefail
source "$(dirname "$0")/../support/service_log.sh"
wine_run=$1 bin=$2 script=$3 clsid="{$4}" libid="{$5}" iid="{$6}"
service_pid= log=
die() { echo "FAIL: $*"; exit 1; }
win() { "$wine_run" winepath -w "$1" | tr -d '\r'; }
dll=$(win "$bin/lumbrex-automation.dll")
regsvr() { "$wine_run" regsvr32 /s "$@" "$dll" >/dev/null 2>&1; }
# The keys of ours under one root (HKCU or HKLM) that exist.
our_keys() {
  local key
  for key in "CLSID\\$clsid" Lumbrex.Control Lumbrex.Control.1; do
    if "$wine_run" reg query "$1\\Software\\Classes\\$key" >/dev/null 2>&1; then echo "$1\\...\\$key"; fi
  done
}
finish() {
  if [ -n "$service_pid" ]; then kill -INT "$service_pid" 2>/dev/null || true; wait "$service_pid" 2>/dev/null || true; fi
  regsvr /u || true
  regsvr /u /n /i:user || true
  [ -z "$log" ] || rm -f "$log"
}
trap finish EXIT

regsvr /n /i:user || die "regsvr32 /n /i:user failed"
[ "$(our_keys HKCU | wc -l)" -eq 3 ] || die "per-user registration lacks keys: $(our_keys HKCU)"
# Read whole before grep: with pipefail, grep -q leaving early would fail the
# pipe whenever reg is still writing.
model=$("$wine_run" reg query "HKCU\\Software\\Classes\\CLSID\\$clsid\\InprocServer32" /v ThreadingModel)
grep -q Both <<<"$model" ||
  die "ThreadingModel is not Both"
[ "$(our_keys HKLM | wc -l)" -eq 3 ] || die "no copy where Wine's COM looks: $(our_keys HKLM)"

# Under Wine's cscript a runtime error ends a script silently with status 0:
# only its last line counts.
run_script() { "$wine_run" cscript //nologo "$(win "$script")" 2>&1 | tr -d '\r' || true; }

# No service yet: the script reports the object's own error for the connect.
out=$(run_script)
grep -qx "FAILED: .*is the service running?.*(80040202.*" <<<"$out" ||
  { echo "$out"; die "without a service the script does not report the connect's error"; }

log=$(mktemp /tmp/lumbrex-roundtrip.XXXXXX)
"$wine_run" "$bin/lumbrex-service.exe" --foreground >"$log" 2>&1 &
service_pid=$!
# The script connects once: wait until the service serves its pipe.
wait_for_serving "$log" || die "the service did not start"
# The stand-in port-sharing driver reports these two applications holding
# COM70 open; the script prints what SharedGetPortApplications gives for it.
"$wine_run" "$bin/lumbrex-demo-driver.exe" COM70 terminal.exe logger.exe || die "the stand-in driver did not load"
out=$(run_script)
echo "$out"
grep -qx "ROUNDTRIP OK" <<<"$out" || die "the script did not finish"
grep -qx "COM70 is held open by: terminal.exe(1) logger.exe(2)" <<<"$out" ||
  die "the script did not read the driver's two rows for COM70"
# The object's version, then the lumbrex.dll the process loaded: the build's.
grep -qxE "Lumbrex\.Control [0-9]+\.[0-9]+\.[0-9]+, lumbrex\.dll [0-9]+\.[0-9]+\.[0-9]+ \(.*\\lumbrex\.dll\)" <<<"$out" ||
  die "the script did not read the object's and the library's versions"

regsvr /u /n /i:user || die "regsvr32 /u /n /i:user failed"
left=$(our_keys HKCU; our_keys HKLM)
[ -z "$left" ] || die "keys left after unregistering: $left"
for root in HKCU HKLM; do
  for key in "TypeLib\\$libid" "Interface\\$iid"; do
    ! "$wine_run" reg query "$root\\Software\\Classes\\$key" >/dev/null 2>&1 || die "$root $key left"
  done
done

# A machine registration, made before or after the user's, is not the
# user's to remove.
for order in "machine user" "user machine"; do
  for scope in $order; do
    if [ "$scope" = machine ]; then regsvr || die "regsvr32 failed ($order)"
    else regsvr /n /i:user || die "regsvr32 /n /i:user failed ($order)"; fi
  done
  regsvr /u /n /i:user || die "regsvr32 /u /n /i:user failed ($order)"
  [ "$(our_keys HKLM | wc -l)" -eq 3 ] || die "the per-user removal took machine keys ($order): $(our_keys HKLM)"
  regsvr /u || die "regsvr32 /u failed"
  left=$(our_keys HKCU; our_keys HKLM)
  [ -z "$left" ] || die "keys left after unregistering ($order): $left"
done
echo "PASS"
