' Lumbrex.Control from VBScript: a bundle added, given a port and its
' parameters, read back and deleted through the service, and the errors a
' script sees for a refused command and an unsafe name.
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
