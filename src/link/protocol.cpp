#include "link/protocol.h"

#include <cstdarg>
#include <cstdio>

namespace lumbrex {

namespace {

// In the order of CommandWord.
const char* const kCommandWords[] = {
    "ADD_BUNDLE", "DEL_BUNDLE", "ADD_PORT", "DEL_PORT", "SET_RPORT_PARAMS", "SET_MAIN",
    "GET_BUNDLE_STATE", "GET_PORT_STATE", "UPDATE_SETTINGS", "SET_SHARE_PERMISSION",
};

constexpr char kEnd = '!';

#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int length = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  std::string out;
  if (length > 0) {
    out.resize(static_cast<size_t>(length) + 1);
    std::vsnprintf(&out[0], out.size(), format, again);
    out.resize(static_cast<size_t>(length));
  }
  va_end(again);
  return out;
}

// "%s" takes a field up to its first NUL.
std::string Field(std::string_view text) { return std::string(text.substr(0, text.find('\0'))); }

std::string ReplaceAll(std::string_view text, char from, std::string_view to) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == from) {
      out.append(to);
    } else {
      out.push_back(c);
    }
  }
  return out;
}

std::string SideFieldsMessage(CommandWord word, std::string_view bundle, bool inputSide, std::string_view port) {
  return Format("%s %s,%s,%s%c", CommandWordText(word), Field(bundle).c_str(), SideWord(inputSide),
                Field(port).c_str(), kEnd);
}

char AsciiLowerChar(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

const char* CommandWordText(CommandWord word) { return kCommandWords[static_cast<int>(word)]; }

std::string EscapeAppName(std::string_view application) {
  // Three replace-alls in this order: "@" first, so that the "@" of "@1" and
  // "@2" is not escaped again.
  std::string text = ReplaceAll(application, '@', "@3");
  text = ReplaceAll(text, '!', "@1");
  return ReplaceAll(text, ',', "@2");
}

std::string CommasToDashes(std::string_view parameterText) { return ReplaceAll(parameterText, ',', "-"); }

std::string AddBundleMessage(std::string_view bundle) {
  // The service refuses ADD_BUNDLE without a number before the bundle name. The stand-in ignores
  // its value (service/command.cpp), but a real service may read it: it stays 4, whatever the bundle.
  return Format("%s %d,%s%c", CommandWordText(CommandWord::kAddBundle), 4, Field(bundle).c_str(), kEnd);
}

std::string DeleteBundleMessage(std::string_view bundle) {
  return Format("%s %s%c", CommandWordText(CommandWord::kDelBundle), Field(bundle).c_str(), kEnd);
}

std::string GetBundleStateMessage(std::string_view bundle) {
  return Format("%s %s%c", CommandWordText(CommandWord::kGetBundleState), Field(bundle).c_str(), kEnd);
}

std::string AddPortMessage(std::string_view bundle, bool inputSide, std::string_view port, int32_t portType) {
  return Format("%s %s,%s,%s,%s%c", CommandWordText(CommandWord::kAddPort), Field(bundle).c_str(),
                SideWord(inputSide), Field(port).c_str(), PortTypeWord(portType), kEnd);
}

std::string DeletePortMessage(std::string_view bundle, bool inputSide, std::string_view port) {
  return SideFieldsMessage(CommandWord::kDelPort, bundle, inputSide, port);
}

std::string SetMainMessage(std::string_view bundle, bool inputSide, std::string_view port) {
  return SideFieldsMessage(CommandWord::kSetMain, bundle, inputSide, port);
}

std::string GetPortStateMessage(std::string_view bundle, bool inputSide, std::string_view port) {
  return SideFieldsMessage(CommandWord::kGetPortState, bundle, inputSide, port);
}

std::string SetRealPortParamsMessage(std::string_view bundle, bool inputSide, std::string_view port,
                                     std::string_view parameterText) {
  return Format("%s %s,%s,%s,%s%c", CommandWordText(CommandWord::kSetRportParams), Field(bundle).c_str(),
                SideWord(inputSide), Field(port).c_str(), CommasToDashes(Field(parameterText)).c_str(), kEnd);
}

std::string UpdateSettingsMessage(uint8_t autoOpen, uint8_t ignoreError, uint8_t prints,
                                  uint8_t sendDataOnlyMainPort, uint8_t strictBaudrate) {
  return Format("%s %d,%d,%d,%d,%d%c", CommandWordText(CommandWord::kUpdateSettings), autoOpen, ignoreError,
                prints, sendDataOnlyMainPort, strictBaudrate, kEnd);
}

std::string SetSharePermissionMessage(std::string_view bundle, bool inputSide, std::string_view port,
                                      std::string_view application, int32_t permission) {
  return Format("%s %s,%s,%s,%s,%d%c", CommandWordText(CommandWord::kSetSharePermission), Field(bundle).c_str(),
                SideWord(inputSide), Field(port).c_str(), EscapeAppName(Field(application)).c_str(),
                static_cast<int>(permission), kEnd);
}

ReplyReader::State ReplyReader::Feed(char byte, size_t delivered) {
  if (state_ != State::kNeedMore) return state_;
  if (delivered > 0) {
    buffer_[count_] = byte;
    ++count_;
  }
  // Look at the last byte held (position 0 while nothing is held).
  const char last = buffer_[count_ == 0 ? 0 : count_ - 1];
  if (count_ > 0 && last == kEnd) {
    state_ = State::kComplete;
  } else if (count_ >= kMaxReply) {
    state_ = State::kOverflow;
  }
  buffer_[count_] = '\0';  // the NUL behind what is held; count_ <= 255
  return state_;
}

bool ReplyReader::Succeeded() const {
  return state_ == State::kComplete && count_ >= 2 && AsciiLowerChar(buffer_[0]) == 'o' &&
         AsciiLowerChar(buffer_[1]) == 'k';
}

}  // namespace lumbrex
