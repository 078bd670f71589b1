/*
 * lumbrex.h - the C interface of lumbrex.dll, the client library of the
 * Lumbrex serial-port bundling service (64-bit Windows).
 *
 * Overview (docs/user-guide.md explains the concepts, docs/api-reference.md
 * gives every export in detail, docs/behaviour-details.md the behaviour at
 * the edges). 38 exports, plain undecorated names, WINAPI (x64) convention:
 *   last error         QKGetLastError
 *   connection         ConnectToLocalService, ConnectToRemoteService,
 *                      DisconnectFromService
 *   editing            AddBundle, DeleteBundle, GetBundleState, BundleAddPort,
 *                      BundleDeletePort, BundleGetPortState,
 *                      BundleSetMainPortForSide, BundleUpdateSettings
 *   queries            GetBundlesNames, GetPortsNamesByBundleAndSide,
 *                      BundleGetMainPortForSide, GetRealPortsList,
 *                      BundleGetPortType
 *   global options     OptionGet... (5 getters), OptionSet... (5 setters)
 *   real port params   BundleRealPortAreParametersDynamic,
 *                      BundleGetRealPortParameters, BundleSetRealPortParameters,
 *                      BundleSetDynamicParametersForRealPort
 *   port permissions   BundlePortGetPermissions, BundlePortSetPermissions
 *   share permissions  SharedPortSetPermissionsForApp, SharedSetDefaultPermissions,
 *                      SharedPortGetAppPermissions, SharedDelAllPermissions
 *   port applications  SharedGetPortApplications
 *
 * Two roads. Reading exports read the service's configuration straight from
 * the local registry (HKLM\Software\OSTREL Software\Lumbrex and friends) or
 * ask the port-sharing driver; they need no connection. Changing exports send
 * one text command to the service's pipe \\.\pipe\TessaryControl2 (connect
 * first) and return 1 exactly when the service replied "OK".
 *
 * Results. Every export returns 1 for success and 0 for failure. The reason
 * is read afterwards with QKGetLastError(): one Windows error code for the
 * whole process (not per thread), 0 at load, stored only by failures, never
 * cleared. 13 (ERROR_INVALID_DATA) = a refused argument; registry, network
 * and system codes pass through; 8 = out of memory. A command that the
 * service refuses, or that cannot be sent, stores no code.
 *
 * Names. Bundle and port names travel unescaped in the command text, where
 * "!" ends a command and "," separates fields: a name holding either one is
 * cut apart by the service (a bundle named "x!DEL_BUNDLE B" deletes B). The
 * command text is converted to the calling thread's ANSI code page (1252 on
 * western systems): a character that code page lacks is sent as a best-fit
 * look-alike where Windows has one (under 1252 a Polish l with stroke goes out
 * as "l", a Latin A with macron as "A") and as "?" otherwise, so two different
 * names may address the same bundle. Check names before passing them on.
 *
 * Arguments. Strings are VARIANTs passed by value holding VT_BSTR (a
 * VT_BYREF|VT_BSTR is converted in the library's copy: from C pass VT_BSTR).
 * Sides are plain ints, 0 input and 1 output (enum LumbrexSide). Port types
 * (enum LumbrexPortType) and share permissions are integer VARIANTs (VT_I2,
 * VT_I4, VT_I8, VT_UI2, VT_UI4, VT_UI8, VT_INT, VT_UINT; not by reference).
 * The library never frees an argument you pass, except the mask of
 * BundlePortSetPermissions (pass a VT_I4).
 *
 * Results in VARIANTs. Out-VARIANTs must point to an initialised VARIANT; the
 * library clears it first. What it places there (BSTR, SAFEARRAY with lower
 * bound 0) is yours: free it with VariantClear. An empty list is VT_EMPTY.
 *
 * Threads. Any thread. Commands are serialised by one link mutex with waits
 * of 0 ms (GetBundleState, share-permission setters), 500 ms (option
 * setters), 1024 ms (BundleGetPortState) or 1000 ms (the rest); a service
 * that never answers blocks the calling thread.
 *
 * Example:
 *   VARIANT names; VariantInit(&names);
 *   if (!GetBundlesNames(&names))
 *       printf("failed, error %u\n", QKGetLastError());  (2: no root key yet)
 *   else if (names.vt == (VT_ARRAY | VT_BSTR))
 *       ... walk names.parray from index 0 ...
 *   else
 *       ... VT_EMPTY: no bundle ...
 *   VariantClear(&names);
 */
#ifndef LUMBREX_H
#define LUMBREX_H

