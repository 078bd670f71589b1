// lumbrexctl.exe: shows and changes the bundling service's configuration
// through lumbrex.dll. Every read and every change goes through an export of
// include/lumbrex.h; the tool has no knowledge of the registry layout or the
// command protocol of its own. docs/lumbrexctl.md.
#include <windows.h>
#include <oleauto.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <functional>
#include <string>
#include <vector>

#include "lumbrex.h"

namespace {

// Exit codes (docs/lumbrexctl.md).
constexpr int kDone = 0;
constexpr int kRefused = 1;
constexpr int kUsage = 2;

// ---- output ---------------------------------------------------------------

// Text goes to a console as UTF-16 (WriteConsoleW shows every character the
// console font has, whatever its code page); to a file or pipe as UTF-8.
void Write(DWORD which, const std::wstring& text) {
  HANDLE h = GetStdHandle(which);
  if (h == nullptr || h == INVALID_HANDLE_VALUE || text.empty()) return;
  DWORD mode = 0;
  DWORD done = 0;
  if (GetConsoleMode(h, &mode)) {
    WriteConsoleW(h, text.data(), static_cast<DWORD>(text.size()), &done, nullptr);
    return;
  }
  int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  if (size <= 0) return;
  std::string bytes(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &bytes[0], size, nullptr, nullptr);
  WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
}
void Out(const std::wstring& text) { Write(STD_OUTPUT_HANDLE, text); }
void Err(const std::wstring& text) { Write(STD_ERROR_HANDLE, text); }

std::wstring Num(long long value) { return std::to_wstring(value); }

// The system's text for a Windows error code, without its line end.
std::wstring SystemMessage(DWORD code) {
  wchar_t* buffer = nullptr;
  DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                    FORMAT_MESSAGE_IGNORE_INSERTS,
                                nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text;
  if (length != 0 && buffer != nullptr) text.assign(buffer, length);
  if (buffer != nullptr) LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) text.pop_back();
  if (text.empty()) text = L"unknown error";
  return text;
}

// ---- VARIANT owners -------------------------------------------------------

// One VARIANT owned by the tool, cleared at scope end. Exports take VARIANTs
// by value: they get a bitwise copy and the owner keeps what it holds.
class Var {
 public:
  Var() { VariantInit(&v_); }
  explicit Var(const std::wstring& text) {
    VariantInit(&v_);
    v_.vt = VT_BSTR;
    v_.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  }
  static Var Int(LONG value) {
    Var v;
    v.v_.vt = VT_I4;
    v.v_.lVal = value;
    return v;
  }
  Var(Var&& other) noexcept : v_(other.v_) { VariantInit(&other.v_); }
  Var(const Var&) = delete;
  Var& operator=(const Var&) = delete;
  Var& operator=(Var&&) = delete;
  ~Var() { VariantClear(&v_); }
  VARIANT copy() const { return v_; }
  VARIANT* out() { return &v_; }
  const VARIANT& get() const { return v_; }

 private:
  VARIANT v_;
};

// The strings of a VT_ARRAY|VT_BSTR result (VT_EMPTY: none).
std::vector<std::wstring> Strings(const VARIANT& v) {
  std::vector<std::wstring> list;
  if (v.vt != (VT_ARRAY | VT_BSTR) || v.parray == nullptr) return list;
  LONG low = 0, high = -1;
  SafeArrayGetLBound(v.parray, 1, &low);
  SafeArrayGetUBound(v.parray, 1, &high);
  for (LONG i = low; i <= high; ++i) {
    BSTR item = nullptr;
    if (SUCCEEDED(SafeArrayGetElement(v.parray, &i, &item))) {
      list.emplace_back(item ? std::wstring(item, SysStringLen(item)) : std::wstring());
      SysFreeString(item);
    }
  }
  return list;
}

// The elements of a VT_ARRAY|VT_VARIANT result, each copied into an owner.
std::vector<Var> Variants(const VARIANT& v) {
  std::vector<Var> list;
  if (v.vt != (VT_ARRAY | VT_VARIANT) || v.parray == nullptr) return list;
  LONG low = 0, high = -1;
  SafeArrayGetLBound(v.parray, 1, &low);
  SafeArrayGetUBound(v.parray, 1, &high);
  for (LONG i = low; i <= high; ++i) {
    Var item;
    if (SUCCEEDED(SafeArrayGetElement(v.parray, &i, item.out()))) list.push_back(std::move(item));
  }
  return list;
}

// ---- failures -------------------------------------------------------------

// What an export's failure says: its name, and the last-error code when the
// call set one (the code is never cleared, so "set" means "changed by this
// call"); a command the service refuses sets none.
int Failed(const wchar_t* exportName, unsigned int codeBefore) {
  unsigned int code = QKGetLastError();
  if (code != codeBefore && code != 0) {
    Err(L"lumbrexctl: " + std::wstring(exportName) + L" failed: error " + Num(code) + L": " + SystemMessage(code) +
        L"\n");
  } else {
    Err(L"lumbrexctl: " + std::wstring(exportName) + L" failed: refused by the service (no error code)\n");
  }
  return kRefused;
}

// Runs one changing export and reports its outcome.
int Call(const wchar_t* exportName, const std::function<int()>& call) {
  unsigned int before = QKGetLastError();
  if (call() != 1) return Failed(exportName, before);
  return kDone;
}

// ---- usage ----------------------------------------------------------------

struct VerbHelp {
  const wchar_t* key;  // "bundle add", ...
  const wchar_t* text;
};

