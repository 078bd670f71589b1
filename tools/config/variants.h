// VARIANT arguments for the exports and the arrays they hand back. An export
// takes its VARIANT arguments by value: it gets a bitwise copy, and the owner
// here keeps, and at its end frees, what the VARIANT holds.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "api/raii.h"

namespace lumbrexctl {

using lumbrex::UniqueVariant;

// A string argument (VT_BSTR).
class TextArg {
 public:
  explicit TextArg(std::wstring_view text);
  TextArg(const TextArg&) = delete;
  TextArg& operator=(const TextArg&) = delete;
  VARIANT get() const { return *value_.get(); }

 private:
  UniqueVariant value_;
};


// The text of a VT_BSTR result; nothing for any other type.
std::optional<std::wstring> TextOf(const VARIANT& value);
// A result as a 32-bit number (VariantChangeType); nothing when it is none.
std::optional<LONG> NumberOf(const VARIANT& value);
// The strings of a VT_ARRAY|VT_BSTR result (VT_EMPTY: none).
std::vector<std::wstring> StringsOf(const VARIANT& value);
// Each element of a VT_ARRAY|VT_VARIANT result, in order, lent for the call.
void ForEachElement(const VARIANT& value, const std::function<void(const VARIANT&)>& visit);

}  // namespace lumbrexctl
