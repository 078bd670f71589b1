// Part 5.2: SharedGetPortApplications when the control device cannot be
// opened. Registered before the driver tests (which DEPEND on it), so that in a
// full run it meets a session in which the stand-in driver was never loaded;
// if the driver is loaded already (a rerun in the same wineserver session) the
// driver's query link is hidden for the test and restored after it.
#include <gtest/gtest.h>

#include "lumbrex.h"
#include "sharing/standin_driver.h"
#include "support/variants.h"

using namespace sharingtest;
using namespace testsupport;

namespace {
struct QueryLinkHidden {
  bool hidden = false;
  QueryLinkHidden() {
    if (StandinRunning()) hidden = StandinHideQueryLink() == 0;
  }
  ~QueryLinkHidden() {
    if (hidden) StandinShowQueryLink();
  }
};
}  // namespace

TEST(Part5_2_SharedGetPortApplications_NoDriver, OpenFailsWithItsErrorCode) {
  QueryLinkHidden noDevice;
  ::testing::Test::RecordProperty("driver_state", noDevice.hidden ? "loaded, query link hidden" : "never loaded");
  // What the open itself reports here (2, ERROR_FILE_NOT_FOUND, under Wine).
  HANDLE probe = CreateFileW(L"\\\\.\\FenwyckControl2", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
  const DWORD openError = GetLastError();
  ASSERT_EQ(probe, INVALID_HANDLE_VALUE) << "the sharing control device must be absent for this test";
  EXPECT_EQ(openError, 2u);

  Var result;
  *result = I4(5);
  Var port;
  *port = Bstr(L"COM3");
  EXPECT_EQ(SharedGetPortApplications(port.copy(), result.get()), 0);
  EXPECT_EQ(QKGetLastError(), openError);
  EXPECT_EQ(result->vt, VT_EMPTY);
}
