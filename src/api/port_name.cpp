#include "api/port_name.h"

namespace lumbrex {

bool IsValidPortName(TextView name) {
  // Callers were given this rule (docs/api-reference.md) and use names like "@1" and of 33
  // characters: not 32, not "A". It keeps out "," and "!" (command fields) and "\" (key paths).
  if (name.empty() || name.size() > 33) return false;
  for (Char16 c : name) {
    const bool ok = (c >= 0x40 && c <= 0x5A) || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
    if (!ok) return false;
  }
  return true;
}

}  // namespace lumbrex
