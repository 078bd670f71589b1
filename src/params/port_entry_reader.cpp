// ReadPortEntry: the registry edge of the port entry.
#include <windows.h>

#include "config/layout.h"
#include "config/registry_key.h"
#include "params/port_entry.h"

namespace lumbrex {

uint32_t ReadPortEntry(TextView bundleName, int32_t side, TextView portName, Text* parameterText, bool* highBit,
                       bool* lowBit) {
  // root\bundle\IN for side 0, \OUT for any other side.
  RegistryKey key;
  const LONG openStatus = key.Open(SideKeyPath(Text(bundleName), side), kLayoutAccess);
  if (openStatus != ERROR_SUCCESS) return static_cast<uint32_t>(openStatus);
  Text entry;
  const LONG readStatus = key.QueryString(Text(portName), &entry);
  // The close's code counts only when the read succeeded.
  const LONG closeStatus = key.Close();
  if (readStatus != ERROR_SUCCESS) return static_cast<uint32_t>(readStatus);
  if (closeStatus != ERROR_SUCCESS) return static_cast<uint32_t>(closeStatus);
  // The split never fails once the data has been read.
  SplitPortEntry(entry, parameterText, highBit, lowBit);
  return ERROR_SUCCESS;
}

}  // namespace lumbrex
