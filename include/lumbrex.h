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

/* ---- Part 2.3: bundle and port editing ----------------------------------- */

/* ---- Part 3.2: bundle and port queries ----------------------------------- */

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

/* ---- Part 3.3: global options -------------------------------------------- */

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

/* ---- Part 4.2: real port parameters -------------------------------------- */

/* ---- Part 4.3: per-port permissions -------------------------------------- */

/* ---- Part 5.1: shared port permissions ----------------------------------- */

/* ---- Part 5.2: port applications query ----------------------------------- */

#ifdef __cplusplus
}
#endif

#endif /* LUMBREX_H */
