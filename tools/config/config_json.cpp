#include "config_json.h"

#include <string>
#include <unordered_set>

namespace lumbrexctl::config {
namespace {

std::string LineAndColumn(std::string_view text, size_t byte) {
  size_t line = 1, column = 1;
  for (size_t i = 0; i + 1 < byte && i < text.size(); ++i) {
    if (text[i] == '\n') {
      ++line;
      column = 1;
    } else if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
      ++column;
    }
  }
  return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

void AppendUtf8(char32_t c, std::string* out) {
  if (c < 0x80) {
    out->push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (c >> 6)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (c >> 12)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (c >> 18)));
    out->push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

// UTF-16 behind its byte-order mark as UTF-8; a lone surrogate or a byte
// left over is said with its place in the text converted so far.
bool FromUtf16(std::string_view bytes, bool bigEndian, std::string* text, std::vector<Problem>* problems) {
  const auto unit = [&](size_t at) -> char32_t {
    const unsigned char a = static_cast<unsigned char>(bytes[at]), b = static_cast<unsigned char>(bytes[at + 1]);
    return bigEndian ? (a << 8 | b) : (b << 8 | a);
  };
  const auto fail = [&](const char* what) {
    problems->push_back({LineAndColumn(*text, text->size() + 1), std::string("not UTF-16: ") + what});
    return false;
  };
  for (size_t at = 2; at < bytes.size(); at += 2) {
    if (at + 1 == bytes.size()) return fail("the file ends in the middle of a character");
    char32_t c = unit(at);
    if (c >= 0xDC00 && c <= 0xDFFF) return fail("a lone low surrogate");
    if (c >= 0xD800 && c <= 0xDBFF) {
      const char32_t low = at + 3 < bytes.size() ? unit(at + 2) : 0;
      if (low < 0xDC00 || low > 0xDFFF) return fail("a lone high surrogate");
      c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
      at += 2;
    }
    AppendUtf8(c, text);
  }
  return true;
}

// Counted on the bytes, before the parser runs: what reads a document walks
// it level by level, and a few thousand levels would use up the stack.
bool WithinDepth(std::string_view text, std::vector<Problem>* problems) {
  int depth = 0;
  bool inString = false, escaped = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (inString) {
      if (escaped) escaped = false;
      else if (c == '\\') escaped = true;
      else if (c == '"') inString = false;
    } else if (c == '"') {
      inString = true;
    } else if (c == '[' || c == '{') {
      if (++depth <= kMaxDepth) continue;
      problems->push_back({LineAndColumn(text, i + 1), "nested deeper than " + std::to_string(kMaxDepth) +
                                                          " arrays and objects; a configuration document nests 7"});
      return false;
    } else if (c == ']' || c == '}') {
      --depth;  // unbalanced text: the parser says where
    }
  }
  return true;
}

// The parser's reason without its own place (said as line and column of
// characters instead) and without the text it last read, which may be the
// very bytes that are not UTF-8.
std::string Reason(const std::string& what) {
  std::string reason = what;
  const size_t column = reason.find(", column ");
  const size_t colon = column == std::string::npos ? std::string::npos : reason.find(": ", column);
  if (colon != std::string::npos) reason.erase(0, colon + 2);
  else if (reason.rfind("[json.exception.", 0) == 0) reason.erase(0, reason.find("] ") + 2);
  const size_t read = reason.find("; last read: '");
  if (read != std::string::npos) {
    const size_t expected = reason.find("'; expected", read);
    reason.erase(read, expected == std::string::npos ? std::string::npos : expected + 1 - read);
  }
  return reason;
}

// Builds the value as nlohmann's own reader does, but appends each member
// to its object (the ordered object's insert looks for the name first, a
// scan that an object of many members makes quadratic) and refuses a member
// named twice: JSON readers differ in which of the two values they keep, so
// the author may well mean the other one.
class Builder : public nlohmann::json_sax<Json> {
 public:
  explicit Builder(Json* root) : root_(root) {}
  std::vector<Problem> problems;

