Attribute VB_Name = "Lumbrex"
' lumbrex.dll's 38 exports for VBA (64-bit Office), as include/lumbrex.h declares them.
' Put lumbrex.dll where Windows finds it (beside the workbook's host, or on PATH), or
' write its full path after Lib. Names go to the service as given: keep "!", ","
' and characters outside the ANSI code page out of them (see docs/scripting.md).
' A VARIANT argument is passed ByVal As Variant; an out-VARIANT ByRef As Variant;
' int ByVal As Long; int* and unsigned int* ByRef As Long.
Option Explicit

Public Declare PtrSafe Function QKGetLastError Lib "lumbrex.dll" () As Long
Public Declare PtrSafe Function ConnectToLocalService Lib "lumbrex.dll" () As Long
Public Declare PtrSafe Function ConnectToRemoteService Lib "lumbrex.dll" (ByVal Server As Variant, ByVal User As Variant, ByVal Password As Variant) As Long
Public Declare PtrSafe Function DisconnectFromService Lib "lumbrex.dll" () As Long
Public Declare PtrSafe Function AddBundle Lib "lumbrex.dll" (ByVal Bundle As Variant) As Long
Public Declare PtrSafe Function DeleteBundle Lib "lumbrex.dll" (ByVal Bundle As Variant) As Long
Public Declare PtrSafe Function GetBundleState Lib "lumbrex.dll" (ByVal Bundle As Variant) As Long
Public Declare PtrSafe Function BundleAddPort Lib "lumbrex.dll" (ByVal Bundle As Variant, ByVal Side As Long, ByVal Port As Variant, ByVal PortType As Variant) As Long
Public Declare PtrSafe Function BundleDeletePort Lib "lumbrex.dll" (ByVal Bundle As Variant, ByVal Side As Long, ByVal Port As Variant) As Long
Public Declare PtrSafe Function BundleGetPortState Lib "lumbrex.dll" (ByVal Bundle As Variant, ByVal Side As Long, ByVal Port As Variant) As Long
Public Declare PtrSafe Function BundleSetMainPortForSide Lib "lumbrex.dll" (ByVal Bundle As Variant, ByVal Side As Long, ByVal Port As Variant) As Long
Public Declare PtrSafe Function BundleUpdateSettings Lib "lumbrex.dll" () As Long
Public Declare PtrSafe Function GetBundlesNames Lib "lumbrex.dll" (ByRef Names As Variant) As Long
Public Declare PtrSafe Function GetPortsNamesByBundleAndSide Lib "lumbrex.dll" (ByVal Bundle As Variant, ByVal Side As Long, ByRef Names As Variant) As Long
Public Declare PtrSafe Function BundleGetMainPortForSide Lib "lumbrex.dll" (ByVal Bundle As Variant, ByVal Side As Long, ByRef Port As Variant) As Long
Public Declare PtrSafe Function GetRealPortsList Lib "lumbrex.dll" (ByRef Ports As Variant) As Long
Public Declare PtrSafe Function BundleGetPortType Lib "lumbrex.dll" (ByVal Bundle As Variant, ByVal Side As Long, ByVal Port As Variant, ByRef PortType As Variant) As Long
Public Declare PtrSafe Function OptionGetPortsAutoOpen Lib "lumbrex.dll" (ByRef Value As Long) As Long
Public Declare PtrSafe Function OptionGetIgnoreErrorsOnPortCreation Lib "lumbrex.dll" (ByRef Value As Long) As Long
Public Declare PtrSafe Function OptionGetPortToPrint Lib "lumbrex.dll" (ByRef Value As Long) As Long
Public Declare PtrSafe Function OptionGetIfSendToMainSet Lib "lumbrex.dll" (ByRef Value As Long) As Long
Public Declare PtrSafe Function OptionGetBaudrateEmulation Lib "lumbrex.dll" (ByRef Value As Long) As Long
Public Declare PtrSafe Function OptionSetAutoOpenPort Lib "lumbrex.dll" (ByVal Value As Long) As Long
Public Declare PtrSafe Function OptionSetIgnoreErrors Lib "lumbrex.dll" (ByVal Value As Long) As Long
Public Declare PtrSafe Function OptionSetPortToPrint Lib "lumbrex.dll" (ByVal Value As Long) As Long
Public Declare PtrSafe Function OptionSetOnlyMainPortCanSend Lib "lumbrex.dll" (ByVal Value As Long) As Long
Public Declare PtrSafe Function OptionSetBaudrateEmulation Lib "lumbrex.dll" (ByVal Value As Long) As Long
Public Declare PtrSafe Function BundleRealPortAreParametersDynamic Lib "lumbrex.dll" (ByVal Bundle As Variant, ByVal Side As Long, ByVal Port As Variant) As Long
Public Declare PtrSafe Function BundleGetRealPortParameters Lib "lumbrex.dll" (ByVal Bundle As Variant, ByVal Side As Long, ByVal Port As Variant, ByRef Baudrate As Long, ByRef Parity As Long, ByRef DataBits As Long, ByRef StopBits As Long, ByRef FlowControl As Long) As Long
Public Declare PtrSafe Function BundleSetRealPortParameters Lib "lumbrex.dll" (ByVal Bundle As Variant, ByVal Side As Long, ByVal Port As Variant, ByVal Baudrate As Long, ByVal Parity As Long, ByVal DataBits As Long, ByVal StopBits As Long, ByVal FlowControl As Long) As Long
Public Declare PtrSafe Function BundleSetDynamicParametersForRealPort Lib "lumbrex.dll" (ByVal Bundle As Variant, ByVal Side As Long, ByVal Port As Variant) As Long
Public Declare PtrSafe Function BundlePortGetPermissions Lib "lumbrex.dll" (ByVal Bundle As Variant, ByVal Side As Long, ByVal Port As Variant, ByRef Result As Variant) As Long
Public Declare PtrSafe Function BundlePortSetPermissions Lib "lumbrex.dll" (ByVal Bundle As Variant, ByVal Side As Long, ByVal Port As Variant, ByVal Mask As Variant) As Long
Public Declare PtrSafe Function SharedPortSetPermissionsForApp Lib "lumbrex.dll" (ByVal Bundle As Variant, ByVal Side As Long, ByVal Port As Variant, ByVal Application As Variant, ByVal Permission As Variant) As Long
Public Declare PtrSafe Function SharedSetDefaultPermissions Lib "lumbrex.dll" (ByVal Bundle As Variant, ByVal Side As Long, ByVal Port As Variant, ByVal Application As Variant) As Long
Public Declare PtrSafe Function SharedPortGetAppPermissions Lib "lumbrex.dll" (ByVal Bundle As Variant, ByVal Side As Long, ByVal Port As Variant, ByRef Applications As Variant, ByRef Permissions As Variant) As Long
Public Declare PtrSafe Function SharedDelAllPermissions Lib "lumbrex.dll" (ByVal Bundle As Variant, ByVal Side As Long, ByVal Port As Variant) As Long
Public Declare PtrSafe Function SharedGetPortApplications Lib "lumbrex.dll" (ByVal Port As Variant, ByRef Result As Variant) As Long
