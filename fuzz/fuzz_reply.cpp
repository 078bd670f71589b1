// Part 2.2 ReadReply: the ReplyReader fed with any bytes, some reads
// delivering nothing, against a model of the reply: at most 255 bytes held,
// complete at the first "!", success iff it then begins with O and K in either
// case; once ended, further reads change nothing.
#include <string>

#include "fuzz_common.h"
#include "link/protocol.h"

using lumbrex::ReplyReader;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // First byte: every n-th read (n 2 to 7) delivers nothing; 0 and 1: none.
  const unsigned emptyEvery = data[0] % 8 < 2 ? 0 : data[0] % 8;
  const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);

  // The model.
  const size_t bang = bytes.find('!');
  ReplyReader::State expectedState = ReplyReader::State::kNeedMore;
  std::string expectedHeld = bytes;
  if (bang != std::string::npos && bang < ReplyReader::kMaxReply) {
    expectedState = ReplyReader::State::kComplete;
    expectedHeld = bytes.substr(0, bang + 1);
  } else if (bytes.size() >= ReplyReader::kMaxReply) {
    expectedState = ReplyReader::State::kOverflow;
    expectedHeld = bytes.substr(0, ReplyReader::kMaxReply);
  }
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; };
  const bool expectedSuccess = expectedState == ReplyReader::State::kComplete && expectedHeld.size() >= 2 &&
                               lower(expectedHeld[0]) == 'o' && lower(expectedHeld[1]) == 'k';

  ReplyReader reader;
  size_t fed = 0, reads = 0;
  while (fed < bytes.size()) {
    const bool empty = emptyEvery != 0 && ++reads % emptyEvery == 0;
    const size_t before = reader.Held().size();
    const bool ended = reader.state() != ReplyReader::State::kNeedMore;
    // An empty read hands in a byte that must be ignored.
    const ReplyReader::State state = empty ? reader.Feed('!', 0) : reader.Feed(bytes[fed++]);
    FUZZ_CHECK(state == reader.state());
    FUZZ_CHECK(reader.Held().size() <= ReplyReader::kMaxReply);
    if (ended || empty) FUZZ_CHECK(reader.Held().size() == before);
    else FUZZ_CHECK(reader.Held().size() == before + 1);
    if (!ended && state == ReplyReader::State::kNeedMore) FUZZ_CHECK(!reader.Succeeded());
  }
  FUZZ_CHECK(reader.state() == expectedState);
  FUZZ_CHECK(reader.Held() == expectedHeld);
  FUZZ_CHECK(reader.Succeeded() == expectedSuccess);
  // Only the "!" that ends the reply is held as "!".
  if (expectedState == ReplyReader::State::kComplete)
    FUZZ_CHECK(reader.Held().find('!') == reader.Held().size() - 1);
  return 0;
}
