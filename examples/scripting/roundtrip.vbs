' Lumbrex.Control from VBScript: a bundle added, given a port and its
' parameters, read back and deleted through the service, and the errors a
' script sees for a refused command and an unsafe name; on the way, an
' option, permissions, the state queries, the applications the port-sharing
' driver reports, LastError and Version.
' Register lumbrex-automation.dll and start the service first, then:
'   cscript //nologo roundtrip.vbs
' The last line printed is ROUNDTRIP OK, or FAILED: and the reason.
Option Explicit
Dim lx, bundle, side

' Ends the script with a message when ok is False.
Sub Check(ok, what)
  If Not ok Then WScript.Echo "FAILED: " & what : WScript.Quit 1
End Sub

' The items of an array, space-separated (Wine's VBScript has no Join).
Function Spaced(list)
  Dim item
  Spaced = ""
  For Each item In list
    Spaced = Trim(Spaced & " " & item)
  Next
End Function

' The name's permission in what SharedPortGetAppPermissions returned (the
' applications, then their permissions as decimal text), or "none".
Function PermissionOf(pair, name)
  Dim i
  PermissionOf = "none"
  For i = 0 To UBound(pair(0))
    If pair(0)(i) = name Then PermissionOf = pair(1)(i)
  Next
End Function

' The rest of the object, on the bundle RoundTrip made (COM71 on the input
' side): an option, both kinds of permissions, the state queries, the
' port-sharing driver and the two properties.
Sub EveryFamily()
  Dim shared, old, value, pair, rows, row, held, code
  shared = "COM70"          ' a shared port on the output side (1)
  lx.BundleAddPort bundle, 1, shared, 4
  Check lx.BundleGetPortType(bundle, 1, shared) = 4, shared & " is a shared port"

  ' An option flipped, read back and put back (one not stored yet is off).
  On Error Resume Next
  old = lx.OptionGetPortToPrint()
  If Err.Number <> 0 Then old = 0
  Err.Clear
  On Error GoTo 0
  If old = 0 Then value = 1 Else value = 0
  lx.OptionSetPortToPrint value
  Check lx.OptionGetPortToPrint() = value, "OptionGetPortToPrint reads back " & value
  lx.OptionSetPortToPrint old

  lx.BundlePortSetPermissions bundle, side, "COM71", 2
  Check lx.BundlePortGetPermissions(bundle, side, "COM71") = 2, "COM71's permissions read back as 2"

  lx.SharedPortSetPermissionsForApp bundle, 1, shared, "vbs-viewer.exe", 4
  lx.SharedPortSetPermissionsForApp bundle, 1, shared, "vbs-writer.exe", 2
  pair = lx.SharedPortGetAppPermissions(bundle, 1, shared)
  Check UBound(pair) = 1 And UBound(pair(0)) = UBound(pair(1)), "applications and permissions pair up"
  Check PermissionOf(pair, "vbs-viewer.exe") = "4", "vbs-viewer.exe may 4, not " & PermissionOf(pair, "vbs-viewer.exe")
  Check PermissionOf(pair, "vbs-writer.exe") = "2", "vbs-writer.exe may 2, not " & PermissionOf(pair, "vbs-writer.exe")
  lx.SharedSetDefaultPermissions bundle, 1, shared, "vbs-writer.exe"
  pair = lx.SharedPortGetAppPermissions(bundle, 1, shared)
  Check PermissionOf(pair, "vbs-writer.exe") = "3", "the default gives vbs-writer.exe 3, not " & PermissionOf(pair, "vbs-writer.exe")

  ' True and False are VARIANT_BOOL: compared with True, not merely non-zero.
  Check lx.GetBundleState(bundle) = True, "GetBundleState is True for " & bundle
  Check lx.GetBundleState("NoSuchBundle") = False, "GetBundleState is False for a missing bundle"
  Check lx.BundleGetPortState(bundle, side, "COM71") = True, "BundleGetPortState is True for COM71"
  Check lx.BundleGetPortState(bundle, side, "COM79") = False, "BundleGetPortState is False for a missing port"
  Check lx.BundleRealPortAreParametersDynamic(bundle, side, "COM71") = False, "COM71's parameters are fixed"
  lx.BundleSetDynamicParametersForRealPort bundle, side, "COM71"
  Check lx.BundleRealPortAreParametersDynamic(bundle, side, "COM71") = True, "COM71's parameters are dynamic now"

  ' The applications holding the port open, as the port-sharing driver says;
  ' without the driver the call raises &H80070002.
  On Error Resume Next
  rows = lx.SharedGetPortApplications(shared)
  code = Err.Number
  Err.Clear
  On Error GoTo 0
  If code = &H80070002 Then
    WScript.Echo "the port-sharing driver is not loaded: no applications read"
  Else
    Check code = 0, "SharedGetPortApplications raised " & Hex(code)
    held = ""
    For Each row In rows
      Check UBound(row) = 3, "a row holds a name and the driver's three numbers"
      held = Trim(held & " " & row(0) & "(" & row(1) & ")")
    Next
    WScript.Echo shared & " is held open by: " & held
  End If

  On Error Resume Next
  lx.BundlePortGetPermissions bundle, side, "COM79"
  code = Err.Number
  Err.Clear
  On Error GoTo 0
  Check code = &H80070002, "a missing port gives &H80070002, not " & Hex(code)
  Check lx.LastError = 2, "LastError holds the missing port's 2, not " & lx.LastError
  Check Len(lx.Version) > 0, "the object has a version"
  WScript.Echo "Lumbrex.Control " & lx.Version
End Sub

Sub RoundTrip()
  Dim ports
  Set lx = CreateObject("Lumbrex.Control")
  bundle = "VbsRoundTrip"   ' variables reach the object by reference
  side = 0                  ' 0 input, 1 output

  ' Without a running service this raises &H80040202, reported below.
  lx.ConnectToLocalService
  On Error Resume Next
  lx.DeleteBundle bundle      ' an earlier run's bundle; refused when absent
  Err.Clear
  On Error GoTo 0

  lx.AddBundle bundle
  lx.BundleAddPort bundle, side, "COM71", 1
  Check InStr(" " & Spaced(lx.GetBundlesNames()) & " ", " " & bundle & " ") > 0, "GetBundlesNames lists the bundle"
  ports = lx.GetPortsNamesByBundleAndSide(bundle, side)
  Check UBound(ports) = 0 And ports(0) = "COM71", "the input side holds COM71: " & Spaced(ports)
  Check lx.BundleGetPortType(bundle, side, "COM71") = 1, "COM71 is a real port"
  lx.BundleSetRealPortParameters bundle, side, "COM71", 115200, 2, 7, 0, 1
  ports = lx.BundleGetRealPortParameters(bundle, side, "COM71")
  Check Spaced(ports) = "115200 2 7 0 1", "parameters read back as " & Spaced(ports)

  On Error Resume Next
  lx.AddBundle bundle
  Check Err.Number <> 0, "adding an existing bundle raises an error"
  Check Err.Description <> "", "the error says why"
  Check Err.Source = "Lumbrex.Control", "the error names its source, not " & Err.Source
  Err.Clear
  lx.AddBundle "x!DEL_BUNDLE " & bundle
  Check Err.Number = &H8007000D, "a name holding ! is refused, not " & Hex(Err.Number)
  Check InStr(Err.Description, "'!'") > 0, "the refusal names the '!': " & Err.Description
  Err.Clear
  lx.BundleGetPortType "NoSuchBundle", side, "COM71"
  Check Err.Number = &H80070002, "a missing bundle gives &H80070002, not " & Hex(Err.Number)
  Check InStr(Err.Description, "no such bundle, side or port") > 0, "the error says what is missing: " & Err.Description
  Err.Clear
  On Error GoTo 0

  EveryFamily

  lx.DeleteBundle bundle
  Check InStr(" " & Spaced(lx.GetBundlesNames()) & " ", " " & bundle & " ") = 0, "DeleteBundle removed the bundle"
  lx.DisconnectFromService
End Sub

' An error RoundTrip does not handle ends it and lands here. Say what it
' was: some hosts (Wine's cscript) print nothing for an unhandled error and
' exit with status 0, so a script that stops early would look finished.
On Error Resume Next
RoundTrip
Check Err.Number = 0, Err.Description & " (" & Hex(Err.Number) & ", " & Err.Source & ")"
On Error GoTo 0
WScript.Echo "ROUNDTRIP OK"
