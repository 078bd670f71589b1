Attribute VB_Name = "Lumbrex"
' lumbrex.dll's 38 exports for VBA and VB6, as include/lumbrex.h declares them.
' One module for every host: VBA7 (Office 2010 and later) reads the PtrSafe block, 32-bit
' and 64-bit Office alike; VB6 and VBA6 (Office 2007 and earlier, 32-bit only) read the
' plain Declare block. No parameter is a pointer-sized number (an out-parameter is ByRef,
' which passes its address in either bitness), so no LongPtr is needed and the two blocks
' differ in PtrSafe only.
' "lumbrex.dll" by bare name finds the DLL of the host's own bitness after the Windows
' Installer package is installed: the 64-bit one in System32, the 32-bit one in SysWOW64
' (docs/install.md). Without the package, put the DLL of the host's bitness beside the
' host's exe, or write its full path after Lib. LumbrexHostBits below says which one a
' host needs. Names go to the service as given: keep "!", "," and characters outside the
' ANSI code page out of them (see docs/scripting.md).
' A VARIANT argument is passed ByVal As Variant; an out-VARIANT ByRef As Variant;
' int ByVal As Long; int* and unsigned int* ByRef As Long.
Option Explicit

' 64 in 64-bit Office, 32 in 32-bit Office and VB6: the bitness of the lumbrex.dll this
' host loads.
#If Win64 Then
Public Const LumbrexHostBits As Long = 64
#Else
Public Const LumbrexHostBits As Long = 32
#End If

#If VBA7 Then
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
#Else
Public Declare Function QKGetLastError Lib "lumbrex.dll" () As Long
Public Declare Function ConnectToLocalService Lib "lumbrex.dll" () As Long
Public Declare Function ConnectToRemoteService Lib "lumbrex.dll" (ByVal Server As Variant, ByVal User As Variant, ByVal Password As Variant) As Long
Public Declare Function DisconnectFromService Lib "lumbrex.dll" () As Long
Public Declare Function AddBundle Lib "lumbrex.dll" (ByVal Bundle As Variant) As Long
Public Declare Function DeleteBundle Lib "lumbrex.dll" (ByVal Bundle As Variant) As Long
Public Declare Function GetBundleState Lib "lumbrex.dll" (ByVal Bundle As Variant) As Long
Public Declare Function BundleAddPort Lib "lumbrex.dll" (ByVal Bundle As Variant, ByVal Side As Long, ByVal Port As Variant, ByVal PortType As Variant) As Long
Public Declare Function BundleDeletePort Lib "lumbrex.dll" (ByVal Bundle As Variant, ByVal Side As Long, ByVal Port As Variant) As Long
Public Declare Function BundleGetPortState Lib "lumbrex.dll" (ByVal Bundle As Variant, ByVal Side As Long, ByVal Port As Variant) As Long
Public Declare Function BundleSetMainPortForSide Lib "lumbrex.dll" (ByVal Bundle As Variant, ByVal Side As Long, ByVal Port As Variant) As Long
Public Declare Function BundleUpdateSettings Lib "lumbrex.dll" () As Long
Public Declare Function GetBundlesNames Lib "lumbrex.dll" (ByRef Names As Variant) As Long
Public Declare Function GetPortsNamesByBundleAndSide Lib "lumbrex.dll" (ByVal Bundle As Variant, ByVal Side As Long, ByRef Names As Variant) As Long
Public Declare Function BundleGetMainPortForSide Lib "lumbrex.dll" (ByVal Bundle As Variant, ByVal Side As Long, ByRef Port As Variant) As Long
Public Declare Function GetRealPortsList Lib "lumbrex.dll" (ByRef Ports As Variant) As Long
Public Declare Function BundleGetPortType Lib "lumbrex.dll" (ByVal Bundle As Variant, ByVal Side As Long, ByVal Port As Variant, ByRef PortType As Variant) As Long
Public Declare Function OptionGetPortsAutoOpen Lib "lumbrex.dll" (ByRef Value As Long) As Long
Public Declare Function OptionGetIgnoreErrorsOnPortCreation Lib "lumbrex.dll" (ByRef Value As Long) As Long
Public Declare Function OptionGetPortToPrint Lib "lumbrex.dll" (ByRef Value As Long) As Long
Public Declare Function OptionGetIfSendToMainSet Lib "lumbrex.dll" (ByRef Value As Long) As Long
Public Declare Function OptionGetBaudrateEmulation Lib "lumbrex.dll" (ByRef Value As Long) As Long
Public Declare Function OptionSetAutoOpenPort Lib "lumbrex.dll" (ByVal Value As Long) As Long
Public Declare Function OptionSetIgnoreErrors Lib "lumbrex.dll" (ByVal Value As Long) As Long
Public Declare Function OptionSetPortToPrint Lib "lumbrex.dll" (ByVal Value As Long) As Long
Public Declare Function OptionSetOnlyMainPortCanSend Lib "lumbrex.dll" (ByVal Value As Long) As Long
Public Declare Function OptionSetBaudrateEmulation Lib "lumbrex.dll" (ByVal Value As Long) As Long
Public Declare Function BundleRealPortAreParametersDynamic Lib "lumbrex.dll" (ByVal Bundle As Variant, ByVal Side As Long, ByVal Port As Variant) As Long
Public Declare Function BundleGetRealPortParameters Lib "lumbrex.dll" (ByVal Bundle As Variant, ByVal Side As Long, ByVal Port As Variant, ByRef Baudrate As Long, ByRef Parity As Long, ByRef DataBits As Long, ByRef StopBits As Long, ByRef FlowControl As Long) As Long
Public Declare Function BundleSetRealPortParameters Lib "lumbrex.dll" (ByVal Bundle As Variant, ByVal Side As Long, ByVal Port As Variant, ByVal Baudrate As Long, ByVal Parity As Long, ByVal DataBits As Long, ByVal StopBits As Long, ByVal FlowControl As Long) As Long
Public Declare Function BundleSetDynamicParametersForRealPort Lib "lumbrex.dll" (ByVal Bundle As Variant, ByVal Side As Long, ByVal Port As Variant) As Long
Public Declare Function BundlePortGetPermissions Lib "lumbrex.dll" (ByVal Bundle As Variant, ByVal Side As Long, ByVal Port As Variant, ByRef Result As Variant) As Long
Public Declare Function BundlePortSetPermissions Lib "lumbrex.dll" (ByVal Bundle As Variant, ByVal Side As Long, ByVal Port As Variant, ByVal Mask As Variant) As Long
Public Declare Function SharedPortSetPermissionsForApp Lib "lumbrex.dll" (ByVal Bundle As Variant, ByVal Side As Long, ByVal Port As Variant, ByVal Application As Variant, ByVal Permission As Variant) As Long
Public Declare Function SharedSetDefaultPermissions Lib "lumbrex.dll" (ByVal Bundle As Variant, ByVal Side As Long, ByVal Port As Variant, ByVal Application As Variant) As Long
Public Declare Function SharedPortGetAppPermissions Lib "lumbrex.dll" (ByVal Bundle As Variant, ByVal Side As Long, ByVal Port As Variant, ByRef Applications As Variant, ByRef Permissions As Variant) As Long
Public Declare Function SharedDelAllPermissions Lib "lumbrex.dll" (ByVal Bundle As Variant, ByVal Side As Long, ByVal Port As Variant) As Long
Public Declare Function SharedGetPortApplications Lib "lumbrex.dll" (ByVal Port As Variant, ByRef Result As Variant) As Long
#End If
