// Issue 9 point 2: the bad-input sweep over all 38 exports under Wine.
//
// Each export, resolved by name from lumbrex.dll, is called with a baseline of
// good arguments in which one argument at a time is replaced by a bad one:
// - every VARIANT argument with every type code 0 to 0x0FFF in five forms:
//   plain (payload 0), VT_BYREF with a null pointer, VT_BYREF pointing at
//   zeroed storage, VT_ARRAY with a null array, VT_BYREF|VT_ARRAY pointing at
//   a null array pointer; and the string cases: null, empty, 64 KiB and
//   embedded-NUL BSTRs, by value and by reference;
// - sides and plain integers sampled from INT_MIN to INT_MAX;
// - each out-pointer null in turn.
// Asserted for every call: no crash (the process lives), no exception out,
// result 0 or 1, and a last-error code of Part 1.1's set (AllowedLastError);
// a null out-pointer that must be valid is refused with 0 and 13 and nothing
// written. No service runs (commands fail fast); the registry holds
// SmallConfig. One test case (one Wine process) per export.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "export_table.h"
#include "lumbrex.h"
#include "small_config.h"
#include "support/variants.h"

using namespace reliability;
using testsupport::Var;

namespace {

// What is being called, printed if the process dies.
char g_current[256] = "";

LONG WINAPI ReportCrash(EXCEPTION_POINTERS* info) {
  std::fprintf(stderr, "CRASH 0x%08lx during: %s\n", info->ExceptionRecord->ExceptionCode, g_current);
  std::fflush(stderr);
  return EXCEPTION_CONTINUE_SEARCH;
}

struct Sample {
  VARIANT v;
  std::string what;
};

// Storage that by-reference forms point at: zeroed before every call.
alignas(16) unsigned char g_zeroed[64];
SAFEARRAY* g_nullArray = nullptr;

std::vector<Sample> VariantCorpus(std::vector<BSTR>* strings) {
  std::vector<Sample> corpus;
  char buf[64];
  for (unsigned vt = 0; vt <= 0x0FFF; ++vt) {
    VARIANT v;
    std::memset(&v, 0, sizeof v);
    v.vt = static_cast<VARTYPE>(vt);
    std::snprintf(buf, sizeof buf, "vt 0x%04x payload 0", vt);
    corpus.push_back({v, buf});
    v.vt = static_cast<VARTYPE>(vt | VT_BYREF);
    std::snprintf(buf, sizeof buf, "vt 0x%04x null byref", vt | VT_BYREF);
    corpus.push_back({v, buf});
    v.byref = g_zeroed;
    std::snprintf(buf, sizeof buf, "vt 0x%04x byref to zeroed storage", vt | VT_BYREF);
    corpus.push_back({v, buf});
    std::memset(&v, 0, sizeof v);
    v.vt = static_cast<VARTYPE>(vt | VT_ARRAY);
    std::snprintf(buf, sizeof buf, "vt 0x%04x null array", vt | VT_ARRAY);
    corpus.push_back({v, buf});
    v.vt = static_cast<VARTYPE>(vt | VT_ARRAY | VT_BYREF);
    v.pparray = &g_nullArray;
    std::snprintf(buf, sizeof buf, "vt 0x%04x byref to a null array", vt | VT_ARRAY | VT_BYREF);
    corpus.push_back({v, buf});
  }
  // Strings: null, empty, 64 KiB, embedded NULs, and good names; by value
  // and by reference.
  const std::vector<std::pair<std::wstring, std::string>> texts = {
      {std::wstring(), "empty BSTR"},
      {std::wstring(32768, L'A'), "64 KiB BSTR"},
      {std::wstring(L"CO\0M1", 5), "CO<NUL>M1"},
      {std::wstring(L"B1\0junk", 7), "B1<NUL>junk"},
      {std::wstring(L"\0", 1), "<NUL>"},
      {L"COM1", "COM1"},
      {L"B1", "B1"},
      {L"app.exe", "app.exe"},
      {L" COM1", "leading space"},
      {std::wstring(34, L'C'), "34 letters"},
  };
  VARIANT nullBstr;
  VariantInit(&nullBstr);
  nullBstr.vt = VT_BSTR;
  corpus.push_back({nullBstr, "null BSTR"});
  strings->push_back(nullptr);
  for (const auto& t : texts) {
    BSTR s = SysAllocStringLen(t.first.data(), static_cast<UINT>(t.first.size()));
    strings->push_back(s);
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = s;
    corpus.push_back({v, "BSTR " + t.second});
  }
  // By reference: each points at its own slot in *strings (never moved after
  // this: reserve was made by the caller).
  for (size_t k = 0; k < strings->size(); ++k) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BYREF | VT_BSTR;
    v.pbstrVal = &(*strings)[k];
    corpus.push_back({v, "byref BSTR #" + std::to_string(k)});
  }
  return corpus;
}