const wchar_t kToolHelp[] =
    L"lumbrexctl - show and change the serial-port bundling service's configuration\n"
    L"through lumbrex.dll.\n"
    L"\n"
    L"Usage: lumbrexctl [--remote SERVER [--user U --password P]] VERB ...\n"
    L"\n"
    L"Verbs:\n"
    L"  show [--json]                              the whole configuration\n"
    L"  bundle add|delete|state NAME               bundles\n"
    L"  port add BUNDLE in|out PORT TYPE           TYPE: real, virtual, shared, switcher\n"
    L"  port delete|state|main BUNDLE in|out PORT\n"
    L"  port params BUNDLE in|out PORT BAUD PARITY DATA STOP [FLOW]\n"
    L"  port dynamic BUNDLE in|out PORT\n"
    L"  port perms BUNDLE in|out PORT MASK\n"
    L"  option set NAME on|off                     auto-open, ignore-errors, print,\n"
    L"                                             main-only, baudrate-emulation\n"
    L"  share set BUNDLE in|out PORT APP VALUE\n"
    L"  share default BUNDLE in|out PORT APP\n"
    L"  share reset BUNDLE in|out PORT\n"
    L"  share apps PORT\n"
    L"\n"
    L"Changing verbs connect to the service on this machine (ConnectToLocalService),\n"
    L"or with --remote to SERVER's (ConnectToRemoteService, logging on as U when\n"
    L"given). show and share apps read this machine's registry and driver.\n"
    L"\n"
    L"Exit codes: 0 done, 1 refused by the service or the system, 2 bad usage.\n"
    L"'lumbrexctl VERB --help' describes a verb.\n";

const VerbHelp kVerbHelp[] = {
    {L"show",
     L"Usage: lumbrexctl show [--json]\n"
     L"\n"
     L"Prints the whole configuration as a tree: the five options, the machine's real\n"
     L"ports, then every bundle with its sides IN and OUT, their main ports and their\n"
     L"ports: type, main flag, parameters (or \"dynamic\"), permission mask, and for\n"
     L"shared ports the share permissions and the applications holding the port open.\n"
     L"--json prints the same as one JSON object. Reads only; no service needed.\n"},
    {L"bundle",
     L"Usage: lumbrexctl bundle add|delete|state NAME\n"
     L"\n"
     L"  add NAME      creates the bundle (AddBundle)\n"
     L"  delete NAME   deletes it with its ports (DeleteBundle)\n"
     L"  state NAME    asks the service whether it has the bundle (GetBundleState);\n"
     L"                prints \"NAME: present\", exit 1 when refused\n"},
    {L"bundle add", L"Usage: lumbrexctl bundle add NAME\n\nCreates the bundle NAME (AddBundle).\n"},
    {L"bundle delete",
     L"Usage: lumbrexctl bundle delete NAME\n\nDeletes the bundle NAME with its ports (DeleteBundle).\n"},
    {L"bundle state",
     L"Usage: lumbrexctl bundle state NAME\n\nAsks the service for the bundle (GetBundleState): prints \"NAME: present\"\n"
     L"when the service answers OK, else exits with 1.\n"},
    {L"port",
     L"Usage: lumbrexctl port VERB BUNDLE in|out PORT ...\n"
     L"\n"
     L"  add BUNDLE in|out PORT real|virtual|shared|switcher   BundleAddPort\n"
     L"  delete BUNDLE in|out PORT                            BundleDeletePort\n"
     L"  state BUNDLE in|out PORT                             BundleGetPortState\n"
     L"  main BUNDLE in|out PORT                              BundleSetMainPortForSide\n"
     L"  params BUNDLE in|out PORT BAUD PARITY DATA STOP [FLOW]  BundleSetRealPortParameters\n"
     L"  dynamic BUNDLE in|out PORT                           BundleSetDynamicParametersForRealPort\n"
     L"  perms BUNDLE in|out PORT MASK                        BundlePortSetPermissions\n"
     L"\n"
     L"'lumbrexctl port VERB --help' describes one of them.\n"},
    {L"port add",
     L"Usage: lumbrexctl port add BUNDLE in|out PORT real|virtual|shared|switcher\n\n"
     L"Adds PORT of the given type to the side of BUNDLE (BundleAddPort).\n"},
    {L"port delete",
     L"Usage: lumbrexctl port delete BUNDLE in|out PORT\n\nRemoves PORT from the side of BUNDLE (BundleDeletePort).\n"},
    {L"port state",
     L"Usage: lumbrexctl port state BUNDLE in|out PORT\n\nAsks the service for the port (BundleGetPortState): prints \"PORT: present\"\n"
     L"when the service answers OK, else exits with 1.\n"},
    {L"port main",
     L"Usage: lumbrexctl port main BUNDLE in|out PORT\n\nMakes PORT the main port of the side (BundleSetMainPortForSide).\n"},
    {L"port params",
     L"Usage: lumbrexctl port params BUNDLE in|out PORT BAUD PARITY DATA STOP [FLOW]\n"
     L"\n"
     L"Fixes the port's communication parameters (BundleSetRealPortParameters):\n"
     L"  BAUD    baud rate, a decimal number\n"
     L"  PARITY  N (none), O (odd), E (even), M (mark) or S (space)\n"
     L"  DATA    data bits, 5 to 8\n"
     L"  STOP    stop-bits code, 0 to 2 (stored and shown as given)\n"
     L"  FLOW    X (XON/XOFF) or P (hardware); none when left out\n"
     L"The port's permission mask is kept.\n"},
    {L"port dynamic",
     L"Usage: lumbrexctl port dynamic BUNDLE in|out PORT\n\n"
     L"Gives the port dynamic parameters, set by the application that opens it\n"
     L"(BundleSetDynamicParametersForRealPort). The permission mask is kept.\n"},
    {L"port perms",
     L"Usage: lumbrexctl port perms BUNDLE in|out PORT MASK\n\n"
     L"Sets the port's permission mask, 0 to 3: 2 the high bit, 1 the low bit\n"
     L"(BundlePortSetPermissions). The parameters are kept.\n"},
    {L"option",
     L"Usage: lumbrexctl option set NAME on|off\n"
     L"\n"
     L"Turns one global option on or off; the service stores all five at once.\n"
     L"  auto-open            ports opened automatically (OptionSetAutoOpenPort)\n"
     L"  ignore-errors        errors ignored on port creation (OptionSetIgnoreErrors)\n"
     L"  print                the port-to-print option (OptionSetPortToPrint)\n"
     L"  main-only            only the main port may send (OptionSetOnlyMainPortCanSend)\n"
     L"  baudrate-emulation   the virtual ports' baud-rate emulation (OptionSetBaudrateEmulation)\n"},
    {L"option set", nullptr},
    {L"share",
     L"Usage: lumbrexctl share VERB ...\n"
     L"\n"
     L"  set BUNDLE in|out PORT APP VALUE   SharedPortSetPermissionsForApp\n"
     L"  default BUNDLE in|out PORT APP     SharedSetDefaultPermissions (value 3)\n"
     L"  reset BUNDLE in|out PORT           SharedDelAllPermissions (3 for every application)\n"
     L"  apps PORT                          SharedGetPortApplications\n"
     L"\n"
     L"'lumbrexctl share VERB --help' describes one of them.\n"},
    {L"share set",
     L"Usage: lumbrexctl share set BUNDLE in|out PORT APP VALUE\n\n"
     L"Sets the share permission of application APP on the shared port PORT\n"
     L"(SharedPortSetPermissionsForApp). VALUE: a decimal or 0x number, 0 or with at\n"
     L"least one of the bits 1, 2, 4 set.\n"},
    {L"share default",
     L"Usage: lumbrexctl share default BUNDLE in|out PORT APP\n\n"
     L"Sets APP's share permission on PORT to the default 3 (SharedSetDefaultPermissions).\n"},
    {L"share reset",
     L"Usage: lumbrexctl share reset BUNDLE in|out PORT\n\n"
     L"Sets every stored application's share permission on PORT back to 3\n"
     L"(SharedDelAllPermissions).\n"},
    {L"share apps",
     L"Usage: lumbrexctl share apps PORT\n\n"
     L"Lists the applications holding the shared port PORT open, as the port-sharing\n"
     L"driver reports them (SharedGetPortApplications): name and its three values.\n"},
};

