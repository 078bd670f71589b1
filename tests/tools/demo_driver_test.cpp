// lumbrex-demo-driver.exe's command line: help and bad usage must leave the
// stand-in driver's answer as it is (a word taken for a port would replace
// it), and every failure says why.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/service_process.h"

namespace {

using namespace testsupport;

TEST(DemoDriver, ArgumentsThatSendNothing) {
  std::vector<std::wstring> tooMany = {L"COM5"};  // 3000 records are more than the driver keeps
  for (int i = 0; i < 3000; ++i) tooMany.push_back(L"a" + std::to_wstring(i));
  const struct { std::vector<std::wstring> arguments; DWORD exitCode; const char* says; } runs[] = {
      {{L"--help"}, 0, "usage: lumbrex-demo-driver PORT [APP ...]"},
      {{L"-h"}, 0, "usage: lumbrex-demo-driver PORT [APP ...]"},
      {{L"/?"}, 0, "usage: lumbrex-demo-driver PORT [APP ...]"},
      {{}, 2, "usage: lumbrex-demo-driver PORT [APP ...]"},
      {{L"--port", L"COM5"}, 2, "unknown option '--port'"},
      {tooMany, 1, "the stand-in driver holds at most 65536"},
  };
  for (const auto& run : runs) {
    SCOPED_TRACE(&run - runs);
    const ProgramRun got = RunProgram(L"lumbrex-demo-driver.exe", run.arguments);
    EXPECT_EQ(got.exitCode, run.exitCode) << got.output;
    EXPECT_NE(got.output.find(run.says), std::string::npos) << got.output;
  }
}

}  // namespace
