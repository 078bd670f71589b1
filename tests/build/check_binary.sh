#!/bin/bash
# Issue 2 / Part 1.1: lumbrex.dll is a PE32+ x86-64 DLL that exports only the
# 38 names of Part 1.1 (exactly those listed in the .def), imports only
# Windows system DLLs, keeps ASLR (high entropy), NX, and a VERSIONINFO.
# Usage: check_binary.sh OBJDUMP DLL DEF
set -u
objdump=$1 dll=$2 def=$3
fail=0
complain() { echo "FAIL: $*"; fail=1; }

allowed_exports="ConnectToLocalService ConnectToRemoteService DisconnectFromService AddBundle DeleteBundle
GetBundleState BundleAddPort BundleDeletePort BundleGetPortState BundleSetMainPortForSide BundleUpdateSettings
GetBundlesNames GetPortsNamesByBundleAndSide BundleGetMainPortForSide GetRealPortsList BundleGetPortType
OptionSetOnlyMainPortCanSend OptionSetIgnoreErrors OptionSetAutoOpenPort OptionSetBaudrateEmulation
OptionSetPortToPrint OptionGetIfSendToMainSet OptionGetIgnoreErrorsOnPortCreation OptionGetPortsAutoOpen
OptionGetBaudrateEmulation OptionGetPortToPrint BundleRealPortAreParametersDynamic BundleGetRealPortParameters
BundleSetRealPortParameters BundleSetDynamicParametersForRealPort BundlePortSetPermissions
BundlePortGetPermissions SharedPortSetPermissionsForApp SharedSetDefaultPermissions SharedPortGetAppPermissions
SharedDelAllPermissions SharedGetPortApplications QKGetLastError"
# DLLs that ship with every Windows (the CRT msvcrt.dll among them).
allowed_imports="kernel32.dll advapi32.dll oleaut32.dll ole32.dll mpr.dll shlwapi.dll msvcrt.dll user32.dll
ntdll.dll ws2_32.dll"

dump=$("$objdump" -p "$dll" 2>&1) || { echo "FAIL: objdump could not read $dll"; exit 1; }

grep -q 'file format pei-x86-64' <<<"$dump" || complain "not a PE32+ x86-64 file"
grep -qE '^Magic[[:space:]]+020b' <<<"$dump" || complain "optional header magic is not PE32+ (020b)"
chars=$(awk '/^DllCharacteristics/ {print $2}' <<<"$dump")
[ -n "$chars" ] || complain "no DllCharacteristics"
c=$((16#${chars:-0}))
(( c & 0x20 )) || complain "HIGH_ENTROPY_VA missing (DllCharacteristics $chars)"
(( c & 0x40 )) || complain "DYNAMIC_BASE missing (DllCharacteristics $chars)"
(( c & 0x100 )) || complain "NX_COMPAT missing (DllCharacteristics $chars)"
grep -qE 'Characteristics .*DLL' <<<"$dump" || grep -q '(DLL)' <<<"$dump" || true

# Exported names: the [Ordinal/Name Pointer] Table lists them.
exports=$(awk '/\[Ordinal\/Name Pointer\] Table/ {on=1; next} on && /^[ \t]*\[/ {print $NF; next} on && NF==0 {on=0}' <<<"$dump" | sort)
[ -n "$exports" ] || complain "no exports found"
for name in $exports; do
  grep -qw -- "$name" <<<"$allowed_exports" || complain "exports a name outside the 38: $name"
done
def_names=$(sed -n '/^EXPORTS/,$p' "$def" | sed 's/;.*//' | awk 'NF && $1 != "EXPORTS" {print $1}' | sort)
[ "$exports" == "$def_names" ] || complain "export table differs from $def: got [$(echo $exports)] want [$(echo $def_names)]"

imports=$(awk '/DLL Name:/ {print tolower($3)}' <<<"$dump" | sort -u)
for lib in $imports; do
  grep -qw -- "$lib" <<<"$allowed_imports" || complain "imports a DLL that is not part of Windows: $lib"
done

strings -el "$dll" | grep -q '^ProductName$' || complain "no VERSIONINFO ProductName"
strings -el "$dll" | grep -q '^Lumbrex$' || complain "VERSIONINFO product name is not Lumbrex"

if [ $fail -eq 0 ]; then
  echo "OK: $(wc -w <<<"$exports") exports, imports: $(echo $imports)"
fi
exit $fail
