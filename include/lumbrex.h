/*
 * lumbrex.h - the C interface of lumbrex.dll, the client library of the
 * serial-port bundling service.
 *
 * Every export returns a 32-bit result: 1 for success, 0 for failure. The
 * reason of a failure is read afterwards with QKGetLastError(), a Windows
 * error code shared by the whole process (never cleared, only stored by
 * failures). Arguments are OLE automation VARIANTs, plain 32-bit integers and
 * pointers; whatever the library places in an out-VARIANT belongs to the
 * caller, who frees it with VariantClear. See docs/ for the reference.
 */
#ifndef LUMBREX_H
#define LUMBREX_H

#include <windows.h>
#include <oleauto.h>

#ifdef __cplusplus
extern "C" {
#endif

#ifdef LUMBREX_BUILDING
#define LUMBREX_API
#else
#define LUMBREX_API __declspec(dllimport)
#endif
#define LUMBREX_CALL WINAPI

/* ---- Part 1.1: last-error code ------------------------------------------ */

/* The last-error code: 0 after load; set by failing exports only.
   13 (ERROR_INVALID_DATA) = a refused argument; registry, network and system
   codes are passed through unchanged. */
LUMBREX_API unsigned int LUMBREX_CALL QKGetLastError(void);

/* ---- Part 2.1: service connection ---------------------------------------- */

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

/* ---- Part 2.3: bundle and port editing ----------------------------------- */

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

/* ---- Part 3.2: bundle and port queries ----------------------------------- */

/* ---- Part 3.3: global options -------------------------------------------- */

/* ---- Part 4.2: real port parameters -------------------------------------- */

/* ---- Part 4.3: per-port permissions -------------------------------------- */

/* ---- Part 5.1: shared port permissions ----------------------------------- */

/* ---- Part 5.2: port applications query ----------------------------------- */

#ifdef __cplusplus
}
#endif

#endif /* LUMBREX_H */
