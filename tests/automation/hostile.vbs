' Names a script can hand Lumbrex.Control that turn into other text each
' time they are read: an object whose default property raises an error on
' its first read and gives "x!DEL_BUNDLE <victim>" on the next. The object
' must read such a name once, refuse it when that read fails, and never let
' the library read it again: the victim bundle must survive.
' Run by roundtrip.sh against the stand-in service; the last line printed
' is HOSTILE OK, or FAILED: and the reason.
Option Explicit
Dim lx, victim

Sub Check(ok, what)
  If Not ok Then WScript.Echo "FAILED: " & what : WScript.Quit 1
End Sub

Function Holds(list, name)
  Dim item
  Holds = False
  For Each item In list
    If item = name Then Holds = True
  Next
End Function

Class Shifty
  Private reads
  Public Default Property Get Value
    reads = reads + 1
    If reads = 1 Then Err.Raise 5, "Shifty", "the first read fails"
    Value = "x!DEL_BUNDLE " & victim
  End Property
End Class

Sub Attack()
  Dim method, name, code, answer
  Set lx = CreateObject("Lumbrex.Control")
  victim = "VbsVictim"
  lx.ConnectToLocalService
  On Error Resume Next
  lx.DeleteBundle victim
  Err.Clear
  On Error GoTo 0
  lx.AddBundle victim
  For Each method In Array("AddBundle", "DeleteBundle", "GetBundleState")
    Set name = New Shifty
    On Error Resume Next
    Select Case method
      Case "AddBundle" : lx.AddBundle name
      Case "DeleteBundle" : lx.DeleteBundle name
      Case "GetBundleState" : answer = lx.GetBundleState(name)
    End Select
    code = Err.Number
    Err.Clear
    On Error GoTo 0
    Check code = &H8007000D, method & " took a name whose reading failed: " & Hex(code)
    Check Holds(lx.GetBundlesNames(), victim), method & " deleted " & victim
    ' The pipe holds no reply left over from a command nobody checked.
    Check lx.GetBundleState(victim), "after " & method & ", " & victim & " is not running"
  Next
  lx.DeleteBundle victim
  Check Not Holds(lx.GetBundlesNames(), victim), "DeleteBundle " & victim & " did nothing"
  lx.DisconnectFromService
End Sub

On Error Resume Next
Attack
Check Err.Number = 0, Err.Description & " (" & Hex(Err.Number) & ", " & Err.Source & ")"
On Error GoTo 0
WScript.Echo "HOSTILE OK"
