#include "command.h"

#include <vector>

#include "common/protocol_words.h"

namespace lumbrex::service {
namespace {

static_assert(static_cast<size_t>(PortKind::Kolm) == kPortTypeWordCount, "PortKind follows the port type words");
constexpr const char* kKolmWord = "KOLM";

bool EqualsAscii(TextView text, const char* ascii) {
  Text wide;
  for (const char* p = ascii; *p; ++p) wide.push_back(Char16(*p));
  return EqualsIgnoringAsciiCase(text, wide);
}

using Fields = std::vector<TextView>;

Fields SplitFields(TextView text) {
  Fields fields;
  size_t start = 0;
  for (;;) {
    const size_t comma = text.find(Char16(','), start);
    if (comma == TextView::npos) {
      fields.push_back(text.substr(start));
      return fields;
    }
    fields.push_back(text.substr(start, comma - start));
    start = comma + 1;
  }
}

// A bundle is exactly one subkey of the root key: a "\" would reach into
// another key, so it is refused like an empty name.
bool IsBundleName(TextView name) {
  return !name.empty() && name.size() <= kMaxBundleName && name.find(Char16('\\')) == TextView::npos;
}

// A port name is a value name and, for sharing, one key name.
bool IsPortName(TextView name) {
  return !name.empty() && name.size() <= kMaxPortName && name.find(Char16('\\')) == TextView::npos;
}

bool ParseSide(TextView word, Side& side) {
  for (Side each : {Side::In, Side::Out}) {
    if (EqualsAscii(word, kSideWords[static_cast<int>(each)])) {
      side = each;
      return true;
    }
  }
  return false;
}

bool ParseKind(TextView word, PortKind& kind) {
  for (size_t i = 0; i <= kPortTypeWordCount; ++i) {
    if (EqualsAscii(word, PortKindWord(static_cast<PortKind>(i)))) {
      kind = static_cast<PortKind>(i);
      return true;
    }
  }
  return false;
}

// bundle, side, port: the head of every port command.
const char* ParsePortAddress(const Fields& fields, Request& out) {
  if (!IsBundleName(fields[0])) return "bad bundle name";
  if (!ParseSide(fields[1], out.side)) return "bad side word";
  out.bundle = Text(fields[0]);
  out.port = Text(fields[2]);
  return nullptr;
}

// A port command's head naming one port: every port command but SET_MAIN.
const char* ParsePort(const Fields& fields, Request& out) {
  if (const char* reason = ParsePortAddress(fields, out)) return reason;
  return IsPortName(out.port) ? nullptr : "bad port name";
}

const char* ParseAddBundle(const Fields& fields, Request& out) {
  // The library always sends 4 and gives it no meaning: any non-negative number.
  int64_t number = 0;
  if (!ParseDecimal(fields[0], false, 0, INT32_MAX, number)) return "bad number";
  if (!IsBundleName(fields[1])) return "bad bundle name";
  out.bundle = Text(fields[1]);
  return nullptr;
}

const char* ParseBundle(const Fields& fields, Request& out) {
  if (!IsBundleName(fields[0])) return "bad bundle name";
  out.bundle = Text(fields[0]);
  return nullptr;
}

const char* ParseRenameBundle(const Fields& fields, Request& out) {
  if (!IsBundleName(fields[0]) || !IsBundleName(fields[1])) return "bad bundle name";
  out.bundle = Text(fields[0]);
  out.newBundle = Text(fields[1]);
  return nullptr;
}

const char* ParseAddPort(const Fields& fields, Request& out) {
  if (const char* reason = ParsePort(fields, out)) return reason;
  return ParseKind(fields[3], out.kind) ? nullptr : "bad port type word";
}

const char* ParseSetMain(const Fields& fields, Request& out) {
  // An empty port clears the side's main port (docs/service.md).
  if (const char* reason = ParsePortAddress(fields, out)) return reason;
  return out.port.empty() || IsPortName(out.port) ? nullptr : "bad port name";
}

const char* ParseRportParams(const Fields& fields, Request& out) {
  if (const char* reason = ParsePort(fields, out)) return reason;
  // Parameter text, then "|high|low".
  const TextView field = fields[3];
  const size_t bar = field.find(Char16('|'));
  if (bar == TextView::npos || field.find(Char16('|'), bar + 1) == TextView::npos)
    return "parameter field without its two bit fields";
  out.parameterText = DecodeParameterText(field.substr(0, bar));
  out.bitFields = Text(field.substr(bar));
  return nullptr;
}

const char* ParseSettings(const Fields& fields, Request& out) {
  // The options' unsigned 8-bit values.
  for (size_t i = 0; i < LUMBREX_OPTION_COUNT; ++i) {
    int64_t value = 0;
    if (!ParseDecimal(fields[i], false, 0, 255, value)) return "bad option value";
    out.options[i] = static_cast<uint32_t>(value);
  }
  return nullptr;
}

const char* ParseSharePermission(const Fields& fields, Request& out) {
  if (const char* reason = ParsePort(fields, out)) return reason;
  if (!UnescapeApplicationName(fields[3], out.application)) return "bad escape in application name";
  if (out.application.empty() || out.application.size() > kMaxApplicationName) return "bad application name";
  int64_t value = 0;
  if (!ParseDecimal(fields[4], true, INT32_MIN, INT32_MAX, value)) return "bad permission value";
  out.permission = static_cast<uint32_t>(static_cast<int32_t>(value));
  // The values the library accepts: 0, or at least one of the bits 1, 2, 4.
  return out.permission != LUMBREX_SHARE_NONE && (out.permission & LUMBREX_SHARE_ANY_BIT) == 0
             ? "permission value refused"
             : nullptr;
}

struct CommandEntry {
  const char* text;
  CommandWord word;
  size_t fields;
  const char* (*parse)(const Fields& fields, Request& out);  // null: a reply word, never a command
};

// The command word table, in the protocol's order: each word with its field
// count and what it takes from its fields.
constexpr CommandEntry kCommands[] = {
    {"ADD_BUNDLE", CommandWord::AddBundle, 2, ParseAddBundle},
    {"DEL_BUNDLE", CommandWord::DelBundle, 1, ParseBundle},
    {"ADD_PORT", CommandWord::AddPort, 4, ParseAddPort},
    {"DEL_PORT", CommandWord::DelPort, 3, ParsePort},
    {"SET_RPORT_PARAMS", CommandWord::SetRportParams, 4, ParseRportParams},
    {"SET_MAIN", CommandWord::SetMain, 3, ParseSetMain},
    {"OK", CommandWord::Ok, 0, nullptr},
    {"ERROR", CommandWord::Error, 0, nullptr},
    {"RENAME_BUNDLE", CommandWord::RenameBundle, 2, ParseRenameBundle},
    {"GET_BUNDLE_STATE", CommandWord::GetBundleState, 1, ParseBundle},
    {"GET_PORT_STATE", CommandWord::GetPortState, 3, ParsePort},
    {"UPDATE_SETTINGS", CommandWord::UpdateSettings, LUMBREX_OPTION_COUNT, ParseSettings},
    {"SET_SHARE_PERMISSION", CommandWord::SetSharePermission, 5, ParseSharePermission},
};

const CommandEntry* FindCommand(TextView word) {
  for (const auto& entry : kCommands)
    if (EqualsAscii(word, entry.text)) return &entry;
  return nullptr;
}

}  // namespace

const char* PortKindWord(PortKind kind) {
  return kind == PortKind::Kolm ? kKolmWord : kPortTypeWords[static_cast<size_t>(kind)].word;
}

Text DecodeParameterText(TextView text) {
  Text out(text);
  for (auto& c : out)
    if (c == Char16('-')) c = Char16(',');
  return out;
}

bool UnescapeApplicationName(TextView text, Text& out) {
  out.clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != Char16('@')) {
      out.push_back(text[i]);
      continue;
    }
    if (i + 1 >= text.size()) return false;
    switch (text[++i]) {
      case Char16('1'): out.push_back(Char16('!')); break;
      case Char16('2'): out.push_back(Char16(',')); break;
      case Char16('3'): out.push_back(Char16('@')); break;
      default: return false;
    }
  }
  return true;
}

