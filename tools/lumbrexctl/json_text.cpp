#include "json_text.h"

namespace lumbrexctl {
namespace {

constexpr char kHex[] = "0123456789abcdef";

void AppendEscape(unsigned int unit, std::string* out) {
  *out += "\\u";
  for (int shift = 12; shift >= 0; shift -= 4) out->push_back(kHex[(unit >> shift) & 0xF]);
}

void WriteString(const std::string& text, std::string* out) {
  out->push_back('"');
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    // A second byte A0 to BF after ED only ever comes from a lone surrogate.
    if (c == 0xED && i + 2 < text.size() && (static_cast<unsigned char>(text[i + 1]) & 0xE0) == 0xA0) {
      AppendEscape(0xD000 | ((text[i + 1] & 0x3F) << 6) | (text[i + 2] & 0x3F), out);
      i += 2;
      continue;
    }
    switch (c) {
      case '"': *out += "\\\""; break;
      case '\\': *out += "\\\\"; break;
      case '\b': *out += "\\b"; break;
      case '\f': *out += "\\f"; break;
      case '\n': *out += "\\n"; break;
      case '\r': *out += "\\r"; break;
      case '\t': *out += "\\t"; break;
      default:
        if (c < 0x20) AppendEscape(c, out);
        else out->push_back(static_cast<char>(c));
    }
  }
  out->push_back('"');
}

void Write(const Json& value, int depth, std::string* out) {
  const std::string inner(2 * (depth + 1), ' ');
  if (value.is_object() || value.is_array()) {
    const bool object = value.is_object();
    if (value.empty()) {
      *out += object ? "{}" : "[]";
      return;
    }
    *out += object ? "{\n" : "[\n";
    bool first = true;
    for (auto item = value.begin(); item != value.end(); ++item) {
      *out += first ? "" : ",\n";
      first = false;
      *out += inner;
      if (object) {
        WriteString(item.key(), out);
        *out += ": ";
      }
      Write(item.value(), depth + 1, out);
    }
    *out += "\n" + std::string(2 * depth, ' ') + (object ? "}" : "]");
  } else if (value.is_string()) {
    WriteString(value.get_ref<const std::string&>(), out);
  } else {
    *out += value.dump();  // numbers, true, false, null
  }
}

}  // namespace

std::string Wtf8(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned long c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF)
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {  // lone surrogates too
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

std::string JsonText(const Json& value) {
  std::string out;
  Write(value, 0, &out);
  return out + "\n";
}

}  // namespace lumbrexctl
