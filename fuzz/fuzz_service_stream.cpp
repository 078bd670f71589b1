// The stand-in service's reading of a client's byte stream: cut into writes of
// the sizes the input's first byte picks, the framer must give exactly the
// "!"-ended pieces of the stream, in order, over-long ones (past a limit the
// second byte picks) as such with their true length; every command it gives
// is parsed, and a command the parser accepts names only what the registry
// can hold (key names 1 to 255 or 127 units without "\", applications 1 to 127).
// The same stream through an exchange whose handler carries out, refuses or
// throws by a command's length gets exactly one reply per piece, in order.
#include <new>
#include <string>
#include <vector>

#include "command.h"
#include "fuzz_common.h"

using lumbrex::Char16;
using lumbrex::Text;
using lumbrex::service::CommandFramer;
using lumbrex::service::CommandWord;
using lumbrex::service::Exchange;
using lumbrex::service::Request;

namespace {

bool Storable(const Text& name, size_t longest) {
  return !name.empty() && name.size() <= longest && name.find(Char16('\\')) == Text::npos;
}

void CheckParsed(const std::string& command) {
  Request request;
  if (lumbrex::service::ParseCommand(Widened(command), request) != nullptr) return;
  FUZZ_CHECK(request.word != CommandWord::Unknown && request.word != CommandWord::Ok &&
             request.word != CommandWord::Error);
  if (request.word == CommandWord::UpdateSettings) {
    for (uint32_t option : request.options) FUZZ_CHECK(option <= 255);
    return;
  }
  FUZZ_CHECK(Storable(request.bundle, lumbrex::service::kMaxBundleName));
  if (request.word == CommandWord::RenameBundle)
    FUZZ_CHECK(Storable(request.newBundle, lumbrex::service::kMaxBundleName));
  const bool portCommand = request.word != CommandWord::AddBundle && request.word != CommandWord::DelBundle &&
                           request.word != CommandWord::GetBundleState && request.word != CommandWord::RenameBundle;
  if (portCommand && !(request.word == CommandWord::SetMain && request.port.empty()))
    FUZZ_CHECK(Storable(request.port, lumbrex::service::kMaxPortName));
  if (request.word == CommandWord::SetSharePermission) {
    // A value name: any unit but NUL may stand in it.
    FUZZ_CHECK(!request.application.empty() &&
               request.application.size() <= lumbrex::service::kMaxApplicationName);
    FUZZ_CHECK(request.permission == 0 || (request.permission & 7u) != 0);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const size_t write = 1 + data[0] % 64;
  const size_t limit = data[1] % 32;
  const std::string stream(reinterpret_cast<const char*>(data) + 2, size - 2);

  // The model: the pieces before each "!".
  std::vector<std::string> expected;
  size_t start = 0;
  for (size_t bang; (bang = stream.find('!', start)) != std::string::npos; start = bang + 1) {
    const size_t length = bang - start;
    expected.push_back(length > limit ? "!" + std::to_string(length) : stream.substr(start, length));
  }

  CommandFramer framer(limit);
  std::vector<std::string> got;
  for (size_t at = 0; at < stream.size(); at += write) {
    const std::string piece = stream.substr(at, write);
    framer.Append(piece.data(), piece.size());
    std::string command;
    for (CommandFramer::Got next; (next = framer.Next(command)) != CommandFramer::Got::kNothing;) {
      if (next == CommandFramer::Got::kOverlong) {
        FUZZ_CHECK(command.size() <= 200);
        got.push_back("!" + std::to_string(framer.OverlongBytes()));
      } else {
        FUZZ_CHECK(command.size() <= limit && command.find('!') == std::string::npos);
        got.push_back(command);
        CheckParsed(command);
      }
    }
  }
  FUZZ_CHECK(got == expected);
  FUZZ_CHECK(framer.PendingSize() == stream.size() - start);

  // The handler's verdict by length: 0 refused, 1 carried out, 2 throws.
  auto verdict = [](size_t length) { return length % 3; };
  std::string wanted;
  for (const std::string& piece : expected) {
    const bool overlong = !piece.empty() && piece[0] == '!';  // the model's mark
    wanted += !overlong && verdict(piece.size()) == 1 ? "OK!" : "ERROR!";
  }
  size_t handled = 0;
  Exchange exchange(limit, [&](const std::string& text, bool overlong) {
    ++handled;
    if (overlong) return true;  // must be refused all the same
    if (verdict(text.size()) == 2) throw std::bad_alloc();
    return verdict(text.size()) == 1;
  });
  std::string replies;
  for (size_t at = 0; at < stream.size(); at += write) {
    const std::string piece = stream.substr(at, write);
    exchange.Append(piece.data(), piece.size());
    while (const char* reply = exchange.NextReply()) replies += reply;
  }
  FUZZ_CHECK(replies == wanted);
  FUZZ_CHECK(handled == expected.size());
  return 0;
}