const wchar_t* HelpFor(const std::wstring& key) {
  for (const VerbHelp& help : kVerbHelp) {
    if (key == help.key) {
      if (help.text != nullptr) return help.text;
      // "option set" shares the option text.
      return HelpFor(key.substr(0, key.find(L' ')));
    }
  }
  return nullptr;
}

int Usage(const std::wstring& problem, const std::wstring& verb) {
  Err(L"lumbrexctl: " + problem + L"\n");
  Err(verb.empty() ? std::wstring(L"Try 'lumbrexctl --help'.\n") : L"Try 'lumbrexctl " + verb + L" --help'.\n");
  return kUsage;
}

// ---- argument parsing -----------------------------------------------------

bool IsHelp(const std::wstring& arg) { return arg == L"--help" || arg == L"-h" || arg == L"/?"; }

bool ParseSide(const std::wstring& text, int* side) {
  if (_wcsicmp(text.c_str(), L"in") == 0) {
    *side = 0;
    return true;
  }
  if (_wcsicmp(text.c_str(), L"out") == 0) {
    *side = 1;
    return true;
  }
  return false;
}

// A decimal number (optional sign) or 0x hexadecimal, the whole text, fitting
// 32 bits signed or unsigned.
bool ParseNumber(const std::wstring& text, long long* value) {
  if (text.empty()) return false;
  size_t at = 0;
  bool negative = false;
  if (text[0] == L'-' || text[0] == L'+') {
    negative = text[0] == L'-';
    at = 1;
  }
  int base = 10;
  if (text.size() > at + 2 && text[at] == L'0' && (text[at + 1] == L'x' || text[at + 1] == L'X')) {
    base = 16;
    at += 2;
  }
  if (at >= text.size()) return false;
  long long result = 0;
  for (; at < text.size(); ++at) {
    wchar_t c = text[at];
    int digit;
    if (c >= L'0' && c <= L'9') digit = c - L'0';
    else if (base == 16 && c >= L'a' && c <= L'f') digit = c - L'a' + 10;
    else if (base == 16 && c >= L'A' && c <= L'F') digit = c - L'A' + 10;
    else return false;
    result = result * base + digit;
    if (result > 0xFFFFFFFFLL) return false;
  }
  if (negative) result = -result;
  if (result < -2147483648LL) return false;
  *value = result;
  return true;
}

struct Globals {
  bool remote = false;
  std::wstring server, user, password;
  bool haveUser = false, havePassword = false;
};

// Connects for a changing verb: local unless --remote.
int Connect(const Globals& globals) {
  unsigned int before = QKGetLastError();
  if (!globals.remote) {
    if (ConnectToLocalService() == 1) return kDone;
    Err(L"lumbrexctl: ConnectToLocalService failed: the service's pipe \\\\.\\pipe\\TessaryControl2 could not be "
        L"opened (is the service running?)\n");
    return kRefused;
  }
  Var server(globals.server), user(globals.user), password(globals.password);
  if (ConnectToRemoteService(server.copy(), user.copy(), password.copy()) == 1) return kDone;
  unsigned int code = QKGetLastError();
  if (code != before && code != 0) {
    Err(L"lumbrexctl: ConnectToRemoteService failed: error " + Num(code) + L": " + SystemMessage(code) + L"\n");
  } else {
    Err(L"lumbrexctl: ConnectToRemoteService failed: the pipe \\\\" + globals.server +
        L"\\pipe\\TessaryControl2 could not be opened (is the service running there?)\n");
  }
  return kRefused;
}

