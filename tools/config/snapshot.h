// The whole configuration as the query exports report it, read once into
// plain structs: what `show` prints, as text or as JSON. Where an export could
// not read a part, the part keeps the last-error code it left instead.
#pragma once
#include <windows.h>

#include <array>
#include <string>
#include <vector>

#include "calls.h"
#include "config_document.h"
#include "lumbrex.h"

namespace lumbrexctl {

// The five global options (config::kOptionWords) with their getter and
// setter, in the order of LumbrexOption.
struct OptionInfo {
  int option;  // LumbrexOption
  std::wstring name, setterName, getterName;
  int(LUMBREX_CALL* get)(unsigned int*);
  int(LUMBREX_CALL* set)(int);
};
constexpr int kOptionCount = LUMBREX_OPTION_COUNT;
const std::array<OptionInfo, kOptionCount>& Options();

// The tool's word of a port type code (config::kPortTypes); "unknown" for another code.
std::wstring TypeName(int type);

// One application holding a shared port open, as the driver reports it.
struct OpenApplication {
  std::wstring name;
  long data0 = 0, data1 = 0, data2 = 0;
};

struct PortInfo {
  std::wstring name;
  bool typeRead = false;
  int type = 0;
  bool main = false;  // the side's main port (names compared without regard to case)
  bool dynamic = false;
  // The library refuses the name for BundleRealPortAreParametersDynamic (13):
  // when the parameters do not read either, dynamic or unreadable is unknown.
  unsigned int dynamicCode = 0;
  std::wstring parameters;  // "9600,N,8,0[,X]"; empty when unreadable
  bool unknownParity = false;  // the stored letter is none of N, O, E, M, S: "?" in `parameters`
  bool permsRead = false;
  long perms = 0;
  unsigned int permsCode = 0;
  // Shared ports only.
  std::vector<std::wstring> shareApps, shareValues;  // values as the export gives them: "%d" text
  unsigned int shareCode = 0;  // set when the permissions key could not be read
  bool shareRefused = false;   // the library refuses the port name (shareCode 13)
  bool appsRead = false;
  std::vector<OpenApplication> apps;
  unsigned int appsCode = 0;
};

struct SideInfo {
  bool mainRead = false;
  std::wstring main;  // empty: the side has no main port
  unsigned int mainCode = 0;
  std::vector<PortInfo> ports;
  unsigned int portsCode = 0;  // non-zero: the port list could not be read
};

struct BundleInfo {
  std::wstring name;
  SideInfo sides[2];  // IN, OUT
};

struct Configuration {
  bool optionRead[kOptionCount] = {};
  unsigned int optionValue[kOptionCount] = {};
  unsigned int optionCode[kOptionCount] = {};
  bool realPortsRead = false;
  std::vector<std::wstring> realPorts;
  unsigned int realPortsCode = 0;
  std::vector<BundleInfo> bundles;
  unsigned int bundlesCode = 0;  // non-zero: the bundle list could not be read (2: no configuration yet)
};

Configuration ReadConfiguration();
// One side of a bundle: its main port and its ports with all they carry.
SideInfo ReadSide(const std::wstring& bundleName, int side);

// SharedGetPortApplications for one port: what the call did, and the rows it gave.
CallOutcome ReadOpenApplications(const std::wstring& port, std::vector<OpenApplication>* apps);

}  // namespace lumbrexctl
