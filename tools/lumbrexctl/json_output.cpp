// `show --json`: the same content as the text tree, as one JSON object whose
// members keep the tree's order (docs/lumbrexctl.md, "show").
#include <cwchar>

#include "console.h"
#include "json_text.h"
#include "show.h"

namespace lumbrexctl {
namespace {

Json Error(unsigned int code, const std::wstring& message) {
  return Json{{"code", code}, {"message", Wtf8(message)}};
}
Json Error(unsigned int code) { return Error(code, SystemMessage(code)); }

// The export gives share permission values as "%d" text.
Json ShareValue(const std::wstring& text) {
  wchar_t* end = nullptr;
  const long value = std::wcstol(text.c_str(), &end, 10);
  if (text.empty() || end == nullptr || *end != L'\0') return nullptr;
  return value;
}

Json PortJson(const PortInfo& port) {
  Json out;
  out["name"] = Wtf8(port.name);
  out["type"] = port.typeRead ? Json(Wtf8(TypeName(port.type))) : Json(nullptr);
  out["main"] = port.main;
  // A stored parity letter the library does not know is "?" in the text.
  if (port.dynamic) out["parameters"] = "dynamic";
  else out["parameters"] = port.parameters.empty() ? Json(nullptr) : Json(Wtf8(port.parameters));
  if (port.parameters.empty() && port.dynamicCode != 0) out["parametersError"] = Error(port.dynamicCode);
  out["permissions"] = port.permsRead ? Json(port.perms) : Json(nullptr);
  if (port.type != LUMBREX_PORT_SHARED) return out;
  // Keyed by the exact name: registry value names differ, and so do their
  // WTF-8 forms, lone surrogates included.
  Json share = Json::object();
  for (size_t i = 0; i < port.shareApps.size(); ++i)
    share[Wtf8(port.shareApps[i])] = i < port.shareValues.size() ? ShareValue(port.shareValues[i]) : Json(nullptr);
  const bool shareRead = port.shareApps.size() > 0 || port.shareCode == 0 || port.shareCode == ERROR_FILE_NOT_FOUND;
  out["share"] = shareRead ? share : Json(nullptr);
  if (!shareRead) out["shareError"] = Error(port.shareCode);
  if (port.appsRead) {
    Json apps = Json::array();
    for (const OpenApplication& app : port.apps)
      apps.push_back(Json{{"name", Wtf8(app.name)}, {"data0", app.data0}, {"data1", app.data1}, {"data2", app.data2}});
    out["openBy"] = apps;
  } else {
    out["openBy"] = nullptr;
    // The code is its own member: the message is the system's text, led by
    // what it means here when the driver's device did not open.
    const unsigned int code = port.appsCode;
    out["openByError"] =
        DriverNotAvailable(code) ? Error(code, L"driver not available: " + SystemMessage(code)) : Error(code);
  }
  return out;
}

Json SideJson(const SideInfo& side) {
  Json out;
  out["main"] = side.mainRead ? Json(Wtf8(side.main)) : Json(nullptr);
  if (side.portsCode != 0) out["portsError"] = Error(side.portsCode);
  Json ports = Json::array();
  for (const PortInfo& port : side.ports) ports.push_back(PortJson(port));
  out["ports"] = ports;
  return out;
}

}  // namespace

std::string PortListJson(const std::wstring& bundle, const wchar_t* sideWord, const SideInfo& side) {
  Json out;
  out["bundle"] = Wtf8(bundle);
  out["side"] = Wtf8(sideWord);
  const Json members = SideJson(side);
  for (auto member = members.begin(); member != members.end(); ++member) out[member.key()] = member.value();
  return JsonText(out);
}

std::string BundleListJson(const std::vector<std::wstring>& names) {
  Json bundles = Json::array();
  for (const std::wstring& name : names) bundles.push_back(Wtf8(name));
  return JsonText(Json{{"bundles", bundles}});
}

std::string OptionJson(const OptionInfo& option, std::optional<bool> on) {
  return JsonText(Json{{"name", Wtf8(option.name)}, {"on", on ? Json(*on) : Json(nullptr)}});
}

std::string ShowJson(const Configuration& config) {
  Json out;
  Json options = Json::object(), optionErrors = Json::object();
  for (int i = 0; i < kOptionCount; ++i) {
    const std::string name = Wtf8(Options()[i].name);
    options[name] = config.optionRead[i] ? Json(config.optionValue[i] != 0) : Json(nullptr);
    if (!config.optionRead[i]) optionErrors[name] = Error(config.optionCode[i]);
  }
  out["options"] = options;
  out["optionErrors"] = optionErrors;
  if (config.realPortsRead) {
    Json real = Json::array();
    for (const std::wstring& port : config.realPorts) real.push_back(Wtf8(port));
    out["realPorts"] = real;
  } else {
    out["realPorts"] = nullptr;
    out["realPortsError"] = Error(config.realPortsCode);
  }
  Json bundles = Json::array();
  for (const BundleInfo& bundle : config.bundles)
    bundles.push_back(
        Json{{"name", Wtf8(bundle.name)}, {"in", SideJson(bundle.sides[0])}, {"out", SideJson(bundle.sides[1])}});
  out["bundles"] = bundles;
  // No configuration root yet is no bundles, not an error.
  if (config.bundlesCode != 0 && config.bundlesCode != ERROR_FILE_NOT_FOUND)
    out["bundlesError"] = Error(config.bundlesCode);
  return JsonText(out);
}

}  // namespace lumbrexctl
