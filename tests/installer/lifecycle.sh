#!/bin/bash
# The Windows Installer package's life on a machine, in a fresh Wine prefix
# of its own: a silent install of an older package, the upgrade to this one,
# Lumbrex.Control created from VBScript with no regsvr32 and a round trip to
# the stand-in service, under the 64-bit and the 32-bit cscript; a 64-bit and
# a 32-bit program, started in a folder holding neither DLL, each loading its
# own lumbrex.dll by bare name; lumbrexctl from the system PATH through cmd, the
# downgrade refused, a rebuilt package of the same version that is the same
# product (no second entry; it repairs and removes what the first build
# installed), the Stand-ins feature added, a removal that leaves no file, key
# or PATH entry of ours and the service's configuration as it was, and a
# removal while a script holds the object, which closes no program.
# Where this machine runs no 32-bit program, the 32-bit runs say so in one line.
# Usage: lifecycle.sh BUILD_DIR WINE_RUN CLSID LIBID IID (the automation object's; WINE_RUN the
# build's launcher, which names the 64-bit loader and Wine's 64-bit programs; BUILD_DIR/x86 the
# 32-bit tree, whose launcher runs the 32-bit ones)
set -euo pipefail
source "$(dirname "$0")/../support/service_log.sh"
build=$1 wine=$2 clsid="{$3}" libid="{$4}" iid="{$5}"
here=$(cd "$(dirname "$0")" && pwd)
installer=$here/../../installer
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
work=$(mktemp -d /tmp/lumbrex-msi-test.XXXXXX)
export WINEPREFIX=$work/prefix LUMBREX_WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
service_pid=
finish() {
  [ -z "$service_pid" ] || kill -KILL "$service_pid" 2>/dev/null || true
  wineserver -k 2>/dev/null || true
  rm -rf "$work"
}
trap finish EXIT
die() { echo "FAIL: $*"; exit 1; }
step() { echo "== $*"; }
win() { "$wine" winepath -w "$1" 2>/dev/null | tr -d '\r'; }
msiexec() { # exit status of msiexec, its log in $work/msi.log
  local status=0
  "$wine" msiexec "$@" /qn /l*v "$(win "$work")\\msi.log" >/dev/null 2>&1 || status=$?
  return $status
}
key_exists() { "$wine" reg query "$1" /reg:"${2:-64}" >/dev/null 2>&1; }
wine32=$build/x86/wine-run.sh
source "$here/../../scripts/wine-env.sh" >/dev/null  # for wine32_ready
runs_32bit=1; skip_32bit=$(wine32_ready) || runs_32bit=
program_files=$WINEPREFIX/drive_c/Program\ Files/Lumbrex
system32=$WINEPREFIX/drive_c/windows/system32 syswow64=$WINEPREFIX/drive_c/windows/syswow64
our_keys=("HKLM\\Software\\Classes\\CLSID\\$clsid" 'HKLM\Software\Classes\Lumbrex.Control'
          'HKLM\Software\Classes\Lumbrex.Control.1' "HKLM\\Software\\Classes\\TypeLib\\$libid"
          "HKLM\\Software\\Classes\\Interface\\$iid" 'HKLM\Software\Lumbrex')
# The Uninstall entries named Lumbrex, one line each.
uninstall_entries() {
  "$wine" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null | tr -d '\r' |
    grep -E '^\s+DisplayName\s+REG_SZ\s+Lumbrex ' || true
}
system_path() {
  "$wine" reg query 'HKLM\System\CurrentControlSet\Control\Session Manager\Environment' /v PATH | tr -d '\r' | grep PATH
}