  bool null() override { return Put(nullptr); }
  bool boolean(bool value) override { return Put(value); }
  bool number_integer(number_integer_t value) override { return Put(value); }
  bool number_unsigned(number_unsigned_t value) override { return Put(value); }
  bool number_float(number_float_t value, const string_t&) override { return Put(value); }
  bool string(string_t& value) override { return Put(std::move(value)); }
  bool binary(binary_t&) override { return false; }  // never in JSON text
  bool start_object(std::size_t) override { return Open(Json::object()); }
  bool start_array(std::size_t) override { return Open(Json::array()); }
  bool end_object() override { return Close(); }
  bool end_array() override { return Close(); }
  bool parse_error(std::size_t byte, const std::string&, const nlohmann::detail::exception& error) override {
    what = error.what();
    position = byte;
    return false;
  }
  bool key(string_t& name) override {
    Level& object = levels_.back();
    object.member = name;
    if (object.names.insert(name).second) {
      if (object.value != nullptr) object.slot = &object.value->get_ref<Json::object_t&>().emplace_back(name, nullptr).second;
      return true;
    }
    problems.push_back({Path(levels_.size()) + Segment(levels_.size() - 1),
                        "named twice in the same object; name each member once"});
    building_ = false;  // the document is refused: only the places matter now
    return true;
  }

  std::string what;  // the parser's error, and the byte it names
  size_t position = 0;

 private:
  struct Level {
    Json* value = nullptr;  // null once building stopped
    bool array = false, apps = false;
    size_t next = 0;  // an array's next element
    std::string entered;  // the member or element this level is, as the reader says places
    std::string member;   // an object's current member
    Json* slot = nullptr;
    std::unordered_set<std::string> names;
  };
  Json* root_;
  std::vector<Level> levels_;
  bool building_ = true;

  // How the value that starts now in level `at` is named after its parent's place.
  std::string Segment(size_t at) {
    Level& up = levels_[at];
    if (up.array) return "[" + std::to_string(up.next) + "]";
    // A share object's members are application names: written as the reader writes them.
    if (up.apps) return "[\"" + up.member + "\"]";
    return (at == 0 ? "" : ".") + up.member;
  }
  std::string Path(size_t levels) const {
    std::string path;
    for (size_t i = 0; i < levels; ++i) path += levels_[i].entered;
    return path;
  }

  // Where the value that starts now goes; null when nothing is built.
  Json* Slot() {
    if (levels_.empty()) return building_ ? root_ : nullptr;
    Level& up = levels_.back();
    Json* slot = nullptr;
    if (building_ && up.value != nullptr)
      slot = up.array ? &up.value->get_ref<Json::array_t&>().emplace_back() : up.slot;
    return slot;
  }
  void Advance() {
    if (!levels_.empty() && levels_.back().array) ++levels_.back().next;
  }
  template <class Value>
  bool Put(Value&& value) {
    if (Json* slot = Slot()) *slot = std::forward<Value>(value);
    Advance();
    return true;
  }
  bool Open(Json&& empty) {
    if (levels_.size() >= kMaxDepth) return false;  // WithinDepth let nothing deeper through
    Level level;
    level.array = empty.is_array();
    level.entered = levels_.empty() ? "" : Segment(levels_.size() - 1);
    level.apps = !levels_.empty() && !levels_.back().array && levels_.back().member == "share";
    level.value = Slot();
    if (level.value != nullptr) *level.value = std::move(empty);
    Advance();
    levels_.push_back(std::move(level));
    return true;
  }
  bool Close() {
    levels_.pop_back();
    return true;
  }
};

bool LooksLikeUtf16(std::string_view bytes) {
  return bytes.size() >= 2 && (bytes[0] == '\0') != (bytes[1] == '\0');
}

}  // namespace

bool ParseJson(std::string_view bytes, Json* into, std::vector<Problem>* problems) {
  std::string converted;
  std::string_view text = bytes;
  const bool little = bytes.substr(0, 2) == "\xFF\xFE", big = bytes.substr(0, 2) == "\xFE\xFF";
  if (little || big) {
    if (!FromUtf16(bytes, big, &converted, problems)) return false;
    text = converted;
  } else if (LooksLikeUtf16(bytes)) {
    problems->push_back({"", "not JSON: UTF-16 without a byte-order mark; write the file as UTF-8 "
                             "(PowerShell: Out-File -Encoding utf8) or as UTF-16 with its mark"});
    return false;
  }
  if (!WithinDepth(text, problems)) return false;
  Builder builder(into);
  const bool parsed = Json::sax_parse(text.begin(), text.end(), &builder);
  // Text that is no JSON is said alone: members named twice before the
  // error may be the error's own doing.
  if (!builder.what.empty()) {
    problems->push_back({LineAndColumn(text, builder.position), "not JSON: " + Reason(builder.what)});
    return false;
  }
  if (!parsed && builder.problems.empty()) builder.problems.push_back({"", "not JSON: nested too deep"});
  problems->insert(problems->end(), builder.problems.begin(), builder.problems.end());
  return builder.problems.empty();
}

}  // namespace lumbrexctl::config