std::vector<int> IntSamples() {
  std::vector<int> s = {INT_MIN, INT_MIN + 1, -65536, -257, -256, -2, -1, 0, 1, 2, 3, 4, 7, 8, 9,
                        255, 256, 65535, 65536, 9600, 115200, INT_MAX - 1, INT_MAX};
  unsigned x = 0x12345678u;
  for (int k = 0; k < 64; ++k) {  // spread over the whole range
    x = x * 1664525u + 1013904223u;
    s.push_back(static_cast<int>(x));
  }
  return s;
}

class SweepTest : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    SetUnhandledExceptionFilter(ReportCrash);
    ASSERT_TRUE(config_.ok());
    for (const auto& e : AllExports())
      if (std::string(e.name) == GetParam()) info_ = &e;
    ASSERT_NE(info_, nullptr);
    fn_ = Resolve(info_->name);
    ASSERT_NE(fn_, nullptr) << info_->name << " is not exported";
    kinds_ = info_->kinds;
    strings_.reserve(64);
    good_.reset(new GoodCall(*info_));
  }
  void TearDown() override {
    for (BSTR s : strings_) SysFreeString(s);
    DisconnectFromService();
  }

  // The good arguments, with the outs pointing at this fixture's storage.
  CallArgs Baseline() {
    CallArgs a = good_->Args();
    for (int k = 0; k < 5; ++k) {
      VariantInit(&outV_[k]);
      outI_[k] = -7777;
    }
    int o = 0;
    for (char c : kinds_) {
      if (c == 'O') a.outs[o] = &outV_[o], ++o;
      if (c == 'U') a.outs[o] = &outI_[o], ++o;
    }
    return a;
  }

  // One call with every check of the sweep; returns the result.
  int Check(const CallArgs& a, const std::string& what) {
    std::snprintf(g_current, sizeof g_current, "%s(%s)", info_->name, what.c_str());
    std::memset(g_zeroed, 0, sizeof g_zeroed);
    g_nullArray = nullptr;
    const ULONGLONG t0 = GetTickCount64();
    const int r = CallExport(fn_, kinds_, a);
    const ULONGLONG ms = GetTickCount64() - t0;
    if (ms > slowest_) slowest_ = ms, slowestWhat_ = what;
    const unsigned code = QKGetLastError();
    ++calls_;
    if (std::string(info_->name) != "QKGetLastError" && r != 0 && r != 1) Fail(what, "result " + std::to_string(r));
    if (!AllowedLastError(*info_, code))
      Fail(what, "last error " + std::to_string(code) + " not in " + DescribeAllowed(*info_));
    for (unsigned char b : g_zeroed)
      if (b) {
        Fail(what, "wrote into the caller's by-reference storage");
        break;
      }
    // The caller frees what was placed in the out-VARIANTs.
    if (!keepOuts_)
      for (auto& v : outV_) VariantClear(&v);
    return r;
  }

  void Fail(const std::string& what, const std::string& why) {
    if (failures_.size() < 25) failures_.push_back(what + ": " + why);
    ++failureCount_;
  }

  void Report() {
    std::printf("%s: %zu calls, slowest %llu ms (%s)\n", info_->name, calls_, slowest_, slowestWhat_.c_str());
    for (const auto& f : failures_) ADD_FAILURE() << f;
    EXPECT_EQ(failureCount_, 0u);
    EXPECT_LT(slowest_, 5000u) << slowestWhat_;
  }

  // Makes the last-error code 2 (a missing bundle), so that a following 13
  // is known to come from the call under test.
  static void PrimeLastError2() {
    Var missing;
    *missing = testsupport::Bstr(L"no such bundle");
    Var names;
    ASSERT_EQ(GetPortsNamesByBundleAndSide(missing.copy(), 0, names.get()), 0);
    ASSERT_EQ(QKGetLastError(), 2u);
  }

  const ExportInfo* info_ = nullptr;
  FARPROC fn_ = nullptr;
  std::string kinds_;
  SmallConfig config_;
  std::unique_ptr<GoodCall> good_;
  std::vector<BSTR> strings_;
  VARIANT outV_[5];
  bool keepOuts_ = false;
  int outI_[5];
  size_t calls_ = 0, failureCount_ = 0;
  ULONGLONG slowest_ = 0;
  std::string slowestWhat_;
  std::vector<std::string> failures_;
};

