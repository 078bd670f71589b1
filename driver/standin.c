/*
 * Stand-in for the port-sharing driver. It keeps what the library relies on:
 * the device path, the control code, the input and the answer layout; nothing
 * of the real driver's inner working. It answers the query request
 * (LUMBREX_IOCTL_GET_PORT_APPLICATIONS) with a buffer the tests load, and
 * records every query. docs/driver.md.
 */
#include <ntddk.h>

#include "standin_protocol.h"

static UCHAR g_answer[STANDIN_MAX_ANSWER];
static ULONG g_answerLength;
static struct StandinFailPlan g_failPlan;
static struct StandinLog g_log;
static BOOLEAN g_queryLinkShown;
static KSPIN_LOCK g_lock;
static PDEVICE_OBJECT g_device;

static int64_t NowUs(void) {
  LARGE_INTEGER frequency;
  LARGE_INTEGER counter = KeQueryPerformanceCounter(&frequency);
  if (frequency.QuadPart <= 0) return 0;
  return (counter.QuadPart / frequency.QuadPart) * 1000000 +
         (counter.QuadPart % frequency.QuadPart) * 1000000 / frequency.QuadPart;
}

static NTSTATUS SetQueryLink(BOOLEAN shown) {
  UNICODE_STRING link, device;
  NTSTATUS status = STATUS_SUCCESS;
  RtlInitUnicodeString(&link, STANDIN_QUERY_LINK);
  RtlInitUnicodeString(&device, STANDIN_DEVICE_NAME);
  if (shown && !g_queryLinkShown) status = IoCreateSymbolicLink(&link, &device);
  if (!shown && g_queryLinkShown) status = IoDeleteSymbolicLink(&link);
  if (NT_SUCCESS(status)) g_queryLinkShown = shown;
  return status;
}

static void ResetState(void) {
  KIRQL irql;
  KeAcquireSpinLock(&g_lock, &irql);
  RtlZeroMemory(g_answer, sizeof g_answer);
  g_answerLength = 4; /* a 32-bit 0: no record */
  g_failPlan.count = 0;
  g_failPlan.status = 0;
  RtlZeroMemory(&g_log, sizeof g_log);
  KeReleaseSpinLock(&g_lock, irql);
}

/* The library's query: the loaded answer if it fits, STATUS_BUFFER_TOO_SMALL
   if not, or the planned failure. */
static NTSTATUS AnswerQuery(PVOID buffer, ULONG inputLength, ULONG outputLength, ULONG_PTR* returned) {
  KIRQL irql;
  NTSTATUS status;
  ULONG inputValue = 0;
  if (inputLength >= 4) RtlCopyMemory(&inputValue, buffer, 4);
  KeAcquireSpinLock(&g_lock, &irql);
  if (g_failPlan.count > 0) {
    g_failPlan.count--;
    status = g_failPlan.status;
  } else if (g_answerLength > outputLength) {
    status = STATUS_BUFFER_TOO_SMALL;
  } else {
    RtlCopyMemory(buffer, g_answer, g_answerLength);
    *returned = g_answerLength;
    status = STATUS_SUCCESS;
  }
  if (g_log.logged < STANDIN_MAX_LOGGED) {
    struct StandinRequest* entry = &g_log.entries[g_log.logged++];
    entry->outputLength = outputLength;
    entry->inputLength = inputLength;
    entry->inputValue = inputValue;
    entry->status = status;
    entry->returned = (uint32_t)*returned;
    entry->timeUs = NowUs();
  }
  g_log.requests++;
  KeReleaseSpinLock(&g_lock, irql);
  return status;
}

/* The answer the query gets from now on. */
static NTSTATUS SetAnswer(PVOID buffer, ULONG inputLength) {
  KIRQL irql;
  if (inputLength > STANDIN_MAX_ANSWER) return STATUS_INVALID_PARAMETER;
  KeAcquireSpinLock(&g_lock, &irql);
  RtlZeroMemory(g_answer, sizeof g_answer);
  if (inputLength > 0) RtlCopyMemory(g_answer, buffer, inputLength);
  g_answerLength = inputLength;
  KeReleaseSpinLock(&g_lock, irql);
  return STATUS_SUCCESS;
}

/* How the next queries fail. */
static NTSTATUS SetFailPlan(PVOID buffer, ULONG inputLength) {
  KIRQL irql;
  if (inputLength != sizeof(struct StandinFailPlan)) return STATUS_INVALID_PARAMETER;
  KeAcquireSpinLock(&g_lock, &irql);
  RtlCopyMemory(&g_failPlan, buffer, sizeof g_failPlan);
  KeReleaseSpinLock(&g_lock, irql);
  return STATUS_SUCCESS;
}

