// Sole owner of one COM interface pointer, on the project's resource owner:
// released when reset or destroyed.
#pragma once
#include <unknwn.h>

#include "api/raii.h"

namespace lumbrex_automation {

template <class Interface>
struct ComPointerTraits {
  using Type = Interface*;
  static Interface* None() { return nullptr; }
  static bool Valid(Interface* p) { return p != nullptr; }
  static void Close(Interface* p) { p->Release(); }
};
template <class Interface>
using ComOwner = lumbrex::UniqueResource<ComPointerTraits<Interface>>;

}  // namespace lumbrex_automation