std::vector<const char*> AllNames() {
  std::vector<const char*> names;
  for (const auto& e : AllExports()) names.push_back(e.name);
  return names;
}

}  // namespace

TEST_P(SweepTest, NoCrashResultZeroOrOneAllowedCode) {
  const std::vector<Sample> corpus = VariantCorpus(&strings_);
  const std::vector<int> ints = IntSamples();
  const int nV = CountKind(kinds_, 'V'), nI = CountKind(kinds_, 'I');
  const bool hasSide = CountKind(kinds_, 'S') > 0;
  const int nOut = CountKind(kinds_, 'O') + CountKind(kinds_, 'U');

  // The baseline itself, and the no-argument exports, several times.
  for (int k = 0; k < 3; ++k) Check(Baseline(), "baseline");
  // Every VARIANT argument through the corpus.
  for (int p = 0; p < nV; ++p)
    for (const Sample& s : corpus) {
      CallArgs a = Baseline();
      a.v[p] = s.v;
      Check(a, "arg " + std::to_string(p) + " = " + s.what);
    }
  // Sides and plain integers.
  if (hasSide)
    for (int side : ints) {
      CallArgs a = Baseline();
      a.side = side;
      Check(a, "side " + std::to_string(side));
    }
  for (int p = 0; p < nI; ++p)
    for (int value : ints) {
      CallArgs a = Baseline();
      a.ints[p] = value;
      Check(a, "int " + std::to_string(p) + " = " + std::to_string(value));
    }
  // Null out-pointers, one at a time; the others must stay untouched.
  for (int p = 0; p < nOut; ++p) {
    PrimeLastError2();
    CallArgs a = Baseline();
    for (int k = 0; k < nOut; ++k) {
      outV_[k].vt = VT_I4;
      outV_[k].lVal = 0x5A5A;
    }
    a.outs[p] = nullptr;
    const std::string what = "out " + std::to_string(p) + " null";
    keepOuts_ = true;
    const int r = Check(a, what);
    keepOuts_ = false;
    for (int k = 0; k < CountKind(kinds_, 'O'); ++k) {
      EXPECT_TRUE(outV_[k].vt == VT_I4 && outV_[k].lVal == 0x5A5A) << what << " wrote output " << k;
      VariantClear(&outV_[k]);
    }
    if (info_->nullOut == ExportInfo::kMustBeValid) {
      EXPECT_EQ(r, 0) << what;
      EXPECT_EQ(QKGetLastError(), 13u) << what;
    } else {
      EXPECT_EQ(r, 1) << what;
      EXPECT_EQ(QKGetLastError(), 2u) << what;
    }
    for (int k = 0; k < nOut; ++k)
      if (kinds_.find('U') != std::string::npos) {
        EXPECT_EQ(outI_[k], -7777) << what << " wrote output " << k;
      }
  }
  Report();
}

INSTANTIATE_TEST_SUITE_P(Issue9_BadInput, SweepTest, ::testing::ValuesIn(AllNames()),
                         [](const ::testing::TestParamInfo<const char*>& info) { return std::string(info.param); });

// The table covers the whole of Part 1.1: every one of the 38 names resolves.
TEST(Issue9_Exports, All38ResolveByName) {
  ASSERT_EQ(AllExports().size(), 38u);
  std::vector<std::string> missing;
  for (const auto& e : AllExports())
    if (!Resolve(e.name)) missing.push_back(e.name);
  EXPECT_TRUE(missing.empty()) << missing.size() << " exports do not resolve, first: " << missing.front();
}
