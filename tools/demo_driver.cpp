// lumbrex-demo-driver.exe: loads the stand-in port-sharing driver
// (docs/driver.md) and tells it which applications to report, for
// scripts/demo.sh. Not part of the library or of lumbrexctl: the real driver
// reports real opens; the stand-in answers what it was told.
//   lumbrex-demo-driver.exe PORT APP [APP ...]
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "answer_builder.h"
#include "standin_driver.h"

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fputs("usage: lumbrex-demo-driver PORT [APP ...]\n", stderr);
    return 2;
  }
  std::wstring problem = sharingtest::EnsureStandinRunning();
  if (!problem.empty()) {
    std::fprintf(stderr, "lumbrex-demo-driver: the stand-in driver did not start: %ls\n", problem.c_str());
    return 1;
  }
  std::vector<sharingtest::RecordSpec> records;
  for (int i = 2; i < argc; ++i) {
    sharingtest::RecordSpec record;
    record.port.assign(argv[1], argv[1] + wcslen(argv[1]));
    record.app.assign(argv[i], argv[i] + wcslen(argv[i]));
    record.data0 = static_cast<uint32_t>(i - 1);  // an open number, so the rows differ
    records.push_back(record);
  }
  if (sharingtest::StandinReset() != 0 || sharingtest::StandinSetAnswer(sharingtest::BuildAnswer(records)) != 0) {
    std::fputs("lumbrex-demo-driver: the stand-in driver refused its control request\n", stderr);
    return 1;
  }
  return 0;
}