// ---- show -----------------------------------------------------------------

std::wstring Json(const std::wstring& text) {
  std::wstring out = L"\"";
  for (wchar_t c : text) {
    switch (c) {
      case L'"': out += L"\\\""; break;
      case L'\\': out += L"\\\\"; break;
      case L'\n': out += L"\\n"; break;
      case L'\r': out += L"\\r"; break;
      case L'\t': out += L"\\t"; break;
      default:
        if (c < 0x20) {
          wchar_t buffer[8];
          swprintf(buffer, 8, L"\\u%04x", static_cast<unsigned>(c));
          out += buffer;
        } else {
          out += c;
        }
    }
  }
  return out + L"\"";
}

std::wstring CodeText(unsigned int code) { return L"code " + Num(code) + L": " + SystemMessage(code); }

struct OptionInfo {
  const wchar_t* name;
  int(LUMBREX_CALL* get)(unsigned int*);
  int(LUMBREX_CALL* set)(int);
  const wchar_t* getterName;
  const wchar_t* setterName;
};

const OptionInfo kOptions[] = {
    {L"auto-open", OptionGetPortsAutoOpen, OptionSetAutoOpenPort, L"OptionGetPortsAutoOpen",
     L"OptionSetAutoOpenPort"},
    {L"ignore-errors", OptionGetIgnoreErrorsOnPortCreation, OptionSetIgnoreErrors,
     L"OptionGetIgnoreErrorsOnPortCreation", L"OptionSetIgnoreErrors"},
    {L"print", OptionGetPortToPrint, OptionSetPortToPrint, L"OptionGetPortToPrint", L"OptionSetPortToPrint"},
    {L"main-only", OptionGetIfSendToMainSet, OptionSetOnlyMainPortCanSend, L"OptionGetIfSendToMainSet",
     L"OptionSetOnlyMainPortCanSend"},
    {L"baudrate-emulation", OptionGetBaudrateEmulation, OptionSetBaudrateEmulation, L"OptionGetBaudrateEmulation",
     L"OptionSetBaudrateEmulation"},
};

const wchar_t* TypeName(int type) {
  switch (type) {
    case 1: return L"real";
    case 2: return L"virtual";
    case 4: return L"shared";
    case 8: return L"switcher";
    default: return L"unknown";
  }
}

struct AppRow {
  std::wstring name;
  long data0 = 0, data2 = 0, data1 = 0;
};

struct PortInfo {
  std::wstring name;
  int type = 0;
  bool typeRead = false;
  bool main = false;
  bool dynamic = false;
  std::wstring parameters;  // "9600,N,8,0[,X]"; empty with paramsProblem when unreadable
  std::wstring paramsProblem;
  bool permsRead = false;
  long perms = 0;
  unsigned int permsCode = 0;
  // Shared ports only.
  std::vector<std::wstring> shareApps, shareValues;
  std::wstring shareProblem;  // "no share permissions (code 2: ...)"
  unsigned int shareCode = 0;
  bool appsRead = false;
  std::vector<AppRow> apps;
  unsigned int appsCode = 0;
};

struct SideInfo {
  std::wstring main;
  bool mainRead = false;
  unsigned int mainCode = 0;
  std::vector<PortInfo> ports;
  unsigned int portsCode = 0;
};

struct BundleInfo {
  std::wstring name;
  SideInfo sides[2];
};

struct Configuration {
  bool optionRead[5] = {};
  unsigned int optionValue[5] = {};
  unsigned int optionCode[5] = {};
  std::vector<std::wstring> realPorts;
  unsigned int realPortsCode = 0;
  bool realPortsRead = false;
  std::vector<BundleInfo> bundles;
  unsigned int bundlesCode = 0;
};

const wchar_t* const kParity = L"NOEMS";

PortInfo ReadPort(const std::wstring& bundle, int side, const std::wstring& port, const std::wstring& mainPort) {
  PortInfo info;
  info.name = port;
  info.main = !mainPort.empty() && _wcsicmp(mainPort.c_str(), port.c_str()) == 0;
  Var b(bundle), p(port);
  Var type;
  if (BundleGetPortType(b.copy(), side, p.copy(), type.out()) == 1) {
    info.typeRead = true;
    VARIANT value;
    VariantInit(&value);
    if (SUCCEEDED(VariantChangeType(&value, type.out(), 0, VT_I4))) info.type = value.lVal;
  }
  if (BundleRealPortAreParametersDynamic(b.copy(), side, p.copy()) == 1) {
    info.dynamic = true;
  } else {
    int baud = 0, parity = 0, data = 0, stop = 0, flow = 0;
    if (BundleGetRealPortParameters(b.copy(), side, p.copy(), &baud, &parity, &data, &stop, &flow) == 1) {
      info.parameters = Num(baud) + L"," + std::wstring(1, parity >= 0 && parity <= 4 ? kParity[parity] : L'?') +
                        L"," + Num(data) + L"," + Num(stop);
      if (flow == 1) info.parameters += L",X";
      if (flow == 2) info.parameters += L",P";
    } else {
      info.paramsProblem = L"unreadable";
    }
  }
  Var mask;
  if (BundlePortGetPermissions(b.copy(), side, p.copy(), mask.out()) == 1) {
    info.permsRead = true;
    info.perms = mask.get().vt == VT_I4 ? mask.get().lVal : 0;
  } else {
    info.permsCode = QKGetLastError();
  }
  if (info.type == 4) {
    unsigned int before = QKGetLastError();
    Var apps, values;
    SharedPortGetAppPermissions(b.copy(), side, p.copy(), apps.out(), values.out());
    if (apps.get().vt == VT_EMPTY) {
      unsigned int code = QKGetLastError();
      info.shareCode = code != before ? code : 0;
    } else {
      info.shareApps = Strings(apps.get());
      info.shareValues = Strings(values.get());
    }
    Var rows;
    if (SharedGetPortApplications(p.copy(), rows.out()) == 1) {
      info.appsRead = true;
      for (Var& row : Variants(rows.get())) {
        std::vector<Var> cells = Variants(row.get());
        AppRow app;
        if (cells.size() == 4) {
          if (cells[0].get().vt == VT_BSTR && cells[0].get().bstrVal != nullptr)
            app.name.assign(cells[0].get().bstrVal, SysStringLen(cells[0].get().bstrVal));
          app.data0 = cells[1].get().lVal;
          app.data2 = cells[2].get().lVal;
          app.data1 = cells[3].get().lVal;
        }
        info.apps.push_back(app);
      }
    } else {
      info.appsCode = QKGetLastError();
    }
  }
  return info;
}

