/*
 * lumbrex_codes.h - the numbers of the lumbrex.dll interface: sides, port
 * types, parity and flow-control codes, port and share permission bits, and
 * the five global options in the order the service's UPDATE_SETTINGS command
 * carries them. Plain C with no Windows header, so that every program on either
 * side of the service's pipe and registry can use the same names; lumbrex.h
 * includes it.
 */
#ifndef LUMBREX_CODES_H
#define LUMBREX_CODES_H

/* The side argument of every bundle and port export. */
enum LumbrexSide { LUMBREX_SIDE_IN = 0, LUMBREX_SIDE_OUT = 1 };

/* Port types: the integer VARIANT of BundleAddPort, the VT_INT result of
   BundleGetPortType (0 there: an entry of no known type). */
enum LumbrexPortType {
  LUMBREX_PORT_REAL = 1,
  LUMBREX_PORT_VIRTUAL = 2,
  LUMBREX_PORT_SHARED = 4,
  LUMBREX_PORT_SWITCHER = 8
};

/* Parity codes of the real-port parameter exports (letters N O E M S). */
enum LumbrexParity {
  LUMBREX_PARITY_NONE = 0,
  LUMBREX_PARITY_ODD = 1,
  LUMBREX_PARITY_EVEN = 2,
  LUMBREX_PARITY_MARK = 3,
  LUMBREX_PARITY_SPACE = 4
};

/* Data bits and stop bits of the real-port parameter exports: 5 to 8 data
   bits; stop bits 0 (one), 1 (one and a half) or 2 (two), as in Windows' DCB. */
enum LumbrexDataBits { LUMBREX_DATA_BITS_MIN = 5, LUMBREX_DATA_BITS_MAX = 8 };
enum LumbrexStopBits { LUMBREX_STOP_BITS_ONE = 0, LUMBREX_STOP_BITS_ONE_HALF = 1, LUMBREX_STOP_BITS_TWO = 2 };

/* Flow-control codes of the real-port parameter exports (no field, X, P). */
enum LumbrexFlowControl { LUMBREX_FLOW_NONE = 0, LUMBREX_FLOW_XONXOFF = 1, LUMBREX_FLOW_HARDWARE = 2 };

/* The port permission mask of BundlePortGetPermissions and
   BundlePortSetPermissions: two bits, 0 to 3. */
enum LumbrexPortPermission {
  LUMBREX_PORT_PERMISSION_LOW = 1,
  LUMBREX_PORT_PERMISSION_HIGH = 2,
  LUMBREX_PORT_PERMISSION_BOTH = 3
};

/* Share permission values of SharedPortSetPermissionsForApp: 0, or a value
   with at least one of the three bits set (their meaning is the service's and
   the port-sharing driver's). SharedSetDefaultPermissions sends the default. */
enum LumbrexSharePermission {
  LUMBREX_SHARE_NONE = 0,
  LUMBREX_SHARE_BIT_1 = 1,
  LUMBREX_SHARE_BIT_2 = 2,
  LUMBREX_SHARE_BIT_4 = 4,
  LUMBREX_SHARE_DEFAULT = 3,
  /* The three bits together: a value other than 0 must hold one of them. */
  LUMBREX_SHARE_ANY_BIT = LUMBREX_SHARE_BIT_1 | LUMBREX_SHARE_BIT_2 | LUMBREX_SHARE_BIT_4
};

/* The five global options, in the order in which the option setters send
   them in UPDATE_SETTINGS (position = value + 1). The first four are values of
   the configuration root key; StrictBaudrate belongs to the virtual-serial
   driver's service key. */
enum LumbrexOption {
  LUMBREX_OPTION_AUTO_OPEN = 0,
  LUMBREX_OPTION_IGNORE_ERROR = 1,
  LUMBREX_OPTION_PRINTS = 2,
  LUMBREX_OPTION_SEND_DATA_ONLY_MAIN_PORT = 3,
  LUMBREX_OPTION_STRICT_BAUDRATE = 4,
  LUMBREX_OPTION_COUNT = 5
};

#endif /* LUMBREX_CODES_H */
