// `show` as a tree of text (docs/lumbrexctl.md, "show").
#include "console.h"
#include "show.h"

#include "common/names.h"

namespace lumbrexctl {

std::wstring CodeText(unsigned int code) { return L"code " + Num(code) + L": " + SystemMessage(code); }

bool DriverNotAvailable(unsigned int code) { return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND; }

std::wstring OpenByProblem(unsigned int code) {
  if (DriverNotAvailable(code)) return L"driver not available (code " + Num(code) + L")";
  return L"unreadable (" + CodeText(code) + L")";
}

namespace {

std::wstring Joined(const std::vector<std::wstring>& items) {
  std::wstring text;
  for (size_t i = 0; i < items.size(); ++i) text += (i ? L", " : L"") + Printable(items[i]);
  return text;
}

std::wstring SharePermissionsLine(const PortInfo& port) {
  if (port.shareApps.empty()) {
    if (port.shareRefused) return L"not readable through the library, which refuses the port name (" +
                                  CodeText(port.shareCode) + L")";
    // No key at all is no permissions stored yet.
    if (port.shareCode == 0 || port.shareCode == ERROR_FILE_NOT_FOUND) return L"none";
    return L"unreadable (" + CodeText(port.shareCode) + L")";
  }
  std::vector<std::wstring> pairs;
  for (size_t i = 0; i < port.shareApps.size(); ++i)
    pairs.push_back(port.shareApps[i] + L"=" + (i < port.shareValues.size() ? port.shareValues[i] : L"?"));
  return Joined(pairs);
}

std::wstring OpenByLine(const PortInfo& port) {
  if (!port.appsRead) return OpenByProblem(port.appsCode);
  if (port.apps.empty()) return L"no application";
  std::vector<std::wstring> apps;
  for (const OpenApplication& app : port.apps)
    apps.push_back(app.name + L" (" + Num(app.data0) + L" " + Num(app.data2) + L" " + Num(app.data1) + L")");
  return Joined(apps);
}

std::wstring ParametersText(const PortInfo& port) {
  if (port.dynamic) return L"dynamic";
  if (port.unknownParity) return port.parameters + L" (the stored parity letter is none of N, O, E, M, S)";
  if (!port.parameters.empty()) return port.parameters;
  if (port.dynamicCode != 0)
    return L"dynamic or unreadable (BundleRealPortAreParametersDynamic refuses the port name: " +
           CodeText(port.dynamicCode) + L")";
  return L"parameters unreadable";
}

std::wstring PortLines(const PortInfo& port, const std::wstring& indent) {
  std::wstring out = indent + Printable(port.name) + L"  " + (port.typeRead ? TypeName(port.type) : L"type unreadable");
  if (port.main) out += L"  main";
  out += L"  ";
  out += ParametersText(port);
  out += L"  perms ";
  out += port.permsRead ? Num(port.perms) : L"unreadable (code " + Num(port.permsCode) + L")";
  out += L"\n";
  if (port.type == LUMBREX_PORT_SHARED) {
    out += indent + L"  share permissions: " + SharePermissionsLine(port) + L"\n";
    out += indent + L"  open by: " + OpenByLine(port) + L"\n";
  }
  return out;
}

std::wstring SideLines(const SideInfo& info, const wchar_t* label) {
  std::wstring out = L"    " + std::wstring(label) + L" (main: ";
  if (!info.mainRead) out += L"unreadable, " + CodeText(info.mainCode);
  else out += info.main.empty() ? L"none" : Printable(info.main);
  out += L")";
  if (info.portsCode != 0) return out + L": ports unreadable (" + CodeText(info.portsCode) + L")\n";
  if (info.ports.empty()) out += L": no ports";
  out += L"\n";
  for (const PortInfo& port : info.ports) out += PortLines(port, L"      ");
  return out;
}

}  // namespace

std::wstring PortListText(const SideInfo& side) {
  std::wstring out;
  for (const PortInfo& port : side.ports) out += PortLines(port, L"");
  return out;
}

std::wstring ShowText(const Configuration& config) {
  std::wstring out = L"Options\n";
  for (int i = 0; i < kOptionCount; ++i) {
    out += L"  " + Options()[i].name + L": ";
    if (config.optionRead[i]) out += config.optionValue[i] != 0 ? L"on" : L"off";
    else out += L"not set (" + CodeText(config.optionCode[i]) + L")";
    out += L"\n";
  }
  out += L"Real ports: ";
  if (!config.realPortsRead) out += L"unreadable (" + CodeText(config.realPortsCode) + L")";
  else out += config.realPorts.empty() ? L"none" : Joined(config.realPorts);
  out += L"\nBundles";
  if (config.bundlesCode != 0) {
    if (config.bundlesCode == ERROR_FILE_NOT_FOUND) return out + L": none (no configuration yet)\n";
    return out + L": unreadable (" + CodeText(config.bundlesCode) + L")\n";
  }
  if (config.bundles.empty()) out += L": none";
  out += L"\n";
  for (const BundleInfo& bundle : config.bundles)
    out += L"  " + Printable(bundle.name) + L"\n" +
           SideLines(bundle.sides[LUMBREX_SIDE_IN], lumbrex::SideKeyName(LUMBREX_SIDE_IN)) +
           SideLines(bundle.sides[LUMBREX_SIDE_OUT], lumbrex::SideKeyName(LUMBREX_SIDE_OUT));
  return out;
}

}  // namespace lumbrexctl
