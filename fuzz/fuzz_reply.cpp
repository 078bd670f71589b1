// The reply reader fed any bytes one read at a time, some reads delivering
// nothing, against a model of the reply: complete at the first "!" within 255
// bytes, else ended at 255 bytes; success iff complete and it begins with O
// and K in either case; once ended, it takes nothing more. The input's first
// byte makes every n-th read (n 2 to 7; 0 and 1: none) deliver nothing.
#include <string>

#include "fuzz_common.h"
#include "link/protocol.h"

using lumbrex::ReplyReader;
using State = ReplyReader::State;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const unsigned emptyEvery = data[0] % 8 < 2 ? 0 : data[0] % 8;
  const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);

  const size_t bang = bytes.find('!');  // npos when there is none
  const bool complete = bang < ReplyReader::kMaxReply;
  const std::string held = bytes.substr(0, complete ? bang + 1 : ReplyReader::kMaxReply);
  const State state = complete                                ? State::kComplete
                      : held.size() == ReplyReader::kMaxReply ? State::kOverflow
                                                              : State::kNeedMore;
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; };
  const bool success = complete && held.size() >= 2 && lower(held[0]) == 'o' && lower(held[1]) == 'k';

  ReplyReader reader;
  size_t fed = 0, reads = 0;
  while (fed < bytes.size()) {
    const bool empty = emptyEvery != 0 && ++reads % emptyEvery == 0;
    const size_t before = reader.Held().size();
    const bool ended = reader.state() != State::kNeedMore;
    // A read that delivered nothing hands in a byte that must be ignored.
    const State fedState = empty ? reader.Feed('!', 0) : reader.Feed(bytes[fed++]);
    FUZZ_CHECK(fedState == reader.state() && reader.Held().size() == before + (ended || empty ? 0 : 1));
  }
  FUZZ_CHECK(reader.state() == state && reader.Held() == held && reader.Succeeded() == success);
  return 0;
}
