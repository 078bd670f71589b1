// e2e_client.exe BUNDLE ROUNDS: one client process of the multi-process load
// test. Connects to the running stand-in service through lumbrex.dll and runs
// the load scheme of e2e_commands.h on its own bundle. Exit code 0 when every
// command succeeded, 1 when one failed, 2 for bad arguments, 3 when the pipe
// could not be opened.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "e2e/e2e_commands.h"
#include "lumbrex.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: e2e_client BUNDLE ROUNDS\n");
    return 2;
  }
  const std::string bundleAscii = argv[1];
  const std::wstring bundle(bundleAscii.begin(), bundleAscii.end());
  const int rounds = std::atoi(argv[2]);
  // The library opens the pipe once, without waiting for a free instance
  // (Part 2.1); many clients starting at once may find every listening
  // instance taken for a moment, so connecting is retried, bounded.
  bool connected = false;
  for (int attempt = 0; attempt < 100 && !connected; ++attempt) {
    connected = ConnectToLocalService() == 1;
    if (!connected) Sleep(50);
  }
  if (!connected) {
    std::fprintf(stderr, "%s: no connection\n", argv[1]);
    return 3;
  }
  int done = 0;
  const std::wstring failure = e2e::RunLoadClient(bundle, rounds, &done);
  DisconnectFromService();
  std::printf("%s: %d commands\n", argv[1], done);
  if (!failure.empty()) {
    std::fprintf(stderr, "%s: failed at %ls\n", argv[1], failure.c_str());
    return 1;
  }
  return 0;
}
