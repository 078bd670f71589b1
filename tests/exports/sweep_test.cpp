// Every export, called with good arguments but for one bad one, against a fake
// service that records every byte: a refused call answers 0 with code 13,
// sends nothing and leaves the caller's outputs as documented; no call crashes
// or stores a code the library does not document.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <functional>

#include "lumbrex.h"
#include "driver/control/standin_driver.h"
#include "support/export_table.h"
#include "support/small_config.h"
#include "support/test_pipe_server.h"

using namespace export_table;
using namespace testsupport;

namespace {

char g_current[200];  // the call under way, named if the process dies

LONG WINAPI NameTheCall(EXCEPTION_POINTERS* info) {
  std::fprintf(stderr, "crash 0x%08lx in %s\n", info->ExceptionRecord->ExceptionCode, g_current);
  return EXCEPTION_CONTINUE_SEARCH;
}

// An object a caller passes inside a VARIANT: the library frees no argument,
// except the mask of BundlePortSetPermissions, which it clears (one Release
// more than it AddRefs).
CountedObject g_counted;

bool IsInteger(VARTYPE vt) {
  return vt == VT_I2 || vt == VT_I4 || vt == VT_I8 || vt == VT_UI2 || vt == VT_UI4 || vt == VT_UI8 || vt == VT_INT ||
         vt == VT_UINT;
}

// What an export does with a VARIANT argument that breaks or bends its rule.
enum class Outcome {
  kRefused,      // 0 with code 13, nothing sent, outputs left as documented
  kAsGood,       // the good argument's result, without 13
  kEither,       // refused or taken, as long as nothing breaks
};

// What an argument of the given rule does with v. Integers hold 1: a valid
// port type and permission.
Outcome Expected(Rule rule, const VARIANT& v, bool goodText) {
  const VARTYPE vt = v.vt;
  const bool text = vt == VT_BSTR || (vt == (VT_BYREF | VT_BSTR) && v.pbstrVal), integer = IsInteger(vt);
  switch (rule) {
    case Rule::kString:
    case Rule::kStringByRef: return goodText ? Outcome::kAsGood : text ? Outcome::kEither : Outcome::kRefused;
    case Rule::kInteger: return integer ? Outcome::kAsGood : Outcome::kRefused;
    case Rule::kMask: return Outcome::kAsGood;  // any mask is read as an integer
    case Rule::kText: break;
  }
  if (text || integer || vt == VT_EMPTY) return Outcome::kAsGood;
  return vt == VT_NULL || vt == VT_UNKNOWN || ((vt & VT_BYREF) && !v.byref) ? Outcome::kRefused : Outcome::kEither;
}

// The result of good arguments against the small configuration and a service
// answering "OK!": 1, but 0 where COM1's parameters are not dynamic, and the
// driver query's 1 only where the stand-in driver runs.
int GoodResult(const ExportInfo& e) {
  const std::string name = e.name;
  if (name == "BundleRealPortAreParametersDynamic") return 0;
  if (name == "SharedGetPortApplications") return standin_driver::StandinRunning() ? 1 : 0;
  return 1;
}

class Sweep : public ::testing::Test {
 protected:
  void SetUp() override {
    SetUnhandledExceptionFilter(NameTheCall);
    ASSERT_TRUE(config_.ok());
    ASSERT_EQ(ConnectToLocalService(), 1);
  }
  void TearDown() override { DisconnectFromService(); }

  // Calls e with its good arguments changed by `change`; returns the result.
  int Check(const ExportInfo& e, const std::string& what, Outcome expect, int good,
            const std::function<void(CallArgs&)>& change = [](CallArgs&) {}) {
    std::snprintf(g_current, sizeof g_current, "%s with %s", e.name, what.c_str());
    SCOPED_TRACE(g_current);
    GoodCall call(e);
    CallArgs a = call.Args();
    for (int k = 0; k < 2; ++k) call.OutVariant(k) = I4(0x5A5A);  // shows whether it was touched
    change(a);
    StoreMissingBundleError();
    const std::string name = e.name;
    // A connect closes the pipe and opens another: an instance must listen again.
    const bool connects = name.find("onnect") != std::string::npos;
    EXPECT_TRUE(!connects || WaitNamedPipeW(kPipePath, 5000));
    const size_t sent = server_.CommandCount();
    const int r = CallExport(e, a);
    const unsigned code = QKGetLastError();
    const bool nothingSent = server_.CommandCount() == sent;
    // A refused connect keeps the connection; a disconnect or a failed connect leaves none.
    const bool lost = name == "DisconnectFromService" || (r == 0 && code != 13);
    EXPECT_TRUE(!connects || !lost || (WaitNamedPipeW(kPipePath, 5000) && ConnectToLocalService()));
    EXPECT_TRUE(r == 0 || r == 1 || name == "QKGetLastError") << r;
    EXPECT_TRUE(AllowedLastError(e, code)) << "code " << code;
    EXPECT_TRUE(code != 13 || nothingSent) << "a refused call sent a command";
    EXPECT_TRUE(expect != Outcome::kAsGood || (r == good && code != 13)) << r << ", code " << code;
    if (expect != Outcome::kRefused) return r;
    EXPECT_TRUE(r == 0 && code == 13) << r << ", code " << code;
    for (int k = 0; k < OutVariantCount(e); ++k)
      EXPECT_TRUE(!a.outs[k] || call.OutVariant(k).vt == (k == 0 && e.clearsOut ? VT_EMPTY : VT_I4)) << "out " << k;
    for (int k = 0; k < OutIntegerCount(e); ++k) EXPECT_EQ(call.OutInt(k), -7777) << "out " << k;
    return r;
  }

