// Part 1.1, State and lifecycle: the static objects made at load.
#include <gtest/gtest.h>

#include "api/library_objects.h"

TEST(Part1_1_LibraryObjects, KeyPathsAndEmptyLogonName) {
  EXPECT_EQ(lumbrex::g_rootKeyPath, L"Software\\OSTREL Software\\Lumbrex");
  EXPECT_EQ(lumbrex::g_rootKeyPath.size(), 32u);
  EXPECT_EQ(lumbrex::g_sharedPortsKeyPath, L"Software\\OSTREL Software\\Quillane2");
  EXPECT_TRUE(lumbrex::g_remoteLogonName.empty());
}