bool ParseDecimal(TextView text, bool allowMinus, int64_t min, int64_t max, int64_t& out) {
  bool negative = false;
  if (allowMinus && !text.empty() && text[0] == Char16('-')) {
    negative = true;
    text.remove_prefix(1);
  }
  if (text.empty() || text.size() > 12) return false;
  int64_t value = 0;
  for (Char16 c : text) {
    if (c < Char16('0') || c > Char16('9')) return false;
    value = value * 10 + (c - Char16('0'));
  }
  if (negative) value = -value;
  if (value < min || value > max) return false;
  out = value;
  return true;
}

const char* ParseCommand(TextView text, Request& out) {
  out = Request{};
  const size_t space = text.find(Char16(' '));
  const CommandEntry* entry = FindCommand(text.substr(0, space));
  if (!entry) return "unknown command word";
  out.word = entry->word;
  if (!entry->parse) return "a reply word is not a command";
  if (space == TextView::npos) return "bad field count";
  const Fields fields = SplitFields(text.substr(space + 1));
  if (fields.size() != entry->fields) return "bad field count";
  return entry->parse(fields, out);
}

CommandFramer::Got CommandFramer::Next(std::string& out) {
  constexpr size_t kHeadBytes = 200;  // as much as the log shows of a command
  const size_t bang = pending_.find('!');
  if (bang == std::string::npos) {
    if (dropped_ == 0 && pending_.size() <= limit_) return Got::kNothing;
    if (dropped_ == 0) head_.assign(pending_, 0, kHeadBytes);
    dropped_ += pending_.size();
    pending_.clear();
    return Got::kNothing;
  }
  if (dropped_ == 0 && bang <= limit_) {
    out.assign(pending_, 0, bang);
    pending_.erase(0, bang + 1);
    return Got::kCommand;
  }
  if (dropped_ == 0) head_.assign(pending_, 0, bang < kHeadBytes ? bang : kHeadBytes);
  overlongBytes_ = dropped_ + bang;
  out.swap(head_);
  head_.clear();
  dropped_ = 0;
  pending_.erase(0, bang + 1);
  return Got::kOverlong;
}

const char* Exchange::NextReply() {
  const CommandFramer::Got got = framer_.Next(command_);
  if (got == CommandFramer::Got::kNothing) return nullptr;
  bool done = false;
  try {
    done = handler_(command_, got == CommandFramer::Got::kOverlong) && got == CommandFramer::Got::kCommand;
  } catch (...) {
    done = false;  // the command is answered all the same
  }
  return done ? "OK!" : "ERROR!";
}

}  // namespace lumbrex::service