Configuration ReadConfiguration() {
  Configuration config;
  for (int i = 0; i < 5; ++i) {
    unsigned int value = 0;
    if (kOptions[i].get(&value) == 1) {
      config.optionRead[i] = true;
      config.optionValue[i] = value;
    } else {
      config.optionCode[i] = QKGetLastError();
    }
  }
  Var real;
  if (GetRealPortsList(real.out()) == 1) {
    config.realPortsRead = true;
    config.realPorts = Strings(real.get());
  } else {
    config.realPortsCode = QKGetLastError();
  }
  Var names;
  if (GetBundlesNames(names.out()) != 1) {
    config.bundlesCode = QKGetLastError();
    return config;
  }
  for (const std::wstring& name : Strings(names.get())) {
    BundleInfo bundle;
    bundle.name = name;
    for (int side = 0; side < 2; ++side) {
      SideInfo& info = bundle.sides[side];
      Var b(name), main, ports;
      if (BundleGetMainPortForSide(b.copy(), side, main.out()) == 1) {
        info.mainRead = true;
        if (main.get().vt == VT_BSTR && main.get().bstrVal != nullptr)
          info.main.assign(main.get().bstrVal, SysStringLen(main.get().bstrVal));
      } else {
        info.mainCode = QKGetLastError();
      }
      if (GetPortsNamesByBundleAndSide(b.copy(), side, ports.out()) == 1) {
        for (const std::wstring& port : Strings(ports.get())) info.ports.push_back(ReadPort(name, side, port, info.main));
      } else {
        info.portsCode = QKGetLastError();
      }
    }
    config.bundles.push_back(std::move(bundle));
  }
  return config;
}

// "driver not available (code 2)" when the driver's device does not open
// (the export reports the open's error code); other failures with their code.
std::wstring AppsProblem(unsigned int code) {
  if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND)
    return L"driver not available (code " + Num(code) + L")";
  return L"unreadable (" + CodeText(code) + L")";
}

std::wstring ShowText(const Configuration& config) {
  std::wstring out = L"Options\n";
  for (int i = 0; i < 5; ++i) {
    out += L"  " + std::wstring(kOptions[i].name) + L": ";
    if (config.optionRead[i]) out += config.optionValue[i] != 0 ? L"on" : L"off";
    else out += L"not set (" + CodeText(config.optionCode[i]) + L")";
    out += L"\n";
  }
  out += L"Real ports: ";
  if (!config.realPortsRead) {
    out += L"unreadable (" + CodeText(config.realPortsCode) + L")";
  } else if (config.realPorts.empty()) {
    out += L"none";
  } else {
    for (size_t i = 0; i < config.realPorts.size(); ++i) out += (i ? L", " : L"") + config.realPorts[i];
  }
  out += L"\nBundles";
  if (config.bundlesCode != 0) {
    out += config.bundlesCode == ERROR_FILE_NOT_FOUND ? L": none (no configuration yet)\n"
                                                      : L": unreadable (" + CodeText(config.bundlesCode) + L")\n";
    return out;
  }
  if (config.bundles.empty()) out += L": none";
  out += L"\n";
  for (const BundleInfo& bundle : config.bundles) {
    out += L"  " + bundle.name + L"\n";
    for (int side = 0; side < 2; ++side) {
      const SideInfo& info = bundle.sides[side];
      out += side == 0 ? L"    IN" : L"    OUT";
      out += L" (main: ";
      if (!info.mainRead) out += L"unreadable, " + CodeText(info.mainCode);
      else out += info.main.empty() ? L"none" : info.main;
      out += L")";
      if (info.portsCode != 0) {
        out += L": ports unreadable (" + CodeText(info.portsCode) + L")\n";
        continue;
      }
      if (info.ports.empty()) out += L": no ports";
      out += L"\n";
      for (const PortInfo& port : info.ports) {
        out += L"      " + port.name + L"  " + (port.typeRead ? TypeName(port.type) : L"type unreadable");
        if (port.main) out += L"  main";
        out += L"  ";
        out += port.dynamic ? L"dynamic" : port.parameters.empty() ? L"parameters " + port.paramsProblem
                                                                    : port.parameters;
        out += L"  perms ";
        out += port.permsRead ? Num(port.perms) : L"unreadable (code " + Num(port.permsCode) + L")";
        out += L"\n";
        if (port.type != 4) continue;
        out += L"        share permissions: ";
        if (port.shareApps.empty()) {
          out += port.shareCode == 0 || port.shareCode == ERROR_FILE_NOT_FOUND ? L"none"
                                                                                : L"unreadable (" + CodeText(port.shareCode) + L")";
        } else {
          for (size_t i = 0; i < port.shareApps.size(); ++i) {
            out += (i ? L", " : L"") + port.shareApps[i] + L"=" +
                   (i < port.shareValues.size() ? port.shareValues[i] : std::wstring(L"?"));
          }
        }
        out += L"\n        open by: ";
        if (!port.appsRead) {
          out += AppsProblem(port.appsCode);
        } else if (port.apps.empty()) {
          out += L"no application";
        } else {
          for (size_t i = 0; i < port.apps.size(); ++i) {
            out += (i ? L", " : L"") + port.apps[i].name + L" (" + Num(port.apps[i].data0) + L" " +
                   Num(port.apps[i].data2) + L" " + Num(port.apps[i].data1) + L")";
          }
        }
        out += L"\n";
      }
    }
  }
  return out;
}

