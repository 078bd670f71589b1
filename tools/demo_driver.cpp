// lumbrex-demo-driver.exe: loads the stand-in port-sharing driver
// (docs/driver.md) and tells it which applications to report, for
// scripts/demo.sh. Not part of the library or of lumbrexctl: the real driver
// reports real opens; the stand-in answers what it was told.
//   lumbrex-demo-driver.exe PORT [APP ...]
// Exit codes: 0 done (help included), 1 the driver did not load or refused
// the answer (said on stderr), 2 bad usage.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "driver/control/answer_builder.h"
#include "callers/system_message.h"
#include "driver/control/standin_driver.h"

namespace {

const char kUsage[] =
    "usage: lumbrex-demo-driver PORT [APP ...]\n"
    "Loads the stand-in port-sharing driver (fenwyck_standin.sys, beside this\n"
    "program) and makes it report APP ... as the applications holding PORT open;\n"
    "no APP clears the answer. It stays loaded until the wineserver ends.\n"
    "Exit codes: 0 done, 1 the driver did not load or refused, 2 bad usage.\n";

bool IsHelp(const std::wstring& word) { return word == L"--help" || word == L"-h" || word == L"/?"; }

// "2: File not found."
std::wstring ErrorText(DWORD code) { return std::to_wstring(code) + L": " + lumbrex::SystemMessage(code); }

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc >= 2 && IsHelp(argv[1])) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  // A port name never starts with '-': such a word is a mistyped option, not a
  // port whose answer should replace the driver's.
  if (argc < 2 || argv[1][0] == L'-') {
    if (argc >= 2) std::fprintf(stderr, "lumbrex-demo-driver: unknown option '%ls'\n", argv[1]);
    std::fputs(kUsage, stderr);
    return 2;
  }
  std::vector<standin_driver::RecordSpec> records;
  for (int i = 2; i < argc; ++i) {
    standin_driver::RecordSpec record;
    record.port.assign(argv[1], argv[1] + wcslen(argv[1]));
    record.app.assign(argv[i], argv[i] + wcslen(argv[i]));
    record.data0 = static_cast<uint32_t>(i - 1);  // an open number, so the rows differ
    records.push_back(record);
  }
  const std::vector<uint8_t> answer = standin_driver::BuildAnswer(records);
  // The driver keeps one answer of bounded size: say so before loading it.
  if (answer.size() > STANDIN_MAX_ANSWER) {
    std::fprintf(stderr,
                 "lumbrex-demo-driver: %d application names make an answer of %zu bytes; the stand-in driver "
                 "holds at most %u\n",
                 argc - 2, answer.size(), STANDIN_MAX_ANSWER);
    return 1;
  }
  const std::wstring problem = standin_driver::EnsureStandinRunning();
  if (!problem.empty()) {
    std::fprintf(stderr, "lumbrex-demo-driver: the stand-in driver did not start: %ls\n", problem.c_str());
    return 1;
  }
  if (const DWORD error = standin_driver::StandinReset()) {
    std::fprintf(stderr, "lumbrex-demo-driver: the stand-in driver refused to reset: error %ls\n",
                 ErrorText(error).c_str());
    return 1;
  }
  if (const DWORD error = standin_driver::StandinSetAnswer(answer)) {
    std::fprintf(stderr, "lumbrex-demo-driver: the stand-in driver refused the answer (%zu bytes): error %ls\n",
                 answer.size(), ErrorText(error).c_str());
    return 1;
  }
  return 0;
}
