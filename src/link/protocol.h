// The command protocol's plain part (no windows.h; built natively too): the
// word tables, the message texts and the reply reader. Every field here is
// already 8-bit ANSI text; the conversion from UTF-16 is the Win32 edge's
// (commands.cpp).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/protocol_words.h"

namespace lumbrex {

// The command words the library sends.
enum class CommandWord {
  kAddBundle, kDelBundle, kAddPort, kDelPort, kSetRportParams, kSetMain,
  kGetBundleState, kGetPortState, kUpdateSettings, kSetSharePermission,
};
const char* CommandWordText(CommandWord word);

// The side and port type words are common/protocol_words.h's, which the
// service's parser reads with.

// Time-outs of the link mutex wait, in ms; 0 sends only if the link is free.
constexpr uint32_t kTimeoutAddBundle = 1000;
constexpr uint32_t kTimeoutDelBundle = 1000;
constexpr uint32_t kTimeoutGetBundleState = 0;
constexpr uint32_t kTimeoutAddPort = 1000;
constexpr uint32_t kTimeoutDelPort = 1000;
constexpr uint32_t kTimeoutSetMain = 1000;
constexpr uint32_t kTimeoutGetPortState = 1024;
constexpr uint32_t kTimeoutSetRportParams = 1000;
constexpr uint32_t kTimeoutUpdateSettings = 500;
constexpr uint32_t kTimeoutSetSharePermission = 0;

// SET_SHARE_PERMISSION's application field: every "@" becomes "@3", then every
// "!" "@1", then every "," "@2" (so an "@" made by the later steps stays).
std::string EscapeAppName(std::string_view application);
// SET_RPORT_PARAMS's parameter field: every "," becomes "-".
std::string CommasToDashes(std::string_view parameterText);

// The ten messages, each ending in "!" with nothing after it, built with the
// exact printf formats the service parses. Text arguments are ANSI; an embedded
// NUL ends a field (as "%s" does).
std::string AddBundleMessage(std::string_view bundle);
std::string DeleteBundleMessage(std::string_view bundle);
std::string GetBundleStateMessage(std::string_view bundle);
// portType: a LUMBREX_PORT_ code; any other number sends the empty word.
std::string AddPortMessage(std::string_view bundle, bool inputSide, std::string_view port, int32_t portType);
std::string DeletePortMessage(std::string_view bundle, bool inputSide, std::string_view port);
std::string SetMainMessage(std::string_view bundle, bool inputSide, std::string_view port);
std::string GetPortStateMessage(std::string_view bundle, bool inputSide, std::string_view port);
// parameterText as converted, before the "," to "-" step (done here).
std::string SetRealPortParamsMessage(std::string_view bundle, bool inputSide, std::string_view port,
                                     std::string_view parameterText);
std::string UpdateSettingsMessage(uint8_t autoOpen, uint8_t ignoreError, uint8_t prints,
                                  uint8_t sendDataOnlyMainPort, uint8_t strictBaudrate);
// application as converted, before escaping (done here).
std::string SetSharePermissionMessage(std::string_view bundle, bool inputSide, std::string_view port,
                                      std::string_view application, int32_t permission);

// ReadReply's byte-by-byte logic, fed with what each one-byte read delivered.
// The reply buffer is 256 bytes and keeps room for a NUL, so at most 255 bytes
// are taken: a reply that reaches 255 bytes without "!" ends the read as
// kOverflow and the command fails (docs/behaviour-details.md); nothing beyond
// those 255 bytes is read from the pipe.
class ReplyReader {
 public:
  static constexpr size_t kBufferSize = 256;
  static constexpr size_t kMaxReply = kBufferSize - 1;
  enum class State { kNeedMore, kComplete, kOverflow };

  // Hands in the result of one read: `delivered` bytes (0 or 1) at `byte`. A
  // read that delivered nothing is not counted and asks for another read.
  State Feed(char byte, size_t delivered = 1);
  State state() const { return state_; }
  // True when the reply is complete and begins with "OK" in either case.
  bool Succeeded() const;
  // The bytes held so far (up to and including the "!" once complete).
  std::string_view Held() const { return std::string_view(buffer_, count_); }

 private:
  char buffer_[kBufferSize] = {};
  size_t count_ = 0;
  State state_ = State::kNeedMore;
};

}  // namespace lumbrex