std::wstring ErrorJson(unsigned int code) {
  return L"{\"code\": " + Num(code) + L", \"message\": " + Json(SystemMessage(code)) + L"}";
}

std::wstring ShowJson(const Configuration& config) {
  std::wstring out = L"{\n  \"options\": {";
  for (int i = 0; i < 5; ++i) {
    out += std::wstring(i ? L"," : L"") + L"\n    " + Json(kOptions[i].name) + L": ";
    out += config.optionRead[i] ? (config.optionValue[i] != 0 ? L"true" : L"false") : L"null";
  }
  out += L"\n  },\n  \"optionErrors\": {";
  bool first = true;
  for (int i = 0; i < 5; ++i) {
    if (config.optionRead[i]) continue;
    out += std::wstring(first ? L"" : L",") + L"\n    " + Json(kOptions[i].name) + L": " + ErrorJson(config.optionCode[i]);
    first = false;
  }
  out += first ? L"},\n" : L"\n  },\n";
  out += L"  \"realPorts\": ";
  if (config.realPortsRead) {
    out += L"[";
    for (size_t i = 0; i < config.realPorts.size(); ++i) out += (i ? L", " : L"") + Json(config.realPorts[i]);
    out += L"]";
  } else {
    out += L"null,\n  \"realPortsError\": " + ErrorJson(config.realPortsCode);
  }
  out += L",\n  \"bundles\": [";
  for (size_t b = 0; b < config.bundles.size(); ++b) {
    const BundleInfo& bundle = config.bundles[b];
    out += std::wstring(b ? L"," : L"") + L"\n    {\"name\": " + Json(bundle.name);
    for (int side = 0; side < 2; ++side) {
      const SideInfo& info = bundle.sides[side];
      out += side == 0 ? L",\n     \"in\": {" : L",\n     \"out\": {";
      out += L"\"main\": " + (info.mainRead ? Json(info.main) : L"null");
      if (info.portsCode != 0) out += L", \"portsError\": " + ErrorJson(info.portsCode);
      out += L", \"ports\": [";
      for (size_t p = 0; p < info.ports.size(); ++p) {
        const PortInfo& port = info.ports[p];
        out += std::wstring(p ? L"," : L"") + L"\n       {\"name\": " + Json(port.name) + L", \"type\": " +
               (port.typeRead ? Json(TypeName(port.type)) : L"null") + L", \"main\": " +
               (port.main ? L"true" : L"false") + L", \"parameters\": " +
               (port.dynamic ? Json(L"dynamic") : port.parameters.empty() ? L"null" : Json(port.parameters)) +
               L", \"permissions\": " + (port.permsRead ? Num(port.perms) : L"null");
        if (port.type == 4) {
          out += L",\n        \"share\": {";
          for (size_t i = 0; i < port.shareApps.size(); ++i) {
            out += (i ? L", " : L"") + Json(port.shareApps[i]) + L": " +
                   (i < port.shareValues.size() ? port.shareValues[i] : std::wstring(L"null"));
          }
          out += L"},\n        \"openBy\": ";
          if (port.appsRead) {
            out += L"[";
            for (size_t i = 0; i < port.apps.size(); ++i) {
              out += std::wstring(i ? L", " : L"") + L"{\"name\": " + Json(port.apps[i].name) + L", \"data0\": " +
                     Num(port.apps[i].data0) + L", \"data1\": " + Num(port.apps[i].data1) + L", \"data2\": " +
                     Num(port.apps[i].data2) + L"}";
            }
            out += L"]";
          } else {
            out += L"null, \"openByError\": {\"code\": " + Num(port.appsCode) + L", \"message\": " +
                   Json(AppsProblem(port.appsCode)) + L"}";
          }
        }
        out += L"}";
      }
      out += info.ports.empty() ? L"]}" : L"\n     ]}";
    }
    out += L"}";
  }
  out += config.bundles.empty() ? L"]" : L"\n  ]";
  if (config.bundlesCode != 0 && config.bundlesCode != ERROR_FILE_NOT_FOUND)
    out += L",\n  \"bundlesError\": " + ErrorJson(config.bundlesCode);
  out += L"\n}\n";
  return out;
}

// ---- verbs ----------------------------------------------------------------

using Args = std::vector<std::wstring>;

int VerbShow(const Args& args) {
  bool json = false;
  for (size_t i = 1; i < args.size(); ++i) {
    if (args[i] == L"--json") json = true;
    else return Usage(L"show: unexpected argument '" + args[i] + L"'", L"show");
  }
  Configuration config = ReadConfiguration();
  Out(json ? ShowJson(config) : ShowText(config));
  return kDone;
}

