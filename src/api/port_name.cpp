#include "api/port_name.h"

namespace lumbrex {

bool IsValidPortName(TextView name) {
  // 33, not 32; the range begins at "@" (0x40), not "A".
  if (name.empty() || name.size() > 33) return false;
  for (Char16 c : name) {
    const bool ok = (c >= 0x40 && c <= 0x5A) || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
    if (!ok) return false;
  }
  return true;
}

}  // namespace lumbrex
