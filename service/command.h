// The service's reading of the command protocol: framing of the byte stream
// into commands, and parsing of one command's UTF-16 text into a request. Plain
// code: no windows.h, compiles natively for fuzzing.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>

#include "common/text.h"
#include "lumbrex_codes.h"

namespace lumbrex::service {

// The command word table, in the protocol's order, plus Unknown.
enum class CommandWord {
  AddBundle, DelBundle, AddPort, DelPort, SetRportParams, SetMain, Ok, Error, RenameBundle,
  GetBundleState, GetPortState, UpdateSettings, SetSharePermission, Unknown
};

enum class Side { In = LUMBREX_SIDE_IN, Out = LUMBREX_SIDE_OUT };

// The port type words of ADD_PORT: the four of common/protocol_words.h, in
// its order, and "KOLM", which the service takes as well.
enum class PortKind { Real, Virtual, Shared, Switcher, Kolm };

// Longest names the service accepts: a registry key name (bundles), and what
// the library's value-name buffer of 128 units can list (ports are value
// names of a side key, applications of a port's permissions key).
constexpr size_t kMaxBundleName = 255;
constexpr size_t kMaxPortName = 127;
constexpr size_t kMaxApplicationName = 127;

// One parsed command; which members count depends on `word`.
struct Request {
  CommandWord word = CommandWord::Unknown;
  Text bundle;            // every command but UPDATE_SETTINGS
  Text newBundle;         // RENAME_BUNDLE
  Side side = Side::In;   // port commands
  Text port;              // port commands
  PortKind kind = PortKind::Real;  // ADD_PORT
  Text parameterText;     // SET_RPORT_PARAMS: "-" turned back into ","
  Text bitFields;         // SET_RPORT_PARAMS: "|h|l..." exactly as received
  uint32_t options[LUMBREX_OPTION_COUNT] = {};  // UPDATE_SETTINGS, in wire order (LumbrexOption)
  Text application;       // SET_SHARE_PERMISSION, unescaped
  uint32_t permission = 0;   // SET_SHARE_PERMISSION, the 32-bit pattern
};

// Parses the text of one command without its "!". Returns nullptr and fills
// `out` when the command is well formed, else a short reason for the log.
const char* ParseCommand(TextView text, Request& out);

const char* PortKindWord(PortKind kind);

// The library writes "," as "-" inside the parameter field.
Text DecodeParameterText(TextView text);

// The library's escaping undone: "@1" -> "!", "@2" -> ",", "@3" -> "@", in one
// left-to-right pass.
// False for an "@" followed by anything else or by nothing.
bool UnescapeApplicationName(TextView text, Text& out);

// Plain decimal digits, optionally one leading "-" when `allowMinus`, no
// white space; false on anything else or when outside [min, max].
bool ParseDecimal(TextView text, bool allowMinus, int64_t min, int64_t max, int64_t& out);

// Splits a client's byte stream into commands at each "!" (the library
// sends nothing after the "!"). Bytes after a "!" wait for the next command.
// A command longer than the limit is not held: its bytes are counted and
// dropped as they come, and it is given as over-long once its "!" arrives,
// so the client gets its one reply and keeps its pipe.
class CommandFramer {
 public:
  enum class Got { kNothing, kCommand, kOverlong };
  explicit CommandFramer(size_t limit) : limit_(limit) {}
  void Append(const char* data, size_t size) { pending_.append(data, size); }
  // The next complete command without its "!": its text, or for an over-long
  // one its first bytes (for the log), the whole length in OverlongBytes().
  Got Next(std::string& out);
  size_t OverlongBytes() const { return overlongBytes_; }
  // Bytes of the unfinished command so far, dropped ones included.
  size_t PendingSize() const { return dropped_ + pending_.size(); }
 private:
  size_t limit_;
  std::string pending_;
  std::string head_;     // the first bytes of a command being dropped
  size_t dropped_ = 0;   // how many of its bytes are gone
  size_t overlongBytes_ = 0;
};

// One client's exchange: its bytes in, its replies out. Every "!"-ended
// command gets exactly one reply, in order: "OK!" when it was carried out,
// "ERROR!" when not. An over-long command is never carried out. A handler
// that throws has carried nothing out (the service's store allocates nothing
// after its first registry change), so that is a refusal, never a missing or
// second reply.
class Exchange {
 public:
  // Carries out one command and says whether it did. An over-long one comes
  // only to be logged (`overlong` set, its head as text, its length in
  // OverlongBytes()) and is refused whatever the handler says.
  using Handler = std::function<bool(const std::string& text, bool overlong)>;
  Exchange(size_t limit, Handler handler) : framer_(limit), handler_(std::move(handler)) {}
  // Throws when the bytes cannot be held; the stream is out of step then.
  void Append(const char* data, size_t size) { framer_.Append(data, size); }
  // The reply to the next complete command, or nullptr while there is none.
  const char* NextReply();
  size_t OverlongBytes() const { return framer_.OverlongBytes(); }
  size_t PendingSize() const { return framer_.PendingSize(); }
 private:
  CommandFramer framer_;
  Handler handler_;
  std::string command_;
};

}  // namespace lumbrex::service
