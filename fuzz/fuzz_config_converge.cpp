// Applying the same document twice sends nothing the second time, over
// configurations made from the input's bytes rather than parsed from them:
// a few bundles and ports whose names meet without regard to case, every port
// type, numbers on both sides of each limit, share permissions on ports that
// share a name across bundles, permissions left behind by deleted ports, main
// ports named, cleared and not managed. Each
// document is written and read back as the tool reads a file, so only what
// the reader takes is planned. The machine starts as the first document
// applied to an empty configuration (how a machine gets there); applying the
// first again, and then the second, converges (config_converge.h).
#include <fuzzer/FuzzedDataProvider.h>

#include <climits>
#include <string>

#include "config_converge.h"

using namespace lumbrexctl::config;

namespace {

const char* const kBundles[] = {"A", "a", "B", "\xC3\x89t\xC3\xA9", "\xC3\xA9T\xC3\x89"};
const char* const kPorts[] = {"COM1", "com1", "COM2", "P\xC5\x81", "p\xC5\x82"};
const char* const kApps[] = {"a.exe", "A.EXE", "b.exe", "\xD0\x9F.exe"};
const int64_t kBauds[] = {9600, 1, INT_MAX, int64_t(INT_MAX) + 1, 0, -1};
const int64_t kDataBits[] = {8, 5, 4, 9};
const int64_t kStopBits[] = {0, 2, 3};
const int64_t kMasks[] = {3, 0, 1, 2, 4, -1};
const int64_t kShares[] = {1, 3, 0, 7, 8, -1, INT_MAX, int64_t(INT_MAX) + 1, UINT_MAX, INT_MIN, int64_t(INT_MIN) - 1};

template <class T, size_t N>
const T& Pick(FuzzedDataProvider& in, const T (&table)[N]) {
  return table[in.ConsumeIntegralInRange<size_t>(0, N - 1)];
}

// Values the driver reads back are 32-bit and those a document may hold.
const int64_t kStoredShares[] = {1, 0, 7, -1, INT_MAX, INT_MIN + 1};

template <size_t N>
Share MakeShare(FuzzedDataProvider& in, const int64_t (&values)[N]) {
  Share share;
  for (int n = in.ConsumeIntegralInRange(0, 3); n > 0; --n) share.emplace_back(Pick(in, kApps), Pick(in, values));
  return share;
}

Port MakePort(FuzzedDataProvider& in) {
  Port port;
  port.name = Pick(in, kPorts);
  port.type = kPortTypes[in.ConsumeIntegralInRange(0, 3)].word;
  if (in.ConsumeBool()) {
    const char* const parities[] = {"N", "O", "E", "M", "S"};
    const char* const flows[] = {"", "X", "P"};
    port.fixed = Parameters{Pick(in, kBauds), Pick(in, parities), Pick(in, kDataBits), Pick(in, kStopBits),
                            Pick(in, flows)};
  }
  port.mask = Pick(in, kMasks);
  if (IsShared(port.type)) port.share = MakeShare(in, kShares);
  return port;
}

Model MakeModel(FuzzedDataProvider& in) {
  Model model;
  for (auto& option : model.options)
    if (in.ConsumeBool()) option = in.ConsumeBool();
  for (int b = in.ConsumeIntegralInRange(0, 3); b > 0; --b) {
    Bundle& bundle = model.bundles.emplace_back();
    bundle.name = Pick(in, kBundles);
    for (Side& side : bundle.sides) {
      for (int p = in.ConsumeIntegralInRange(0, 3); p > 0; --p) side.ports.push_back(MakePort(in));
      // Not managed, no main port ("main": null), or one of the names.
      const int main = in.ConsumeIntegralInRange(0, 2);
      if (main == 1) side.main = "";
      if (main == 2) side.main = Pick(in, kPorts);
    }
  }
  return model;
}

// The model as a document the reader took, or none.
std::optional<Model> Document(const Model& model) {
  return ReadDocument(WriteDocument(model)).model;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  Model empty;
  for (int n = in.ConsumeIntegralInRange(0, 2); n > 0; --n) empty.leftoverShare.emplace_back(Pick(in, kPorts), MakeShare(in, kStoredShares));
  const std::optional<Model> first = Document(MakeModel(in));
  const std::optional<Model> second = Document(MakeModel(in));
  if (!first) return 0;
  const Model machine = CheckConverges(empty, *first, in.ConsumeBool());
  // What the machine reads back is a document the reader takes, which plans into nothing.
  const std::optional<Model> exported = Document(machine);
  FUZZ_CHECK(exported && MakePlan(machine, *exported, true).steps.empty());
  if (!second) return 0;
  CheckConverges(machine, *second, false);
  CheckConverges(machine, *second, true);
  return 0;
}