int VerbBundle(const Globals& globals, const Args& args) {
  if (args.size() < 2) return Usage(L"bundle: which one: add, delete or state?", L"bundle");
  const std::wstring& verb = args[1];
  if (verb != L"add" && verb != L"delete" && verb != L"state")
    return Usage(L"bundle: unknown verb '" + verb + L"'", L"bundle");
  if (args.size() != 3) return Usage(L"bundle " + verb + L": expects NAME", L"bundle " + verb);
  if (int rc = Connect(globals)) return rc;
  Var name(args[2]);
  if (verb == L"add") return Call(L"AddBundle", [&] { return AddBundle(name.copy()); });
  if (verb == L"delete") return Call(L"DeleteBundle", [&] { return DeleteBundle(name.copy()); });
  int rc = Call(L"GetBundleState", [&] { return GetBundleState(name.copy()); });
  if (rc == kDone) Out(args[2] + L": present\n");
  return rc;
}

int VerbPort(const Globals& globals, const Args& args) {
  if (args.size() < 2) return Usage(L"port: which one?", L"port");
  const std::wstring& verb = args[1];
  const std::wstring key = L"port " + verb;
  size_t want;
  if (verb == L"add") want = 6;
  else if (verb == L"delete" || verb == L"state" || verb == L"main" || verb == L"dynamic") want = 5;
  else if (verb == L"perms") want = 6;
  else if (verb == L"params") want = 9;
  else return Usage(L"port: unknown verb '" + verb + L"'", L"port");
  if (verb == L"params" ? (args.size() != 9 && args.size() != 10) : args.size() != want)
    return Usage(key + L": wrong number of arguments", key);
  int side = 0;
  if (!ParseSide(args[3], &side)) return Usage(key + L": the side is 'in' or 'out', not '" + args[3] + L"'", key);
  Var bundle(args[2]), port(args[4]);

  if (verb == L"add") {
    static const wchar_t* const kTypes[] = {L"real", L"virtual", L"shared", L"switcher"};
    static const LONG kCodes[] = {1, 2, 4, 8};
    LONG code = 0;
    for (int i = 0; i < 4; ++i)
      if (_wcsicmp(args[5].c_str(), kTypes[i]) == 0) code = kCodes[i];
    if (code == 0) return Usage(key + L": unknown port type '" + args[5] + L"'", key);
    if (int rc = Connect(globals)) return rc;
    Var type = Var::Int(code);
    return Call(L"BundleAddPort", [&] { return BundleAddPort(bundle.copy(), side, port.copy(), type.copy()); });
  }
  if (verb == L"params") {
    long long baud = 0, data = 0, stop = 0;
    if (!ParseNumber(args[5], &baud)) return Usage(key + L": BAUD is a number, not '" + args[5] + L"'", key);
    int parity = -1;
    if (args[6].size() == 1) {
      const wchar_t* at = wcschr(kParity, towupper(args[6][0]));
      if (at != nullptr && *at != 0) parity = static_cast<int>(at - kParity);
    }
    if (parity < 0) return Usage(key + L": PARITY is one of N, O, E, M, S, not '" + args[6] + L"'", key);
    if (!ParseNumber(args[7], &data)) return Usage(key + L": DATA is a number, not '" + args[7] + L"'", key);
    if (!ParseNumber(args[8], &stop)) return Usage(key + L": STOP is a number, not '" + args[8] + L"'", key);
    int flow = 0;
    if (args.size() == 10) {
      if (_wcsicmp(args[9].c_str(), L"X") == 0) flow = 1;
      else if (_wcsicmp(args[9].c_str(), L"P") == 0) flow = 2;
      else return Usage(key + L": FLOW is X or P, not '" + args[9] + L"'", key);
    }
    if (int rc = Connect(globals)) return rc;
    return Call(L"BundleSetRealPortParameters", [&] {
      return BundleSetRealPortParameters(bundle.copy(), side, port.copy(), static_cast<int>(baud), parity,
                                         static_cast<int>(data), static_cast<int>(stop), flow);
    });
  }
  if (verb == L"perms") {
    long long mask = 0;
    if (!ParseNumber(args[5], &mask)) return Usage(key + L": MASK is a number, not '" + args[5] + L"'", key);
    if (int rc = Connect(globals)) return rc;
    // The export clears its mask VARIANT: hand it a copy.
    Var value = Var::Int(static_cast<LONG>(mask));
    return Call(L"BundlePortSetPermissions",
                [&] { return BundlePortSetPermissions(bundle.copy(), side, port.copy(), value.copy()); });
  }
  if (int rc = Connect(globals)) return rc;
  if (verb == L"delete")
    return Call(L"BundleDeletePort", [&] { return BundleDeletePort(bundle.copy(), side, port.copy()); });
  if (verb == L"main")
    return Call(L"BundleSetMainPortForSide",
                [&] { return BundleSetMainPortForSide(bundle.copy(), side, port.copy()); });
  if (verb == L"dynamic")
    return Call(L"BundleSetDynamicParametersForRealPort",
                [&] { return BundleSetDynamicParametersForRealPort(bundle.copy(), side, port.copy()); });
  int rc = Call(L"BundleGetPortState", [&] { return BundleGetPortState(bundle.copy(), side, port.copy()); });
  if (rc == kDone) Out(args[4] + L": present\n");
  return rc;
}

