' Lumbrex.Control from VBScript: a bundle added, given a port and its
' parameters, read back and deleted through the service, and the errors a
' script sees for a refused command and an unsafe name.
Option Explicit
Dim lx, bundle, side, ports, tries
Set lx = CreateObject("Lumbrex.Control")
bundle = "VbsRoundTrip"   ' variables reach the object by reference
side = 0                  ' 0 input, 1 output

Sub Check(ok, what)
  If Not ok Then WScript.Echo "FAILED: " & what : WScript.Quit 1
End Sub

' The items of an array, space-separated (this cscript has no Join).
Function Spaced(list)
  Dim item
  Spaced = ""
  For Each item In list
    Spaced = Trim(Spaced & " " & item)
  Next
End Function

' The service may still be starting: a failed connect raises an error.
On Error Resume Next
For tries = 1 To 100
  Err.Clear
  lx.ConnectToLocalService
  If Err.Number = 0 Then Exit For
  WScript.Sleep 100
Next
Check Err.Number = 0, "ConnectToLocalService: " & Err.Description
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
On Error GoTo 0

lx.DeleteBundle bundle
Check InStr(" " & Spaced(lx.GetBundlesNames()) & " ", " " & bundle & " ") = 0, "DeleteBundle removed the bundle"
lx.DisconnectFromService
WScript.Echo "ROUNDTRIP OK"