  // Good arguments: the result every changed call taken as good must give.
  int CheckGood(const ExportInfo& e) {
    // QKGetLastError answers the code the call before it stored.
    const int expected = std::string(e.name) == "QKGetLastError" ? 2 : GoodResult(e);
    const int good = Check(e, "good arguments", Outcome::kAsGood, expected);
    EXPECT_EQ(good, expected) << e.name << " with good arguments";
    return good;
  }

  SmallConfig config_;
  TestPipeServer server_;
};

// Every VARIANT argument of every export with every type code in five forms
// (plain, null reference, reference to zeros, null array, reference to a null
// array) and with strings: empty, 32768 characters, with a NUL, and the good
// text by reference. The default run takes the codes up to 0xFF and every
// 61st after; LUMBREX_SWEEP_EVERY_TYPE=1 takes all 4096.
TEST_F(Sweep, EveryExportRefusesWrongTypes) {
  const bool every = std::getenv("LUMBREX_SWEEP_EVERY_TYPE") != nullptr;
  alignas(16) unsigned char zeros[64] = {};
  SAFEARRAY* noArray = nullptr;
  BSTR goodText = nullptr;
  std::vector<VARIANT> samples;
  for (unsigned vt = 0; vt <= 0x0FFF; vt += every || vt < 0x100 ? 1 : 61)
    for (int form = 0; form < 5; ++form) {
      const VARTYPE flags = (form == 1 || form == 2 || form == 4 ? VT_BYREF : 0) | (form >= 3 ? VT_ARRAY : 0);
      samples.push_back(OfType(static_cast<VARTYPE>(vt | flags), form == 0 && IsInteger(vt)));
      if (form == 2 || form == 4) samples.back().byref = form == 2 ? static_cast<void*>(zeros) : &noArray;
    }
  const std::wstring texts[] = {L"", std::wstring(32768, L'A'), std::wstring(L"CO\0M1", 5)};
  for (const std::wstring& text : texts) samples.push_back(Bstr(text));
  samples.push_back(ByRef(VT_BSTR, &goodText));
  samples.push_back(OfType(VT_UNKNOWN, reinterpret_cast<intptr_t>(static_cast<IUnknown*>(&g_counted))));
  for (const ExportInfo& e : AllExports()) {
    ASSERT_NE(Resolve(e.name), nullptr) << e.name;
    const int good = CheckGood(e);
    for (size_t p = 0; p < e.rules.size(); ++p)
      for (const VARIANT& sample : samples) {
        const bool isGood = sample.vt == (VT_BYREF | VT_BSTR) && sample.pbstrVal == &goodText,
                   owned = sample.vt == VT_BSTR && sample.bstrVal,
                   counted = sample.vt == VT_UNKNOWN && sample.punkVal == &g_counted;
        char what[64];
        std::snprintf(what, sizeof what, "argument %zu of type 0x%04x%s", p, sample.vt,
                      owned ? " (a text)" : counted ? " (a counted object)" : "");
        g_counted.addRefs = g_counted.releases = 0;
        Check(e, what, Expected(e.rules[p], sample, isGood), good, [&](CallArgs& a) {
          goodText = a.v[p].vt == VT_BSTR ? a.v[p].bstrVal : nullptr;
          a.v[p] = sample;
          // The library clears the mask it is given: a text it gets is its own.
          if (owned && e.rules[p] == Rule::kMask) a.v[p] = Bstr(TextOf(sample));
        });
        ASSERT_TRUE(noArray == nullptr && std::all_of(zeros, zeros + 64, [](unsigned char b) { return !b; }))
            << e.name << " wrote through " << what;
        if (counted) {
          EXPECT_EQ(g_counted.releases - g_counted.addRefs, e.rules[p] == Rule::kMask ? 1 : 0) << e.name << " with " << what;
        }
      }
  }
  for (VARIANT& sample : samples)
    if (sample.vt == VT_BSTR) VariantClear(&sample);  // the texts
}

TEST_F(Sweep, EveryExportRefusesBadSidesCodesAndNullOutputs) {
  // Parity, data bits, stop bits and flow control outside their ranges.
  const std::pair<int, int> codes[] = {{1, 5}, {1, -1}, {2, 4}, {2, 9}, {3, 3}, {3, -1}, {4, 3}};
  for (const ExportInfo& e : AllExports()) {
    const int good = CheckGood(e);
    // The per-port permission exports take any side but 0 as the output side.
    for (int side : {-1, 2, 256, INT_MIN, INT_MAX})
      if (TakesSide(e))
        Check(e, "side " + std::to_string(side),
              CountOf(e, Param::kAnySide) ? Outcome::kEither : Outcome::kRefused, good,
              [&](CallArgs& a) { a.side = side; });
    for (const auto& bad : codes)
      if (TakesPortParameters(e))
        Check(e, "parameter " + std::to_string(bad.first) + " = " + std::to_string(bad.second), Outcome::kRefused,
              good, [&](CallArgs& a) { a.ints[bad.first] = bad.second; });
    if (IntegerCount(e))
      Check(e, "integer INT_MIN", Outcome::kAsGood, good, [](CallArgs& a) { a.ints[0] = INT_MIN; });
    for (int p = 0; p < OutputCount(e); ++p)
      Check(e, "out " + std::to_string(p) + " null",
            e.nullOut == ExportInfo::kMayBeNull ? Outcome::kAsGood : Outcome::kRefused, good,
            [&](CallArgs& a) { a.outs[p] = nullptr; });
  }
}

}  // namespace