int VerbOption(const Globals& globals, const Args& args) {
  if (args.size() < 2 || args[1] != L"set")
    return Usage(args.size() < 2 ? L"option: expects 'set NAME on|off'" : L"option: unknown verb '" + args[1] + L"'",
                 L"option");
  if (args.size() != 4) return Usage(L"option set: expects NAME on|off", L"option set");
  const OptionInfo* option = nullptr;
  for (const OptionInfo& candidate : kOptions)
    if (_wcsicmp(args[2].c_str(), candidate.name) == 0) option = &candidate;
  if (option == nullptr) return Usage(L"option set: unknown option '" + args[2] + L"'", L"option set");
  int value;
  if (_wcsicmp(args[3].c_str(), L"on") == 0) value = 1;
  else if (_wcsicmp(args[3].c_str(), L"off") == 0) value = 0;
  else return Usage(L"option set: the value is 'on' or 'off', not '" + args[3] + L"'", L"option set");
  if (int rc = Connect(globals)) return rc;
  return Call(option->setterName, [&] { return option->set(value); });
}

int VerbShare(const Globals& globals, const Args& args) {
  if (args.size() < 2) return Usage(L"share: which one?", L"share");
  const std::wstring& verb = args[1];
  const std::wstring key = L"share " + verb;
  if (verb == L"apps") {
    if (args.size() != 3) return Usage(key + L": expects PORT", key);
    Var port(args[2]), rows;
    unsigned int before = QKGetLastError();
    if (SharedGetPortApplications(port.copy(), rows.out()) != 1) {
      unsigned int code = QKGetLastError();
      if (code != before && (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND)) {
        Err(L"lumbrexctl: SharedGetPortApplications failed: driver not available (code " + Num(code) + L": " +
            SystemMessage(code) + L")\n");
        return kRefused;
      }
      return Failed(L"SharedGetPortApplications", before);
    }
    std::vector<Var> list = Variants(rows.get());
    if (list.empty()) Out(args[2] + L": no application\n");
    for (Var& row : list) {
      std::vector<Var> cells = Variants(row.get());
      if (cells.size() != 4) continue;
      std::wstring name;
      if (cells[0].get().vt == VT_BSTR && cells[0].get().bstrVal != nullptr)
        name.assign(cells[0].get().bstrVal, SysStringLen(cells[0].get().bstrVal));
      Out(name + L"  " + Num(cells[1].get().lVal) + L" " + Num(cells[2].get().lVal) + L" " +
          Num(cells[3].get().lVal) + L"\n");
    }
    return kDone;
  }
  size_t want;
  if (verb == L"set") want = 7;
  else if (verb == L"default") want = 6;
  else if (verb == L"reset") want = 5;
  else return Usage(L"share: unknown verb '" + verb + L"'", L"share");
  if (args.size() != want) return Usage(key + L": wrong number of arguments", key);
  int side = 0;
  if (!ParseSide(args[3], &side)) return Usage(key + L": the side is 'in' or 'out', not '" + args[3] + L"'", key);
  long long value = 0;
  if (verb == L"set" && !ParseNumber(args[6], &value))
    return Usage(key + L": VALUE is a number, not '" + args[6] + L"'", key);
  Var bundle(args[2]), port(args[4]);
  if (int rc = Connect(globals)) return rc;
  if (verb == L"set") {
    Var app(args[5]);
    Var permission = Var::Int(static_cast<LONG>(value));
    return Call(L"SharedPortSetPermissionsForApp", [&] {
      return SharedPortSetPermissionsForApp(bundle.copy(), side, port.copy(), app.copy(), permission.copy());
    });
  }
  if (verb == L"default") {
    Var app(args[5]);
    return Call(L"SharedSetDefaultPermissions",
                [&] { return SharedSetDefaultPermissions(bundle.copy(), side, port.copy(), app.copy()); });
  }
  return Call(L"SharedDelAllPermissions",
              [&] { return SharedDelAllPermissions(bundle.copy(), side, port.copy()); });
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  Globals globals;
  Args args;
  bool help = false;
  for (int i = 1; i < argc; ++i) {
    std::wstring arg = argv[i];
    if (arg == L"--remote" || arg == L"--user" || arg == L"--password") {
      if (i + 1 >= argc) return Usage(arg + L" needs a value", L"");
      std::wstring value = argv[++i];
      if (arg == L"--remote") {
        globals.remote = true;
        globals.server = value;
      } else if (arg == L"--user") {
        globals.haveUser = true;
        globals.user = value;
      } else {
        globals.havePassword = true;
        globals.password = value;
      }
    } else if (IsHelp(arg)) {
      help = true;
    } else {
      args.push_back(arg);
    }
  }
  if (help || (!args.empty() && args[0] == L"help")) {
    if (!args.empty() && args[0] == L"help") args.erase(args.begin());
    std::wstring key = args.empty() ? L"" : args[0];
    if (args.size() >= 2 && HelpFor(args[0] + L" " + args[1]) != nullptr) key = args[0] + L" " + args[1];
    if (key.empty()) {
      Out(kToolHelp);
      return kDone;
    }
    const wchar_t* text = HelpFor(key);
    if (text == nullptr) return Usage(L"no such verb '" + key + L"'", L"");
    Out(text);
    return kDone;
  }
  if (args.empty()) {
    Err(std::wstring(kToolHelp));
    return kUsage;
  }
  if ((globals.haveUser || globals.havePassword) && !globals.remote)
    return Usage(L"--user and --password go with --remote", L"");
  const std::wstring& verb = args[0];
  if (verb == L"show") return VerbShow(args);
  if (verb == L"bundle") return VerbBundle(globals, args);
  if (verb == L"port") return VerbPort(globals, args);
  if (verb == L"option") return VerbOption(globals, args);
  if (verb == L"share") return VerbShare(globals, args);
  return Usage(L"unknown verb '" + verb + L"'", L"");
}
