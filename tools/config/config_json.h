// The JSON text of a configuration document or a saved plan, read within
// bounds before anything else looks at it (docs/configuration.md, "Limits"):
// at most kMaxFileBytes read from a file, at most kMaxDepth levels of arrays
// and objects, each member named once in its object. Plain C++, as
// config_document.h.
#pragma once
#include <cstddef>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "config_document.h"

namespace lumbrexctl::config {

using Json = nlohmann::ordered_json;

// The most a document or saved plan file may hold: an export of some 200,000
// ports. The file is read no further than one byte past it.
constexpr size_t kMaxFileBytes = 64u << 20;

// The deepest nesting taken, checked before the parser runs. A document is
// seven levels deep (the document, bundles, a bundle, a side, its ports, a
// port, its parameters); a saved plan holds one more.
constexpr int kMaxDepth = 64;

// The file's bytes as JSON: UTF-8 (a byte-order mark skipped), or UTF-16
// with its byte-order mark, which Windows PowerShell 5.1 writes with '>' and
// Out-File. False with the problems (where, and why) when the text is no
// JSON, nests deeper than kMaxDepth or names a member twice in one object.
bool ParseJson(std::string_view bytes, Json* into, std::vector<Problem>* problems);

}  // namespace lumbrexctl::config