step "packages: $version and an older 0.9.0 holding a file this one lacks"
"$installer/stage.sh" "$build" "$work/stage"
"$installer/pack.sh" "$build/installer/lumbrex.wxs" "$work/stage" "$version" "$work/new.msi"
# The same version built again: another package code, the same product.
"$installer/pack.sh" "$build/installer/lumbrex.wxs" "$work/stage" "$version" "$work/rebuilt.msi"
echo "only in the older package" >"$work/stage/docs/only-in-0.9.0.md"
"$installer/pack.sh" "$build/installer/lumbrex.wxs" "$work/stage" 0.9.0 "$work/old.msi"
new=$(win "$work/new.msi") old=$(win "$work/old.msi") rebuilt=$(win "$work/rebuilt.msi")
property() { msiinfo export "$1" Property | tr -d '\r' | awk -v name="$2" '$1 == name {print $2}'; }
revision() { msiinfo suminfo "$1" | sed -n 's/^Revision number (UUID): //p'; }
[ "$(revision "$work/new.msi")" != "$(revision "$work/rebuilt.msi")" ] || die "two builds share a package code"
[ "$(property "$work/new.msi" ProductCode)" == "$(property "$work/rebuilt.msi" ProductCode)" ] ||
  die "two builds of $version are two products"
[ "$(property "$work/new.msi" ProductCode)" != "$(property "$work/old.msi" ProductCode)" ] ||
  die "0.9.0 and $version are one product: the upgrade would not replace it"

step "a fresh prefix, with a configuration the service stored"
"$wine" wineboot -i >/dev/null 2>&1
# Its setup session ends first: the Service Control Manager of the session
# that made the prefix never learns of services installed later in it.
wineserver -w
config="${LUMBREX_ROOT_KEY:?set by tests/CMakeLists.txt from src/common/names.h}\\MsiPlanted"
"$wine" reg add "$config\\IN" /v COM3 /t REG_SZ /d 'Real|9600,N,8,0|1|1' /f /reg:64 >/dev/null
before_path=$(system_path)

step "install 0.9.0, then upgrade to $version"
msiexec /i "$old" || die "installing 0.9.0 failed ($?)"
[ -f "$program_files/docs/only-in-0.9.0.md" ] || die "0.9.0 did not install its own file"
msiexec /i "$new" || die "the upgrade failed ($?)"
[ "$(uninstall_entries | wc -l)" -eq 1 ] || die "not one Uninstall entry after the upgrade: $(uninstall_entries)"
grep -q "Lumbrex $version" <<<"$(uninstall_entries)" || die "the Uninstall entry is not $version's: $(uninstall_entries)"
[ ! -e "$program_files/docs/only-in-0.9.0.md" ] || die "the upgrade left a file of 0.9.0"
for f in bin/lumbrex-automation.dll bin/x86/lumbrex-automation.dll bin/lumbrexctl.exe include/lumbrex.h \
         include/lumbrex_codes.h lib/lumbrex.lib lib/liblumbrex.dll.a lib/x86/lumbrex.lib lib/x86/liblumbrex.dll.a \
         lib/lumbrex.def lib/cmake/Lumbrex/LumbrexConfig.cmake examples/vba/Lumbrex.bas docs/install.md; do
  [ -f "$program_files/$f" ] || die "the default install lacks $f"
done
# Each bitness's library where only that bitness looks, and nowhere on PATH.
cmp -s "$system32/lumbrex.dll" "$work/stage/bin/lumbrex.dll" || die "System32 lacks the 64-bit lumbrex.dll"
cmp -s "$syswow64/lumbrex.dll" "$work/stage/bin/x86/lumbrex.dll" || die "SysWOW64 lacks the 32-bit lumbrex.dll"
[ -z "$(find "$program_files" -iname lumbrex.dll)" ] || die "a lumbrex.dll in Program Files, on PATH for both bitnesses"
[ ! -e "$program_files/bin/lumbrex-service.exe" ] || die "the stand-in service came without its feature"

