#include "common/name_rules.h"

namespace lumbrex {
namespace {

constexpr char32_t kNotACharacter = 0x110000;  // plus the unit: outside Unicode

// The code point at text[*at], moving *at past it.
char32_t NextOf(std::string_view text, size_t* at) {
  const size_t i = *at;
  const unsigned char lead = static_cast<unsigned char>(text[i]);
  const size_t length = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 0;
  bool whole = length > 0 && i + length <= text.size();
  char32_t c = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
  for (size_t k = 1; whole && k < length; ++k) {
    const unsigned char next = static_cast<unsigned char>(text[i + k]);
    whole = (next >> 6) == 2;
    c = (c << 6) | (next & 0x3F);
  }
  if (!whole) {
    *at = i + 1;
    return kNotACharacter + lead;
  }
  *at = i + length;
  return c;
}

char32_t NextOf(TextView text, size_t* at) {
  const char32_t unit = static_cast<char16_t>(text[*at]);
  ++*at;
  if (unit >= 0xD800 && unit <= 0xDBFF && *at < text.size()) {
    const char32_t low = static_cast<char16_t>(text[*at]);
    if (low >= 0xDC00 && low <= 0xDFFF) {
      ++*at;
      return 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
    }
  }
  return unit;  // a lone surrogate stands for itself
}

template <class View>
std::u32string Folded(View text) {
  std::u32string folded;
  for (size_t at = 0; at < text.size();) folded.push_back(FoldedLetter(NextOf(text, &at)));
  return folded;
}

// Letter by letter, building neither folded name: the planner compares a
// side's ports with one another.
template <class View>
bool Same(View a, View b) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size())
    if (FoldedLetter(NextOf(a, &i)) != FoldedLetter(NextOf(b, &j))) return false;
  return i == a.size() && j == b.size();
}

template <class View>
const char* TextProblem(View name, bool application) {
  for (size_t at = 0; at < name.size();) {
    const char32_t c = NextOf(name, &at);
    if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) return "holds a control character";
    if (application) continue;
    if (c == U'!') return "holds '!', which ends a command on the service's pipe";
    if (c == U',') return "holds ',', which separates the fields of a command";
  }
  return nullptr;
}

}  // namespace

char32_t FoldedLetter(char32_t c) {
  if ((c >= U'A' && c <= U'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 0x20;
  if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 0x20;  // Greek capitals
  if (c == 0x386) return 0x3AC;
  if (c >= 0x388 && c <= 0x38A) return c + 0x25;
  if (c == 0x38C) return 0x3CC;
  if (c == 0x38E || c == 0x38F) return c + 0x3F;
  if (c >= 0x410 && c <= 0x42F) return c + 0x20;  // Cyrillic capitals
  if (c >= 0x400 && c <= 0x40F) return c + 0x50;
  // Cyrillic pairs, capital then small (from U+04C1 shifted by one).
  const bool evenPair = (c >= 0x460 && c <= 0x481) || (c >= 0x48A && c <= 0x4BF) || (c >= 0x4D0 && c <= 0x4FF);
  if ((evenPair && c % 2 == 0) || (c >= 0x4C1 && c <= 0x4CE && c % 2 == 1)) return c + 1;
  if (c >= 0x531 && c <= 0x556) return c + 0x30;  // Armenian capitals
  // Latin Extended-A pairs capital then small, shifted by one between 0x139
  // and 0x148 and from 0x179.
  if (c >= 0x100 && c <= 0x137 && c != 0x130 && c % 2 == 0) return c + 1;
  if (((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) && c % 2 == 1) return c + 1;
  if (c >= 0x14A && c <= 0x177 && c % 2 == 0) return c + 1;
  if (c == 0x178) return 0xFF;
  if (c >= 0xFF21 && c <= 0xFF3A) return c + 0x20;  // fullwidth Latin capitals
  return c;
}

std::u32string FoldedName(std::string_view utf8) { return Folded(utf8); }
std::u32string FoldedName(TextView utf16) { return Folded(utf16); }
bool SameName(std::string_view a, std::string_view b) { return Same(a, b); }
bool SameName(TextView a, TextView b) { return Same(a, b); }
const char* NameTextProblem(TextView name, bool application) { return TextProblem(name, application); }
const char* NameTextProblem(std::string_view utf8, bool application) { return TextProblem(utf8, application); }

}  // namespace lumbrex
