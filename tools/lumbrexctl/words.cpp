#include "words.h"

#include "common/text.h"
#include "console.h"
#include "params/parameter_text.h"

namespace lumbrexctl {
namespace {

using lumbrex::EqualsIgnoringAsciiCase;

// The position of `word` among `names`, or -1.
template <size_t N>
int IndexOf(std::wstring_view word, const wchar_t* const (&names)[N]) {
  for (size_t i = 0; i < N; ++i)
    if (EqualsIgnoringAsciiCase(word, names[i])) return static_cast<int>(i);
  return -1;
}

// The code in [first, last] whose letter of the parameter text `word` is, in
// either case; -1 for any other word.
template <size_t N>
int LetterCode(std::wstring_view word, const lumbrex::Char16 (&letters)[N], int first, int last) {
  if (word.size() != 1) return -1;
  for (int code = first; code <= last; ++code)
    if (lumbrex::AsciiUpper(word[0]) == letters[code]) return code;
  return -1;
}

}  // namespace

bool ParseSide(std::wstring_view word, int* side) {
  for (int code = LUMBREX_SIDE_IN; code <= LUMBREX_SIDE_OUT; ++code)
    if (EqualsIgnoringAsciiCase(word, Wide(config::kSideWords[code]))) return *side = code, true;
  return false;
}

std::wstring SideName(int side) { return Wide(config::kSideWords[side == LUMBREX_SIDE_IN ? LUMBREX_SIDE_IN : LUMBREX_SIDE_OUT]); }

bool ParsePortType(std::wstring_view word, LONG* type) {
  for (const config::PortTypeWord& name : config::kPortTypes) {
    if (EqualsIgnoringAsciiCase(word, Wide(name.word))) {
      *type = name.code;
      return true;
    }
  }
  return false;
}

bool ParseParity(std::wstring_view word, int* parity) {
  const int code = LetterCode(word, lumbrex::kParityLetters, LUMBREX_PARITY_NONE, LUMBREX_PARITY_SPACE);
  if (code < 0) return false;
  *parity = code;
  return true;
}

bool ParseFlow(std::wstring_view word, int* flow) {
  const int code = LetterCode(word, lumbrex::kFlowLetters, LUMBREX_FLOW_XONXOFF, LUMBREX_FLOW_HARDWARE);
  if (code < 0) return false;
  *flow = code;
  return true;
}

bool ParseOnOff(std::wstring_view word, bool* on) {
  static const wchar_t* const kWords[] = {L"off", L"on"};
  const int at = IndexOf(word, kWords);
  if (at < 0) return false;
  *on = at == 1;
  return true;
}

const OptionInfo* FindOption(std::wstring_view word) {
  for (const OptionInfo& option : Options())
    if (EqualsIgnoringAsciiCase(word, option.name)) return &option;
  return nullptr;
}

bool ParseNumber(std::wstring_view word, long long* value) {
  size_t at = 0;
  bool negative = false;
  if (!word.empty() && (word[0] == L'-' || word[0] == L'+')) {
    negative = word[0] == L'-';
    at = 1;
  }
  int base = 10;
  if (word.size() > at + 2 && word[at] == L'0' && (word[at + 1] == L'x' || word[at + 1] == L'X')) {
    base = 16;
    at += 2;
  }
  if (at >= word.size()) return false;
  long long result = 0;
  for (; at < word.size(); ++at) {
    const wchar_t c = word[at];
    int digit;
    if (c >= L'0' && c <= L'9') digit = c - L'0';
    else if (base == 16 && c >= L'a' && c <= L'f') digit = c - L'a' + 10;
    else if (base == 16 && c >= L'A' && c <= L'F') digit = c - L'A' + 10;
    else return false;
    result = result * base + digit;
    if (result > 0xFFFFFFFFLL) return false;
  }
  if (negative) result = -result;
  if (result < -2147483648LL) return false;
  *value = result;
  return true;
}


}  // namespace lumbrexctl
