// The words of the service's command protocol that name a side or a port type:
// the library's command builder writes them and the service's parser reads
// them, from this one table. Plain: no windows.h, so the fuzzers build it too.
#pragma once
#include <cstddef>
#include <cstdint>

#include "lumbrex_codes.h"

namespace lumbrex {

// The side word of a port command: "In" for LUMBREX_SIDE_IN, "Out" for LUMBREX_SIDE_OUT.
inline constexpr const char* kSideWords[] = {"In", "Out"};
inline constexpr const char* SideWord(bool inputSide) {
  return kSideWords[inputSide ? LUMBREX_SIDE_IN : LUMBREX_SIDE_OUT];
}

// ADD_PORT's port type words, with the codes callers use for them.
struct PortTypeWordEntry {
  int32_t type;
  const char* word;
};
inline constexpr PortTypeWordEntry kPortTypeWords[] = {
    {LUMBREX_PORT_REAL, "Real"},
    {LUMBREX_PORT_VIRTUAL, "Virtual"},
    {LUMBREX_PORT_SHARED, "Shared"},
    {LUMBREX_PORT_SWITCHER, "Switcher"},
};
inline constexpr size_t kPortTypeWordCount = sizeof kPortTypeWords / sizeof kPortTypeWords[0];

// The word of a port type code; the empty word for any other number.
inline constexpr const char* PortTypeWord(int32_t type) {
  for (const PortTypeWordEntry& entry : kPortTypeWords)
    if (entry.type == type) return entry.word;
  return "";
}

}  // namespace lumbrex
