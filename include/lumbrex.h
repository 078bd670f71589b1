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

/* ---- Part 3.3: global options -------------------------------------------- */

/* ---- Part 4.2: real port parameters -------------------------------------- */

/* ---- Part 4.3: per-port permissions -------------------------------------- */

/* ---- Part 5.1: shared port permissions ----------------------------------- */

/* The applications and permission values stored for a shared port under
   HKLM\Software\OSTREL Software\Quillane2\<port>\Permissions (64-bit view;
   bundle and side are checked but do not select anything).
   bundle, port: string arguments; side: 0 or 1; port must pass the port-name
   rule. applications, permissions: valid VARIANTs. On success applications
   receives VT_ARRAY|VT_BSTR of the names (registry order) and permissions
   VT_ARRAY|VT_BSTR of their values as signed decimal text ("%d").
   Returns 0 with 13 only for a refused argument (out arguments untouched).
   Otherwise 1: applications is VT_EMPTY and permissions untouched when the key
   cannot be opened (code 2 when absent), a value cannot be read or is not
   REG_DWORD (its registry code, or 13), or the key holds no value (code
   unchanged). */
LUMBREX_API int LUMBREX_CALL SharedPortGetAppPermissions(VARIANT bundle, int side, VARIANT port,
                                                         VARIANT* applications, VARIANT* permissions);

/* ---- Part 5.2: port applications query ----------------------------------- */

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
