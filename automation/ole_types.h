// What the generated interface header includes for ole_types.idl: the real
// OLE automation declarations.
#pragma once
#include <oaidl.h>
