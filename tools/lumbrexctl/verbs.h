// What each verb does once its words are read: connect for a changing verb,
// call its export, and turn the outcome into an exit code and a message
// (docs/lumbrexctl.md, "Errors and exit codes").
#pragma once
#include <windows.h>

#include <string>

#include "snapshot.h"

namespace lumbrexctl {

constexpr int kDone = 0;
constexpr int kRefused = 1;  // by the service, the library or the system
constexpr int kUsage = 2;

// Where the changing verbs send their commands: this machine's service, or
// with `remote` SERVER's, logging on as `user` when one is given.
struct Connection {
  bool remote = false;
  std::wstring server, user, password;
};

// One port of a bundle's side.
struct PortAddress {
  std::wstring bundle;
  int side = LUMBREX_SIDE_IN;
  std::wstring port;
};

struct PortSettings {
  int baud = 0, parity = 0, dataBits = 0, stopBits = 0, flow = 0;
};

enum class BundleVerb { kAdd, kDelete, kState };
enum class PortVerb { kDelete, kState, kMain, kDynamic };

// Connects the changing verbs: ConnectToLocalService, or with `remote`
// ConnectToRemoteService. kDone, or kRefused with the message said.
int Connect(const Connection& connection);

// --version: the tool's version, and the version resource of the lumbrex.dll
// this process loaded (it may come from another build than the tool). UTF-8.
std::string VersionText();

int RunShow(bool json);
int RunBundleList(bool json);
int RunPortList(const PortAddress& side, bool json);  // the port of `side` unused
int RunOptionGet(const OptionInfo& option, bool json);
int RunBundle(const Connection& connection, BundleVerb verb, const std::wstring& name);
int RunPort(const Connection& connection, PortVerb verb, const PortAddress& where);
int RunPortAdd(const Connection& connection, const PortAddress& where, LONG type);
int RunPortParams(const Connection& connection, const PortAddress& where, const PortSettings& settings);
int RunPortPerms(const Connection& connection, const PortAddress& where, LONG mask);
int RunOptionSet(const Connection& connection, const OptionInfo& option, bool on);
int RunShareSet(const Connection& connection, const PortAddress& where, const std::wstring& app, LONG value);
int RunShareDefault(const Connection& connection, const PortAddress& where, const std::wstring& app);
int RunShareReset(const Connection& connection, const PortAddress& where);
int RunShareApps(const std::wstring& port);

}  // namespace lumbrexctl
