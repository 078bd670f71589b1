// The library's editing exports with plain text arguments, and the command
// scheme of the load tests, shared by the end-to-end tests and the client
// program e2e_client.exe (no gtest here).
#pragma once
#include <string>
#include <vector>

namespace e2e {

int Add(const std::wstring& bundle);
int Delete(const std::wstring& bundle);
int State(const std::wstring& bundle);
int AddPort(const std::wstring& bundle, int side, const std::wstring& port, int type);
int DeletePort(const std::wstring& bundle, int side, const std::wstring& port);
int PortState(const std::wstring& bundle, int side, const std::wstring& port);
int SetMain(const std::wstring& bundle, int side, const std::wstring& port);

// The load scheme: one client (a thread or a process) owns one bundle and
// issues 1 + 5 * rounds commands through the library, each of which the
// service must accept (every one waits up to 1000 ms or more for the link):
// ADD_BUNDLE, then per round r on side r % 2 with port type kLoadTypes[r % 4]:
// ADD_PORT P<r>, GET_PORT_STATE P<r>, SET_MAIN P<r>, ADD_PORT X<r>, and
// DEL_PORT of P<r> when r % 3 == 0, else of X<r>.
constexpr int kLoadTypes[] = {1, 2, 4, 8};
// Runs the scheme; returns "" or the first failure. Stops at the first one.
// commandsDone counts the commands that succeeded.
std::wstring RunLoadClient(const std::wstring& bundle, int rounds, int* commandsDone);
// What the scheme leaves: the ports of a side with their types, and the main port.
struct LoadPort {
  std::wstring name;
  int type;
};
std::vector<LoadPort> LoadExpectedPorts(int rounds, int side);
std::wstring LoadExpectedMain(int rounds, int side);

}  // namespace e2e
