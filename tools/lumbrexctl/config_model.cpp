#include "config_model.h"

#include "common/text.h"
#include "params/parameter_text.h"
#include "variants.h"

namespace lumbrexctl {

const OptionInfo kOptions[kOptionCount] = {
    {L"auto-open", OptionGetPortsAutoOpen, OptionSetAutoOpenPort, L"OptionSetAutoOpenPort",
     L"OptionGetPortsAutoOpen"},
    {L"ignore-errors", OptionGetIgnoreErrorsOnPortCreation, OptionSetIgnoreErrors, L"OptionSetIgnoreErrors",
     L"OptionGetIgnoreErrorsOnPortCreation"},
    {L"print", OptionGetPortToPrint, OptionSetPortToPrint, L"OptionSetPortToPrint",
     L"OptionGetPortToPrint"},
    {L"main-only", OptionGetIfSendToMainSet, OptionSetOnlyMainPortCanSend, L"OptionSetOnlyMainPortCanSend",
     L"OptionGetIfSendToMainSet"},
    {L"baudrate-emulation", OptionGetBaudrateEmulation, OptionSetBaudrateEmulation, L"OptionSetBaudrateEmulation",
     L"OptionGetBaudrateEmulation"},
};

const wchar_t* TypeName(int type) {
  switch (type) {
    case kRealPort: return L"real";
    case kVirtualPort: return L"virtual";
    case kSharedPort: return L"shared";
    case kSwitcherPort: return L"switcher";
    default: return L"unknown";
  }
}

int ReadOpenApplications(const std::wstring& port, std::vector<OpenApplication>* apps) {
  const TextArg name(port);
  UniqueVariant rows;
  const int result = SharedGetPortApplications(name.get(), rows.get());
  if (result != 1) return result;
  // Each row is {name, Data0, Data2, Data1}; a row of another shape is no application.
  ForEachElement(*rows.get(), [&](const VARIANT& row) {
    OpenApplication app;
    int cell = 0;
    ForEachElement(row, [&](const VARIANT& value) {
      if (cell == 0) app.name = TextOf(value).value_or(std::wstring());
      if (cell == 1) app.data0 = NumberOf(value).value_or(0);
      if (cell == 2) app.data2 = NumberOf(value).value_or(0);
      if (cell == 3) app.data1 = NumberOf(value).value_or(0);
      ++cell;
    });
    if (cell == 4) apps->push_back(std::move(app));
  });
  return result;
}

namespace {

std::wstring ParameterText(const TextArg& bundle, int side, const TextArg& port) {
  int baud = 0, parity = 0, data = 0, stop = 0, flow = 0;
  if (BundleGetRealPortParameters(bundle.get(), side, port.get(), &baud, &parity, &data, &stop, &flow) != 1)
    return std::wstring();
  return lumbrex::FormatPortParameters(baud, parity, data, stop, flow);
}

void ReadSharing(const TextArg& bundle, int side, const TextArg& port, PortInfo* info) {
  // The export reports a key it cannot read as success with no arrays; only a
  // changed last-error code tells that apart from a port with no permissions.
  const unsigned int before = QKGetLastError();
  UniqueVariant apps, values;
  SharedPortGetAppPermissions(bundle.get(), side, port.get(), apps.get(), values.get());
  if (apps->vt == VT_EMPTY) {
    const unsigned int code = QKGetLastError();
    info->shareCode = code != before ? code : 0;
  } else {
    info->shareApps = StringsOf(*apps.get());
    info->shareValues = StringsOf(*values.get());
  }
  if (ReadOpenApplications(info->name, &info->apps) == 1) info->appsRead = true;
  else info->appsCode = QKGetLastError();
}

PortInfo ReadPort(const std::wstring& bundleName, int side, const std::wstring& portName, const std::wstring& main) {
  PortInfo info;
  info.name = portName;
  info.main = !main.empty() && lumbrex::EqualsIgnoringAsciiCase(main, portName);
  const TextArg bundle(bundleName), port(portName);
  UniqueVariant type;
  if (BundleGetPortType(bundle.get(), side, port.get(), type.get()) == 1) {
    info.typeRead = true;
    info.type = NumberOf(*type.get()).value_or(0);
  }
  if (BundleRealPortAreParametersDynamic(bundle.get(), side, port.get()) == 1) info.dynamic = true;
  else info.parameters = ParameterText(bundle, side, port);
  UniqueVariant mask;
  if (BundlePortGetPermissions(bundle.get(), side, port.get(), mask.get()) == 1) {
    info.permsRead = true;
    info.perms = NumberOf(*mask.get()).value_or(0);
  } else {
    info.permsCode = QKGetLastError();
  }
  if (info.type == kSharedPort) ReadSharing(bundle, side, port, &info);
  return info;
}

}  // namespace

SideInfo ReadSide(const std::wstring& bundleName, int side) {
  SideInfo info;
  const TextArg bundle(bundleName);
  UniqueVariant main, ports;
  if (BundleGetMainPortForSide(bundle.get(), side, main.get()) == 1) {
    info.mainRead = true;
    info.main = TextOf(*main.get()).value_or(std::wstring());
  } else {
    info.mainCode = QKGetLastError();
  }
  if (GetPortsNamesByBundleAndSide(bundle.get(), side, ports.get()) == 1) {
    for (const std::wstring& port : StringsOf(*ports.get()))
      info.ports.push_back(ReadPort(bundleName, side, port, info.main));
  } else {
    info.portsCode = QKGetLastError();
  }
  return info;
}

Configuration ReadConfiguration() {
  Configuration config;
  for (int i = 0; i < kOptionCount; ++i) {
    unsigned int value = 0;
    if (kOptions[i].get(&value) == 1) {
      config.optionRead[i] = true;
      config.optionValue[i] = value;
    } else {
      config.optionCode[i] = QKGetLastError();
    }
  }
  UniqueVariant real;
  if (GetRealPortsList(real.get()) == 1) {
    config.realPortsRead = true;
    config.realPorts = StringsOf(*real.get());
  } else {
    config.realPortsCode = QKGetLastError();
  }
  UniqueVariant names;
  if (GetBundlesNames(names.get()) != 1) {
    config.bundlesCode = QKGetLastError();
    return config;
  }
  for (const std::wstring& name : StringsOf(*names.get())) {
    BundleInfo bundle;
    bundle.name = name;
    for (int side = 0; side < 2; ++side) bundle.sides[side] = ReadSide(name, side);
    config.bundles.push_back(std::move(bundle));
  }
  return config;
}

}  // namespace lumbrexctl
