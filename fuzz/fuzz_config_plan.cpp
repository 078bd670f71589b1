// lumbrexctl's document reader and planner: two documents (split at the
// first NUL byte), each read as the tool reads a file. A document is never
// planned into anything from itself, and the plan from one to the other
// converges (config_converge.h). fuzz_config_converge reaches far more
// configurations the reader takes; this one attacks the reader.
#include <string>

#include "config_converge.h"

using namespace lumbrexctl::config;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const size_t split = input.find('\0');
  const ReadResult first = ReadDocument(input.substr(0, split));
  if (!first.model) {
    FUZZ_CHECK(!first.problems.empty());
    return 0;
  }
  FUZZ_CHECK(MakePlan(*first.model, *first.model, true).steps.empty());
  const std::string written = WriteDocument(*first.model);
  const ReadResult again = ReadDocument(written);
  FUZZ_CHECK(again.model && WriteDocument(*again.model) == written);
  if (split == std::string::npos) return 0;
  const ReadResult second = ReadDocument(input.substr(split + 1));
  if (!second.model) return 0;
  CheckConverges(*first.model, *second.model, false);
  CheckConverges(*first.model, *second.model, true);
  return 0;
}
