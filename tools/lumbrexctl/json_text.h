// The JSON text of the tool's --json output, written here rather than by
// nlohmann::json's dump: names come from the registry as UTF-16 and may hold
// lone surrogates, which no UTF-8 can carry. dump would write each as U+FFFD,
// so two names differing only there would print alike, and as the keys of
// one object one would replace the other. JSON's \uXXXX escape carries a lone
// surrogate exactly; strings are held as WTF-8 (UTF-8 extended to lone
// surrogates) until they are written.
#pragma once
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace lumbrexctl {

using Json = nlohmann::ordered_json;

// `text` as WTF-8: UTF-8, and a lone surrogate as the three bytes UTF-8
// would give its code point (ED A0..BF 80..BF).
std::string Wtf8(std::wstring_view text);

// The value as indented JSON text (two spaces a level, as dump(2) lays it
// out) and a line end; a lone surrogate in a string as \udXXX, the rest of
// the text as it is.
std::string JsonText(const Json& value);

}  // namespace lumbrexctl
