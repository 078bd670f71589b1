// Shared fixture of the Part 4.x export tests: one bundle under the real
// configuration root of the private prefix, removed before and after each test.
#pragma once
#include <gtest/gtest.h>

#include <deque>
#include <string>

#include "lumbrex.h"
#include "support/registry_fixture.h"
#include "support/variants.h"

namespace paramstest {

extern const std::wstring kRoot;    // "Software\OSTREL Software\Lumbrex" (Part 3.1)
extern const std::wstring kBundle;  // the test bundle's name

constexpr int kSentinel = -7777;

class ParamsDllTest : public ::testing::Test {
 protected:
  testsupport::ScopedTree tree_{kRoot + L"\\" + kBundle};
  static std::wstring SideKey(const wchar_t* side) { return kRoot + L"\\" + kBundle + L"\\" + side; }
  // Stores a port entry (REG_SZ with its NUL) on a side ("IN" or "OUT").
  static void Entry(const std::wstring& port, const std::wstring& text, const wchar_t* side = L"IN");
  // A VT_BSTR VARIANT that the fixture frees after the test; pass it by value.
  VARIANT Str(const std::wstring& text);
  // Deliberate failures that preset the last-error code to 13 or to 2.
  static void PresetLastError13();
  static void PresetLastError2();

 private:
  std::deque<testsupport::Var> owned_;  // deque: elements never move
};

// The five outputs of BundleGetRealPortParameters, preset to the sentinel.
struct Five {
  int baudrate = kSentinel, parity = kSentinel, dataBits = kSentinel, stopBits = kSentinel,
      flowControl = kSentinel;
  int Get(VARIANT bundle, int side, VARIANT port) {
    return BundleGetRealPortParameters(bundle, side, port, &baudrate, &parity, &dataBits, &stopBits, &flowControl);
  }
  bool Untouched() const {
    return baudrate == kSentinel && parity == kSentinel && dataBits == kSentinel && stopBits == kSentinel &&
           flowControl == kSentinel;
  }
};

}  // namespace paramstest