step "Lumbrex.Control from VBScript under both cscripts, no regsvr32, against the stand-in service"
"$wine" "$build/bin/lumbrex-service.exe" --foreground >"$work/service.log" 2>&1 &
service_pid=$!
wait_for_serving "$work/service.log" || die "the stand-in service did not start"
cat >"$work/roundtrip.vbs" <<'VBS'
On Error Resume Next
Set lx = CreateObject("Lumbrex.Control")
If Err.Number <> 0 Then WScript.Echo "FAILED: CreateObject " & Hex(Err.Number) : WScript.Quit 1
lx.ConnectToLocalService
lx.AddBundle "MsiRoundTrip"
If Not lx.GetBundleState("MsiRoundTrip") Then WScript.Echo "FAILED: the bundle is not there" : WScript.Quit 1
lx.DeleteBundle "MsiRoundTrip"
If Err.Number <> 0 Then WScript.Echo "FAILED: " & Err.Description : WScript.Quit 1
WScript.Echo "ROUNDTRIP OK " & lx.Version
VBS
# The object names the library it loaded: the installed one, from the system
# folder (a 32-bit process sees SysWOW64 under System32's name).
for launcher in "$wine" ${runs_32bit:+"$wine32"}; do
  out=$("$launcher" cscript //nologo "$(win "$work/roundtrip.vbs")" 2>&1 | tr -d '\r') || true
  grep -qxF "ROUNDTRIP OK $version, lumbrex.dll $version (C:\windows\system32\lumbrex.dll)" <<<"$out" ||
    die "the script's round trip under $launcher cscript: $out"
done
[ -n "$runs_32bit" ] || echo "$skip_32bit"

step "a 64-bit and a 32-bit program, in a folder holding neither DLL, load their own lumbrex.dll by bare name"
mkdir "$work/elsewhere"
checks=("$wine" "$build/bin/lumbrex_load_check.exe" 64 x64)
[ -z "$runs_32bit" ] || checks+=("$wine32" "$build/x86/bin/lumbrex_load_check.exe" 32 x86)
for ((i = 0; i < ${#checks[@]}; i += 4)); do
  cp "${checks[i + 1]}" "$work/elsewhere/load_check.exe"
  out=$(cd "$work/elsewhere" && "${checks[i]}" ./load_check.exe 2>&1 | tr -d '\r') || die "${checks[i + 2]}-bit: $out"
  grep -qxF "lumbrex.dll ${checks[i + 3]} in a ${checks[i + 2]}-bit process: C:\windows\system32\lumbrex.dll, last error 0" \
    <<<"$out" || die "${checks[i + 2]}-bit: $out"
done
[ -n "$runs_32bit" ] || echo "$skip_32bit"
kill -INT "$service_pid" 2>/dev/null || true; wait "$service_pid" 2>/dev/null || true; service_pid=

step "lumbrexctl from the system PATH, through cmd in a folder without it"
grep -qF 'C:\Program Files\Lumbrex\bin' <<<"$(system_path)" || die "bin\\ is not on the system PATH: $(system_path)"
out=$(cd "$work" && "$wine" cmd /c 'cd /d C:\ && lumbrexctl --version' 2>&1 | tr -d '\r')
grep -q "^lumbrexctl $version" <<<"$out" || die "cmd /c lumbrexctl --version: $out"

step "the older package is refused"
if msiexec /i "$old"; then die "0.9.0 installed over $version"; fi
# Wine's msiexec logs no launch condition's text: the log shows why it
# failed, the package holds what Windows shows.
grep -q "WIX_DOWNGRADE_DETECTED = {" "$work/msi.log" || die "the refusal was not for the newer version installed"
grep -q "A newer version of Lumbrex is already installed" <<<"$(msiinfo export "$work/old.msi" LaunchCondition)" ||
  die "the package does not say why it refuses"
grep -q "Lumbrex $version" <<<"$(uninstall_entries)" || die "the refused downgrade touched $version"

step "a rebuilt package of $version: no second entry, and it repairs a deleted file"
msiexec /i "$rebuilt" || die "installing the rebuilt package failed ($?)"
[ "$(uninstall_entries | wc -l)" -eq 1 ] || die "the rebuilt package made another entry: $(uninstall_entries)"
rm "$program_files/bin/lumbrexctl.exe"
# /fva's own form: Wine's msiexec has no /f (with a product code it says so,
# with a package it finds no product). "v" takes the rebuilt package in place
# of the one the first build left in the installer's cache.
msiexec /i "$rebuilt" REINSTALL=ALL REINSTALLMODE=vamus || die "the repair failed ($?)"
[ -f "$program_files/bin/lumbrexctl.exe" ] || die "the repair did not restore lumbrexctl.exe"

step "the Stand-ins feature: a service that starts on demand"
msiexec /i "$new" ADDLOCAL=Standins || die "adding Stand-ins failed ($?)"
# Wine's sc has no qc: the service's key says how it starts (3: on demand).
service_key='HKLM\System\CurrentControlSet\Services\LumbrexService'
grep -q "REG_DWORD\s*0x3$" <<<"$("$wine" reg query "$service_key" /v Start 2>/dev/null | tr -d '\r')" ||
  die "LumbrexService is not a service that starts on demand"
"$wine" sc start LumbrexService >/dev/null 2>&1 || die "LumbrexService does not start ($?)"
out=$(cd "$work" && "$wine" cmd /c 'cd /d C:\ && lumbrexctl bundle state MsiPlanted' 2>&1 | tr -d '\r') || true
grep -q "MsiPlanted: present" <<<"$out" || die "the installed service does not answer: $out"

step "removal with the rebuilt package leaves nothing of ours and the service's configuration as it was"
msiexec /x "$rebuilt" || die "the removal failed ($?)"
[ ! -e "$program_files" ] || die "left in Program Files: $(cd "$program_files" && find . | head)"
[ ! -e "$system32/lumbrex.dll" ] && [ ! -e "$syswow64/lumbrex.dll" ] || die "a lumbrex.dll is left in a system folder"
for key in "${our_keys[@]}"; do
  for view in 64 32; do key_exists "$key" $view && die "left in the $view-bit view: $key"; done
done
[ -z "$(uninstall_entries)" ] || die "an Uninstall entry is left: $(uninstall_entries)"
[ "$(system_path)" == "$before_path" ] || die "PATH is not as before: $(system_path)"
key_exists "$service_key" && die "LumbrexService is left"
"$wine" reg query "$config\\IN" /v COM3 /reg:64 >/dev/null 2>&1 || die "the removal took the service's configuration"

step "ADDLOCAL=Tools alone brings the runtime with it"
msiexec /i "$new" ADDLOCAL=Tools || die "installing Tools alone failed ($?)"
for f in bin/lumbrex-automation.dll bin/x86/lumbrex-automation.dll bin/lumbrexctl.exe; do
  [ -f "$program_files/$f" ] || die "Tools alone lacks $f"
done
[ -f "$system32/lumbrex.dll" ] && [ -f "$syswow64/lumbrex.dll" ] || die "Tools alone lacks a lumbrex.dll"
[ ! -e "$program_files/include" ] || die "Tools alone installed the SDK"
for view in 64 32; do
  key_exists "HKLM\\Software\\Classes\\CLSID\\$clsid" $view || die "Tools alone left the $view-bit Lumbrex.Control unregistered"
done

step "removal while a script holds Lumbrex.Control: no program closed, no restart"
# A file in use is Windows Installer's to replace or remove at the next
# restart (exit 3010); the package forbids closing the holder or restarting.
[ "$(property "$work/new.msi" MSIRESTARTMANAGERCONTROL)" == Disable ] &&
  [ "$(property "$work/new.msi" REBOOT)" == ReallySuppress ] || die "the package may close programs or restart"
cat >"$work/hold.vbs" <<VBS
Set lx = CreateObject("Lumbrex.Control")
WScript.Echo "HOLDING " & lx.Version
Set fso = CreateObject("Scripting.FileSystemObject")
Do While Not fso.FileExists("$(win "$work")\\release")
Loop
WScript.Echo "STILL " & lx.Version
VBS
"$wine" cscript //nologo "$(win "$work/hold.vbs")" >"$work/hold.log" 2>&1 &
holder=$!
for _ in $(seq 150); do grep -qs HOLDING "$work/hold.log" && break; sleep 0.1; done
grep -q HOLDING "$work/hold.log" || { touch "$work/release"; die "the holding script did not start: $(cat "$work/hold.log")"; }
status=0; msiexec /x "$new" || status=$?
touch "$work/release"; wait "$holder" || true
[ "$status" -eq 0 ] || [ "$status" -eq 3010 ] || die "removing Tools alone with the object held failed ($status)"
grep -q "^STILL $version" "$work/hold.log" || die "the holding script did not run on: $(cat "$work/hold.log")"
key_exists "HKLM\\Software\\Classes\\CLSID\\$clsid" && die "the held object is still registered"
[ -z "$(uninstall_entries)" ] || die "an Uninstall entry is left: $(uninstall_entries)"
echo "PASS"
