/*
 * The port-sharing driver's control device and its one request, as the
 * library asks it and the stand-in driver answers it. Plain C with no Windows
 * header, so that the kernel-mode stand-in, the library and the tests include
 * it alike.
 */
#ifndef LUMBREX_COMMON_SHARING_DEVICE_H
#define LUMBREX_COMMON_SHARING_DEVICE_H

/* The device's name: \\.\<name> for a program, \Device\<name> and its link
   \DosDevices\<name> in the kernel. */
#define LUMBREX_SHARING_DEVICE_NAME L"FenwyckControl2"

/* Which applications hold a shared port open: type 0x2A, function 0x43,
   METHOD_BUFFERED, FILE_ANY_ACCESS. */
#define LUMBREX_IOCTL_GET_PORT_APPLICATIONS 0x002A010Cu

#endif
