#include "words.h"

#include "common/text.h"
#include "console.h"

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
  const int code = config::ParityCode(Utf8(std::wstring(word)), true);
  if (code < 0) return false;
  *parity = code;
  return true;
}

bool ParseFlow(std::wstring_view word, int* flow) {
  const int code = config::FlowCode(Utf8(std::wstring(word)), true);
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

const char* SideWords() {
  static const std::string words = std::string(config::kSideWords[0]) + " or " + config::kSideWords[1];
  return words.c_str();
}

const char* OptionsHelp() {
  static const std::string help = [] {
    std::string text = "NAME is one of:";
    for (const config::OptionWords& option : config::kOptionWords) {
      const std::string word = option.word;
      text += "\n  " + word + std::string(word.size() < 21 ? 21 - word.size() : 1, ' ') + option.what + " (" +
              option.setter + ")";
    }
    return text;
  }();
  return help.c_str();
}

}  // namespace lumbrexctl