#include <windows.h>
#include <oleauto.h>

#include "lumbrex_codes.h"

#ifdef __cplusplus
extern "C" {
#endif

#ifdef LUMBREX_BUILDING
#define LUMBREX_API
#else
#define LUMBREX_API __declspec(dllimport)
#endif
#define LUMBREX_CALL WINAPI

/* ---- Version and codes --------------------------------------------------- */

/* The version of this header and of the library built with it: these three
   lines are where the project's version is set. lumbrex.dll carries the same
   numbers in its version resource (FileVersion), the Windows Installer
   package in its ProductVersion. */
#define LUMBREX_VERSION_MAJOR 1
#define LUMBREX_VERSION_MINOR 0
#define LUMBREX_VERSION_PATCH 0

/* The numbers the exports take and give (sides, port types, parity and flow
   codes, permission bits, option positions) are in lumbrex_codes.h, included
   above. */

/* ---- Last-error code ----------------------------------------------------- */

/* The last-error code: 0 after load; set by failing exports only.
   13 (ERROR_INVALID_DATA) = a refused argument; registry, network and system
   codes are passed through unchanged. */
LUMBREX_API unsigned int LUMBREX_CALL QKGetLastError(void);

/* ---- Service connection -------------------------------------------------- */

/* Opens \\.\pipe\TessaryControl2 after dropping one reference of the current
   connection (reconnecting at count 1 reopens the pipe; the count stays 1).
   1 if the pipe is open afterwards, else 0. Sets no last-error code. */
LUMBREX_API int LUMBREX_CALL ConnectToLocalService(void);
/* server, user, password: strings (a by-reference BSTR is converted in place).
   Drops one reference, logs on to \\server\IPC$ when user is not empty, then
   opens \\server\pipe\TessaryControl2. 1 if the pipe is open afterwards.
   Last error: 13 for a non-string argument (connection untouched); the
   WNetAddConnection2W result when the logon fails. */
LUMBREX_API int LUMBREX_CALL ConnectToRemoteService(VARIANT server, VARIANT user, VARIANT password);
/* Drops one connection reference; the pipe closes when none is left. Always 1. */
LUMBREX_API int LUMBREX_CALL DisconnectFromService(void);

/* ---- Bundle and port editing --------------------------------------------- */

/* Each sends one command to the service and returns 1 exactly when it replied
   "OK" (either case); 0 without a connection, when the link stays busy beyond
   the command's wait, or when the service refuses (last error then unchanged).
   A refused argument: 0 with last error 13, nothing sent. Side: 0 input, 1
   output. */

/* bundle: any VARIANT that converts to text (the integer 7 names bundle "7");
   13 if it cannot be converted. ADD_BUNDLE, waits up to 1000 ms for the link. */
LUMBREX_API int LUMBREX_CALL AddBundle(VARIANT bundle);
/* As AddBundle; DEL_BUNDLE, 1000 ms. */
LUMBREX_API int LUMBREX_CALL DeleteBundle(VARIANT bundle);
/* As AddBundle; GET_BUNDLE_STATE, sent only if the link is free at once. */
LUMBREX_API int LUMBREX_CALL GetBundleState(VARIANT bundle);
/* bundle, port: strings; portType: integer VARIANT 1 real, 2 virtual, 4 shared,
   8 switcher; port must be a valid port name. ADD_PORT, 1000 ms. */
LUMBREX_API int LUMBREX_CALL BundleAddPort(VARIANT bundle, int side, VARIANT port, VARIANT portType);
/* bundle, port: strings (any port text is sent). DEL_PORT, 1000 ms. */
LUMBREX_API int LUMBREX_CALL BundleDeletePort(VARIANT bundle, int side, VARIANT port);
/* bundle, port: strings (any port text is sent). GET_PORT_STATE, 1024 ms. */
LUMBREX_API int LUMBREX_CALL BundleGetPortState(VARIANT bundle, int side, VARIANT port);
/* bundle, port: strings; port must be a valid port name. SET_MAIN, 1000 ms. */
LUMBREX_API int LUMBREX_CALL BundleSetMainPortForSide(VARIANT bundle, int side, VARIANT port);
/* Takes no parameters, does nothing, always returns 1. */
LUMBREX_API int LUMBREX_CALL BundleUpdateSettings(void);

/* ---- Bundle and port queries --------------------------------------------- */

/* The queries read the configuration from the registry; they need no
   connection. Out-VARIANT pointers must be valid: a null one is refused with
   0 and last error 13, nothing written. Lists come as VT_ARRAY|VT_BSTR
   (lower bound 0) in the registry's enumeration order, or the output is left
   VT_EMPTY for an empty list. String arguments: VT_BSTR or VT_BYREF|VT_BSTR,
   otherwise 13; side: 0 (input) or 1 (output), otherwise 13. A registry
   failure stores the registry's code (2: key or value missing). */

/* names (out): cleared, then the bundle names. */
LUMBREX_API int LUMBREX_CALL GetBundlesNames(VARIANT *names);

/* bundle (string), side, names (out): cleared first, then the port names of
   the bundle's side. 2 for a missing bundle or side key. */
LUMBREX_API int LUMBREX_CALL GetPortsNamesByBundleAndSide(VARIANT bundle, int side, VARIANT *names);

/* bundle (string), side, port (out): cleared first, then VT_BSTR holding the
   "InMain"/"OutMain" value (possibly empty). 13 when that value is not a
   string or lacks its final NUL, 234 when its byte size is odd. */
LUMBREX_API int LUMBREX_CALL BundleGetMainPortForSide(VARIANT bundle, int side, VARIANT *port);

/* ports (out): cleared, then the port names of the machine's real serial
   devices (HARDWARE\DEVICEMAP\SERIALCOMM without the virtual-serial and
   port-sharing drivers' devices), duplicates kept. Fails with the open's code
   (2, 5: the key is opened with write access) or with the read status of the
   last listed device (234, 13). */
LUMBREX_API int LUMBREX_CALL GetRealPortsList(VARIANT *ports);

/* bundle (string), side, port (string, not checked as a port name),
   type (out): VT_INT 1 real, 2 virtual, 4 shared, 8 switcher, or 0 for an
   entry that starts with none of their letters. A refused argument leaves
   type untouched; otherwise it is cleared before the read. */
LUMBREX_API int LUMBREX_CALL BundleGetPortType(VARIANT bundle, int side, VARIANT port, VARIANT *type);

/* ---- Global options ------------------------------------------------------ */

/* Getters: value (out, must be valid: null is refused with 0 and 13)
   receives the option as stored, any 32-bit number (0 off, non-zero on). On
   failure the integer keeps its content and the last error is the registry's
   code: 2 missing key or value, 13 not REG_DWORD, 234 longer than 4 bytes.
   The first four read the configuration root key in the 32-bit registry view. */

/* "AutoOpen": ports opened automatically. */
LUMBREX_API int LUMBREX_CALL OptionGetPortsAutoOpen(unsigned int *value);
/* "IgnoreError": errors ignored on port creation. */
LUMBREX_API int LUMBREX_CALL OptionGetIgnoreErrorsOnPortCreation(unsigned int *value);
/* "Prints": the port-to-print option. */
LUMBREX_API int LUMBREX_CALL OptionGetPortToPrint(unsigned int *value);
/* "SendDataOnlyMainPort": only the main port may send. */
LUMBREX_API int LUMBREX_CALL OptionGetIfSendToMainSet(unsigned int *value);
/* "StrictBaudrate" of the virtual-serial driver's service key
   SYSTEM\CurrentControlSet\Services\korrin9: baud-rate emulation. */
LUMBREX_API int LUMBREX_CALL OptionGetBaudrateEmulation(unsigned int *value);

/* Setters: value 0 turns the option off, any other value on. Each reads all
   five options (an unreadable one counts as 0), puts value in place of its own
   and sends the five as 0/1 flags in one command
   "UPDATE_SETTINGS AutoOpen,IgnoreError,Prints,SendDataOnlyMainPort,StrictBaudrate!"
   to the connected service, waiting at most 500 ms for the link. Result 1 when
   the service answered OK, else 0 (no connection, link busy, pipe failure,
   another reply). The last error is never changed (but for 8, out of memory). */

/* "AutoOpen" (position 1). */
LUMBREX_API int LUMBREX_CALL OptionSetAutoOpenPort(int value);
/* "IgnoreError" (position 2). */
LUMBREX_API int LUMBREX_CALL OptionSetIgnoreErrors(int value);
/* "Prints" (position 3). */
LUMBREX_API int LUMBREX_CALL OptionSetPortToPrint(int value);
/* "SendDataOnlyMainPort" (position 4). */
LUMBREX_API int LUMBREX_CALL OptionSetOnlyMainPortCanSend(int value);
/* "StrictBaudrate" of the virtual-serial driver (position 5). */
LUMBREX_API int LUMBREX_CALL OptionSetBaudrateEmulation(int value);

/* ---- Real port parameters ------------------------------------------------ */

/* 1 when the port has dynamic parameters: its stored parameter text is empty,
   or the port, its side key or its bundle has no readable entry; else 0.
   bundle, port: VT_BSTR or VT_BYREF|VT_BSTR VARIANTs; side: 0 (IN) or 1 (OUT);
   port must be a valid port name (1 to 33 of "@".."Z", "a".."z", "0".."9", "_").
   Last error: 13 for a refused argument (result 0), 8 out of memory; never set otherwise. */
LUMBREX_API int LUMBREX_CALL BundleRealPortAreParametersDynamic(VARIANT bundle, int side, VARIANT port);

/* Reads the port's communication parameters into the five outputs: baudrate,
   parity (0 N, 1 O, 2 E, 3 M, 4 S), data bits, stop-bits code (0 to 2) and
   flow control (0 none, 1 X, 2 P; left unwritten when the entry has no flow
   field). bundle, port: string VARIANTs as above (any port name); side 0 or 1.
   All five out pointers must be valid: a null one gives 0 with last error 13
   and nothing written. Result 0 with the outputs and the last error untouched
   when the parameter text is empty (dynamic) or the entry cannot be read;
   result 0 for malformed text, with the outputs reached before the fault
   written (an unknown parity letter leaves parity unwritten but gives 1).
   Last error: 13 for a refused argument only. */
LUMBREX_API int LUMBREX_CALL BundleGetRealPortParameters(VARIANT bundle, int side, VARIANT port, int* baudrate,
                                                         int* parity, int* dataBits, int* stopBits,
                                                         int* flowControl);

/* Sends SET_RPORT_PARAMS bundle,In|Out,port,<field>! where <field> is the
   parameter text "baudrate,parity letter,data bits,stop bits[,X|P]" with its
   "," written as "-", then "|h|l": the port's two permission bits as stored
   (both 0 when the entry cannot be read). bundle, port: string VARIANTs as
   above (any port name); side 0 (In) or 1 (Out); parity 0 to 4 (N O E M S),
   dataBits 5 to 8, stopBits 0 to 2, flowControl 0 (none), 1 (X) or 2 (P),
   each compared as unsigned (negative values fail); baudrate not checked.
   Result 1 when the service answered OK. 0 with last error 13 for a refused
   argument or range (nothing sent); 0 with the last error unchanged when
   there is no connection or the service does not answer OK. */
LUMBREX_API int LUMBREX_CALL BundleSetRealPortParameters(VARIANT bundle, int side, VARIANT port, int baudrate,
                                                         int parity, int dataBits, int stopBits, int flowControl);

/* Gives the port dynamic parameters: sends SET_RPORT_PARAMS with the field
   "|h|l" (empty parameter text, the stored permission bits, both 0 when the
   entry cannot be read). Arguments, result and last error as for
   BundleSetRealPortParameters (no range checks). */
LUMBREX_API int LUMBREX_CALL BundleSetDynamicParametersForRealPort(VARIANT bundle, int side, VARIANT port);

/* ---- Per-port permissions ------------------------------------------------ */

/* Reads the port permission mask (2 = high bit, 1 = low bit; 3 for an entry
   without flag fields) into *result as VT_I4. bundle, port: VT_BSTR (or
   VT_BYREF|VT_BSTR) VARIANTs, any name; another type gives 0 with last error
   13. side: 0 reads the input side, any other value the output side.
   result may be null: then 1 is returned and nothing written. A result of
   another type than VT_I4 is cleared first (VariantClear); if that fails the
   result is as VariantClear left it, with 0 and last error 13. A failed registry read
   gives 0 with the registry's code (2 missing bundle, side or port, 13 an
   entry that is not a string or lacks its final NUL) and *result untouched.
   On success the last error is left as it was. */
LUMBREX_API int LUMBREX_CALL BundlePortGetPermissions(VARIANT bundle, int side, VARIANT port, VARIANT* result);

/* Sets the port permission mask: sends SET_RPORT_PARAMS with the port's
   stored parameter text (lower case, possibly empty, "," written as "-")
   followed by "|h|l", h = (mask >> 1) & 1 and l = mask & 1, taken from the
   mask's 32-bit member (lVal) whatever its type. bundle, port: as for
   BundlePortGetPermissions (another type: 0 with last error 13, nothing read
   or sent). side: 0 reads IN and sends "In"; any other value OUT and "Out".
   The mask VARIANT belongs to the function: it is cleared (VariantClear)
   before the function returns, on every path. A failed registry read gives 0
   with the registry's code (2 missing bundle, side or port) and sends
   nothing. Result 1 when the service answered OK; 0 with the last error
   unchanged when there is no connection or the answer is not OK. */
LUMBREX_API int LUMBREX_CALL BundlePortSetPermissions(VARIANT bundle, int side, VARIANT port, VARIANT mask);

/* ---- Shared port permissions --------------------------------------------- */

/* Sends SET_SHARE_PERMISSION bundle,In|Out,port,application,permission! (wait
   for the service link: 0 ms, so it fails at once while another thread uses
   the link). Nothing is read from the registry.
   bundle, port, application: string arguments (BSTR or reference to one; any
   application, the empty one included); side: 0 (In) or 1 (Out);
   permission: integer VARIANT (VT_I2, VT_I4, VT_I8, VT_UI2, VT_UI4, VT_UI8,
   VT_INT, VT_UINT, not by reference) whose value cut to 32 bits is 0 or has
   one of the bits 1, 2, 4 set (8 refused, 9 sent as 9); sent as signed
   decimal. port must pass the port-name rule (checked last).
   In the application name "@", "!" and "," go out as "@3", "@1", "@2".
   Returns 0 with 13 for a refused argument (nothing sent); otherwise 1 exactly
   when the service answered OK, 0 with the last-error code unchanged when the
   command failed or could not be sent (no connection, link busy). */
LUMBREX_API int LUMBREX_CALL SharedPortSetPermissionsForApp(VARIANT bundle, int side, VARIANT port,
                                                            VARIANT application, VARIANT permission);

/* SharedPortSetPermissionsForApp with permission VT_I4 3 (the default):
   same arguments, checks, command and result. */
LUMBREX_API int LUMBREX_CALL SharedSetDefaultPermissions(VARIANT bundle, int side, VARIANT port,
                                                         VARIANT application);

/* The applications and permission values stored for a shared port under
   HKLM\Software\OSTREL Software\Quillane2\<port>\Permissions (64-bit view;
   bundle and side are checked but do not select anything).
   bundle, port: string arguments; side: 0 or 1; port must pass the port-name
   rule. applications, permissions: valid VARIANTs. On success applications
   receives VT_ARRAY|VT_BSTR of the names (registry order) and permissions
   VT_ARRAY|VT_BSTR of their values as signed decimal text ("%d").
   Returns 0 with 13 only for a refused argument (out arguments untouched).
   Otherwise 1: applications is VT_EMPTY and permissions untouched when the key
   cannot be opened (code 2 when absent), a value cannot be read (its
   registry code: 234 for data longer than 4 bytes, whatever its type) or is
   not REG_DWORD (13), or the key holds no value (code unchanged). */
LUMBREX_API int LUMBREX_CALL SharedPortGetAppPermissions(VARIANT bundle, int side, VARIANT port,
                                                         VARIANT* applications, VARIANT* permissions);

/* Sends SET_SHARE_PERMISSION with permission 3 for every application listed
   under the port's permissions key (the key above, read once before the
   first command, in registry order); a failed command does not stop the loop.
   bundle, port: string arguments; side: 0 or 1; the port-name rule is NOT
   applied (the key of any port name is read).
   Returns 0 with 13 only for a refused argument; otherwise 1: with the
   registry's code when the key cannot be opened (2 when absent; nothing
   sent), else with the last-error code unchanged, whatever the commands'
   outcomes. */
LUMBREX_API int LUMBREX_CALL SharedDelAllPermissions(VARIANT bundle, int side, VARIANT port);

/* ---- Port applications query --------------------------------------------- */

/* Which applications hold a shared port open, asked of the port-sharing
   driver's control device \\.\FenwyckControl2 (IOCTL 0x002A010C).
   port: string argument (BSTR or reference to one); compared whole with the
   driver's port names, ignoring ASCII case. result: valid VARIANT, cleared
   first; receives VT_EMPTY (no application, or the driver failed both
   attempts) or VT_ARRAY|VT_VARIANT of rows, each VT_ARRAY|VT_VARIANT of
   {name (VT_BSTR), Data0, Data2, Data1 (VT_I4)}.
   Returns 0 with 13 for a port that is no string, a null result pointer or a
   result that cannot be cleared; 0 with the open's Windows error code when
   the device cannot be opened (2 when the driver is absent); otherwise 1. */
LUMBREX_API int LUMBREX_CALL SharedGetPortApplications(VARIANT port, VARIANT* result);

#ifdef __cplusplus
}
#endif

#endif /* LUMBREX_H */
