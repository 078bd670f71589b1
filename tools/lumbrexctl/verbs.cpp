#include "verbs.h"

#include <functional>
#include <vector>

#include "console.h"
#include "show.h"
#include "variants.h"

namespace lumbrexctl {
namespace {

// What an export's failure says: its name, and the last-error code when the
// call set one. The code is never cleared, so "set" means "changed by this
// call"; a command the service refuses sets none.
int Failed(const wchar_t* exportName, unsigned int codeBefore) {
  const unsigned int code = QKGetLastError();
  const std::wstring head = L"lumbrexctl: " + std::wstring(exportName) + L" failed: ";
  if (code != codeBefore && code != 0) Err(head + L"error " + Num(code) + L": " + SystemMessage(code) + L"\n");
  else Err(head + L"refused by the service (no error code)\n");
  return kRefused;
}

// Runs one export and reports its outcome.
int Call(const wchar_t* exportName, const std::function<int()>& call) {
  const unsigned int before = QKGetLastError();
  return call() == 1 ? kDone : Failed(exportName, before);
}

int Connect(const Connection& connection) {
  if (!connection.remote) {
    if (ConnectToLocalService() == 1) return kDone;
    Err(L"lumbrexctl: ConnectToLocalService failed: the service's pipe \\\\.\\pipe\\TessaryControl2 could not be "
        L"opened (is the service running?)\n");
    return kRefused;
  }
  const unsigned int before = QKGetLastError();
  const TextArg server(connection.server), user(connection.user), password(connection.password);
  if (ConnectToRemoteService(server.get(), user.get(), password.get()) == 1) return kDone;
  const unsigned int code = QKGetLastError();
  if (code != before && code != 0) {
    Err(L"lumbrexctl: ConnectToRemoteService failed: error " + Num(code) + L": " + SystemMessage(code) + L"\n");
  } else {
    Err(L"lumbrexctl: ConnectToRemoteService failed: the pipe \\\\" + connection.server +
        L"\\pipe\\TessaryControl2 could not be opened (is the service running there?)\n");
  }
  return kRefused;
}

// Connects, then runs one changing export.
int Change(const Connection& connection, const wchar_t* exportName, const std::function<int()>& call) {
  if (int rc = Connect(connection)) return rc;
  return Call(exportName, call);
}

// The state verbs print "NAME: present" when the service answers OK.
int Present(int rc, const std::wstring& name) {
  if (rc == kDone) Out(name + L": present\n");
  return rc;
}

}  // namespace

int RunShow(bool json) {
  const Configuration config = ReadConfiguration();
  if (json) OutUtf8(ShowJson(config));
  else Out(ShowText(config));
  return kDone;
}

int RunBundle(const Connection& connection, BundleVerb verb, const std::wstring& name) {
  const TextArg bundle(name);
  switch (verb) {
    case BundleVerb::kAdd: return Change(connection, L"AddBundle", [&] { return AddBundle(bundle.get()); });
    case BundleVerb::kDelete: return Change(connection, L"DeleteBundle", [&] { return DeleteBundle(bundle.get()); });
    case BundleVerb::kState:
      return Present(Change(connection, L"GetBundleState", [&] { return GetBundleState(bundle.get()); }), name);
  }
  return kUsage;
}

int RunPort(const Connection& connection, PortVerb verb, const PortAddress& where) {
  const TextArg bundle(where.bundle), port(where.port);
  const int side = where.side;
  switch (verb) {
    case PortVerb::kDelete:
      return Change(connection, L"BundleDeletePort", [&] { return BundleDeletePort(bundle.get(), side, port.get()); });
    case PortVerb::kState:
      return Present(Change(connection, L"BundleGetPortState",
                            [&] { return BundleGetPortState(bundle.get(), side, port.get()); }),
                     where.port);
    case PortVerb::kMain:
      return Change(connection, L"BundleSetMainPortForSide",
                    [&] { return BundleSetMainPortForSide(bundle.get(), side, port.get()); });
    case PortVerb::kDynamic:
      return Change(connection, L"BundleSetDynamicParametersForRealPort",
                    [&] { return BundleSetDynamicParametersForRealPort(bundle.get(), side, port.get()); });
  }
  return kUsage;
}

int RunPortAdd(const Connection& connection, const PortAddress& where, LONG type) {
  const TextArg bundle(where.bundle), port(where.port);
  return Change(connection, L"BundleAddPort",
                [&] { return BundleAddPort(bundle.get(), where.side, port.get(), IntArg(type)); });
}

int RunPortParams(const Connection& connection, const PortAddress& where, const PortSettings& s) {
  const TextArg bundle(where.bundle), port(where.port);
  return Change(connection, L"BundleSetRealPortParameters", [&] {
    return BundleSetRealPortParameters(bundle.get(), where.side, port.get(), s.baud, s.parity, s.dataBits,
                                       s.stopBits, s.flow);
  });
}

int RunPortPerms(const Connection& connection, const PortAddress& where, LONG mask) {
  const TextArg bundle(where.bundle), port(where.port);
  // The export clears its mask VARIANT: it gets a copy (a number, nothing to free).
  return Change(connection, L"BundlePortSetPermissions",
                [&] { return BundlePortSetPermissions(bundle.get(), where.side, port.get(), IntArg(mask)); });
}

int RunOptionSet(const Connection& connection, const OptionInfo& option, bool on) {
  return Change(connection, option.setterName, [&] { return option.set(on ? 1 : 0); });
}

int RunShareSet(const Connection& connection, const PortAddress& where, const std::wstring& app, LONG value) {
  const TextArg bundle(where.bundle), port(where.port), application(app);
  return Change(connection, L"SharedPortSetPermissionsForApp", [&] {
    return SharedPortSetPermissionsForApp(bundle.get(), where.side, port.get(), application.get(), IntArg(value));
  });
}

int RunShareDefault(const Connection& connection, const PortAddress& where, const std::wstring& app) {
  const TextArg bundle(where.bundle), port(where.port), application(app);
  return Change(connection, L"SharedSetDefaultPermissions", [&] {
    return SharedSetDefaultPermissions(bundle.get(), where.side, port.get(), application.get());
  });
}

int RunShareReset(const Connection& connection, const PortAddress& where) {
  const TextArg bundle(where.bundle), port(where.port);
  return Change(connection, L"SharedDelAllPermissions",
                [&] { return SharedDelAllPermissions(bundle.get(), where.side, port.get()); });
}

int RunShareApps(const std::wstring& port) {
  const unsigned int before = QKGetLastError();
  std::vector<OpenApplication> apps;
  if (ReadOpenApplications(port, &apps) != 1) {
    const unsigned int code = QKGetLastError();
    if (code != before && (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND)) {
      Err(L"lumbrexctl: SharedGetPortApplications failed: driver not available (" + CodeText(code) + L")\n");
      return kRefused;
    }
    return Failed(L"SharedGetPortApplications", before);
  }
  if (apps.empty()) Out(port + L": no application\n");
  for (const OpenApplication& app : apps)
    Out(app.name + L"  " + Num(app.data0) + L" " + Num(app.data2) + L" " + Num(app.data1) + L"\n");
  return kDone;
}

}  // namespace lumbrexctl