/* The request log, for a test that checks what the library asked. */
static NTSTATUS CopyLog(PVOID buffer, ULONG outputLength, ULONG_PTR* returned) {
  KIRQL irql;
  if (outputLength < sizeof(struct StandinLog)) return STATUS_BUFFER_TOO_SMALL;
  KeAcquireSpinLock(&g_lock, &irql);
  RtlCopyMemory(buffer, &g_log, sizeof g_log);
  KeReleaseSpinLock(&g_lock, irql);
  *returned = sizeof(struct StandinLog);
  return STATUS_SUCCESS;
}

static NTSTATUS DispatchControl(PDEVICE_OBJECT device, PIRP irp) {
  PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
  ULONG code = stack->Parameters.DeviceIoControl.IoControlCode;
  ULONG inputLength = stack->Parameters.DeviceIoControl.InputBufferLength;
  ULONG outputLength = stack->Parameters.DeviceIoControl.OutputBufferLength;
  PVOID buffer = irp->AssociatedIrp.SystemBuffer;
  ULONG_PTR returned = 0;
  NTSTATUS status = STATUS_SUCCESS;
  (void)device;

  switch (code) {
    case LUMBREX_IOCTL_GET_PORT_APPLICATIONS:
      status = AnswerQuery(buffer, inputLength, outputLength, &returned);
      break;
    case STANDIN_IOCTL_RESET:
      ResetState();
      status = SetQueryLink(TRUE);
      break;
    case STANDIN_IOCTL_SET_ANSWER:
      status = SetAnswer(buffer, inputLength);
      break;
    case STANDIN_IOCTL_FAIL_NEXT:
      status = SetFailPlan(buffer, inputLength);
      break;
    case STANDIN_IOCTL_GET_LOG:
      status = CopyLog(buffer, outputLength, &returned);
      break;
    case STANDIN_IOCTL_HIDE_QUERY_LINK:
      status = SetQueryLink(FALSE);
      break;
    case STANDIN_IOCTL_SHOW_QUERY_LINK:
      status = SetQueryLink(TRUE);
      break;
    default:
      status = STATUS_INVALID_DEVICE_REQUEST;
      break;
  }
  irp->IoStatus.Status = status;
  irp->IoStatus.Information = returned;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  return status;
}

static NTSTATUS DispatchOpenClose(PDEVICE_OBJECT device, PIRP irp) {
  (void)device;
  irp->IoStatus.Status = STATUS_SUCCESS;
  irp->IoStatus.Information = 0;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  return STATUS_SUCCESS;
}

static void DriverUnload(PDRIVER_OBJECT driver) {
  UNICODE_STRING link;
  (void)driver;
  SetQueryLink(FALSE);
  RtlInitUnicodeString(&link, STANDIN_CONTROL_LINK);
  IoDeleteSymbolicLink(&link);
  if (g_device != NULL) IoDeleteDevice(g_device);
  g_device = NULL;
}

NTSTATUS DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath) {
  UNICODE_STRING deviceName, controlLink;
  NTSTATUS status;
  (void)registryPath;

  KeInitializeSpinLock(&g_lock);
  ResetState();
  RtlInitUnicodeString(&deviceName, STANDIN_DEVICE_NAME);
  status = IoCreateDevice(driver, 0, &deviceName, FILE_DEVICE_BUS_EXTENDER, 0, FALSE, &g_device);
  if (!NT_SUCCESS(status)) return status;
  g_device->Flags |= DO_BUFFERED_IO;
  status = SetQueryLink(TRUE);
  if (NT_SUCCESS(status)) {
    RtlInitUnicodeString(&controlLink, STANDIN_CONTROL_LINK);
    status = IoCreateSymbolicLink(&controlLink, &deviceName);
    if (!NT_SUCCESS(status)) SetQueryLink(FALSE);
  }
  if (!NT_SUCCESS(status)) {
    IoDeleteDevice(g_device);
    g_device = NULL;
    return status;
  }
  driver->MajorFunction[IRP_MJ_CREATE] = DispatchOpenClose;
  driver->MajorFunction[IRP_MJ_CLEANUP] = DispatchOpenClose;
  driver->MajorFunction[IRP_MJ_CLOSE] = DispatchOpenClose;
  driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = DispatchControl;
  driver->DriverUnload = DriverUnload;
  return STATUS_SUCCESS;
}
