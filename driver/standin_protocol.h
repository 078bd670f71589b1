/*
 * The stand-in port-sharing driver's interface (docs/driver.md): the query it
 * answers for SharedGetPortApplications and the control requests of our own
 * with which tests set its answer, make it fail and read what it saw.
 * Plain C, shared by the kernel-mode driver and the user-mode tests.
 */
#ifndef LUMBREX_STANDIN_PROTOCOL_H
#define LUMBREX_STANDIN_PROTOCOL_H

#include <stdint.h>

/* The query device's name and its request, LUMBREX_IOCTL_GET_PORT_APPLICATIONS,
   are the library's. */
#include "common/sharing_device.h"

/* Our control requests: device type 0x8000 (customer range), functions
   0x900.., METHOD_BUFFERED, FILE_ANY_ACCESS. */
#define STANDIN_CTL(function) ((0x8000u << 16) | ((uint32_t)(function) << 2))
/* Back to the start state: answer = 4 zero bytes (no record), no planned
   failure, empty log, the query link present. No input, no output. */
#define STANDIN_IOCTL_RESET STANDIN_CTL(0x900)
/* Input: the raw answer (0 to STANDIN_MAX_ANSWER bytes), given as is to every
   later query that offers at least that many bytes. */
#define STANDIN_IOCTL_SET_ANSWER STANDIN_CTL(0x901)
/* Input: struct StandinFailPlan. The next `count` queries fail with `status`. */
#define STANDIN_IOCTL_FAIL_NEXT STANDIN_CTL(0x902)
/* Output: struct StandinLog (what queries the driver saw since the reset). */
#define STANDIN_IOCTL_GET_LOG STANDIN_CTL(0x903)
/* Remove / restore the query link STANDIN_QUERY_LINK, so that a test
   can see the open fail while the driver stays loaded. */
#define STANDIN_IOCTL_HIDE_QUERY_LINK STANDIN_CTL(0x904)
#define STANDIN_IOCTL_SHOW_QUERY_LINK STANDIN_CTL(0x905)

#define STANDIN_MAX_ANSWER 65536u
#define STANDIN_MAX_LOGGED 64u

/* Names: the query device and link the library opens, plus a control link of
   ours that stays while the query link is hidden. */
#define STANDIN_DEVICE_NAME L"\\Device\\" LUMBREX_SHARING_DEVICE_NAME
#define STANDIN_QUERY_LINK L"\\DosDevices\\" LUMBREX_SHARING_DEVICE_NAME
#define STANDIN_CONTROL_LINK L"\\DosDevices\\FenwyckStandinControl"
#define STANDIN_CONTROL_PATH L"\\\\.\\FenwyckStandinControl"
#define STANDIN_SERVICE_NAME L"FenwyckStandin"
#define STANDIN_IMAGE_NAME L"fenwyck_standin.sys"

/* Plain NTSTATUS values tests may plan. */
#define STANDIN_STATUS_UNSUCCESSFUL ((int32_t)0xC0000001)     /* ERROR_GEN_FAILURE, 31 */
#define STANDIN_STATUS_BUFFER_TOO_SMALL ((int32_t)0xC0000023) /* ERROR_INSUFFICIENT_BUFFER, 122 */
#define STANDIN_STATUS_BUFFER_OVERFLOW ((int32_t)0x80000005)  /* ERROR_MORE_DATA, 234 */

#pragma pack(push, 4)
struct StandinFailPlan {
  uint32_t count;
  int32_t status;
};

struct StandinRequest {
  uint32_t outputLength; /* bytes the caller offered for the answer */
  uint32_t inputLength;
  uint32_t inputValue;   /* the first 4 input bytes, 0 if fewer */
  int32_t status;        /* what the driver answered */
  uint32_t returned;     /* bytes it returned */
  uint32_t reserved;
  int64_t timeUs;        /* KeQueryPerformanceCounter, in microseconds */
};

struct StandinLog {
  uint32_t requests; /* queries seen since the reset (may exceed `logged`) */
  uint32_t logged;   /* entries filled, at most STANDIN_MAX_LOGGED */
  struct StandinRequest entries[STANDIN_MAX_LOGGED];
};
#pragma pack(pop)

#endif
