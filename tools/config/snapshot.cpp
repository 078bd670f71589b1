#include "snapshot.h"

#include "common/text.h"
#include "console.h"
#include "params/parameter_text.h"
#include "variants.h"

namespace lumbrexctl {

const std::array<OptionInfo, kOptionCount>& Options() {
  using Get = int(LUMBREX_CALL*)(unsigned int*);
  using Set = int(LUMBREX_CALL*)(int);
  static const Get kGetters[kOptionCount] = {OptionGetPortsAutoOpen, OptionGetIgnoreErrorsOnPortCreation,
                                             OptionGetPortToPrint, OptionGetIfSendToMainSet,
                                             OptionGetBaudrateEmulation};
  static const Set kSetters[kOptionCount] = {OptionSetAutoOpenPort, OptionSetIgnoreErrors, OptionSetPortToPrint,
                                             OptionSetOnlyMainPortCanSend, OptionSetBaudrateEmulation};
  static const std::array<OptionInfo, kOptionCount> options = [] {
    std::array<OptionInfo, kOptionCount> all;
    for (int i = 0; i < kOptionCount; ++i) {
      const config::OptionWords& words = config::kOptionWords[i];
      all[i] = OptionInfo{i, Wide(words.word), Wide(words.setter), Wide(words.getter), kGetters[i], kSetters[i]};
    }
    return all;
  }();
  return options;
}

std::wstring TypeName(int type) {
  const char* word = config::PortTypeWordOf(type);
  return word != nullptr ? Wide(word) : L"unknown";
}

CallOutcome ReadOpenApplications(const std::wstring& port, std::vector<OpenApplication>* apps) {
  const TextArg name(port);
  UniqueVariant rows;
  const CallOutcome outcome =
      Call(L"SharedGetPortApplications", [&] { return SharedGetPortApplications(name.get(), rows.get()); });
  if (outcome.result != 1) return outcome;
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
  return outcome;
}

namespace {

void ReadParameters(const TextArg& bundle, int side, const TextArg& port, PortInfo* info) {
  const CallOutcome dynamic = Call(L"BundleRealPortAreParametersDynamic", [&] {
    return BundleRealPortAreParametersDynamic(bundle.get(), side, port.get());
  });
  info->dynamic = dynamic.result == 1;
  if (info->dynamic) return;
  // The only failure it stores is a port name it refuses (13), which the
  // parameter read takes; 0 without a code is "not dynamic".
  if (dynamic.StoredCode()) info->dynamicCode = dynamic.code;
  // The parser leaves the parity unwritten for a letter it does not know, so
  // one it cannot have written stays to tell it; flow likewise when absent.
  int baud = 0, parity = -1, data = 0, stop = 0, flow = 0;
  const CallOutcome read = Call(L"BundleGetRealPortParameters", [&] {
    return BundleGetRealPortParameters(bundle.get(), side, port.get(), &baud, &parity, &data, &stop, &flow);
  });
  if (read.result != 1) return;
  info->unknownParity = parity < LUMBREX_PARITY_NONE || parity > LUMBREX_PARITY_SPACE;
  info->parameters = lumbrex::FormatPortParameters(baud, parity, data, stop, flow);  // "?" for an unknown parity
}

void ReadSharing(const TextArg& bundle, int side, const TextArg& port, PortInfo* info) {
  // The export reports a key it cannot read as success with no arrays; only a
  // stored code tells that apart from a port with no permissions.
  UniqueVariant apps, values;
  const CallOutcome shared = Call(L"SharedPortGetAppPermissions", [&] {
    return SharedPortGetAppPermissions(bundle.get(), side, port.get(), apps.get(), values.get());
  });
  if (shared.result != 1) {
    info->shareRefused = true;
    info->shareCode = shared.code;
  } else if (apps->vt == VT_EMPTY) {
    info->shareCode = shared.StoredCode() ? shared.code : 0;
  } else {
    info->shareApps = StringsOf(*apps.get());
    info->shareValues = StringsOf(*values.get());
  }
  const CallOutcome open = ReadOpenApplications(info->name, &info->apps);
  if (open.result == 1) info->appsRead = true;
  else info->appsCode = open.code;
}

PortInfo ReadPort(const std::wstring& bundleName, int side, const std::wstring& portName, const std::wstring& main) {
  PortInfo info;
  info.name = portName;
  info.main = !main.empty() && lumbrex::EqualsIgnoringAsciiCase(main, portName);
  const TextArg bundle(bundleName), port(portName);
  UniqueVariant type;
  if (Call(L"BundleGetPortType", [&] { return BundleGetPortType(bundle.get(), side, port.get(), type.get()); })
          .result == 1) {
    info.typeRead = true;
    info.type = NumberOf(*type.get()).value_or(0);
  }
  ReadParameters(bundle, side, port, &info);
  UniqueVariant mask;
  const CallOutcome perms = Call(L"BundlePortGetPermissions", [&] {
    return BundlePortGetPermissions(bundle.get(), side, port.get(), mask.get());
  });
  if (perms.result == 1) {
    info.permsRead = true;
    info.perms = NumberOf(*mask.get()).value_or(0);
  } else {
    info.permsCode = perms.code;
  }
  if (info.type == LUMBREX_PORT_SHARED) ReadSharing(bundle, side, port, &info);
  return info;
}

}  // namespace

SideInfo ReadSide(const std::wstring& bundleName, int side) {
  SideInfo info;
  const TextArg bundle(bundleName);
  UniqueVariant main, ports;
  const CallOutcome mainRead = Call(L"BundleGetMainPortForSide", [&] {
    return BundleGetMainPortForSide(bundle.get(), side, main.get());
  });
  if (mainRead.result == 1) {
    info.mainRead = true;
    info.main = TextOf(*main.get()).value_or(std::wstring());
  } else {
    info.mainCode = mainRead.code;
  }
  const CallOutcome portsRead = Call(L"GetPortsNamesByBundleAndSide", [&] {
    return GetPortsNamesByBundleAndSide(bundle.get(), side, ports.get());
  });
  if (portsRead.result == 1) {
    for (const std::wstring& port : StringsOf(*ports.get()))
      info.ports.push_back(ReadPort(bundleName, side, port, info.main));
  } else {
    info.portsCode = portsRead.code;
  }
  return info;
}

Configuration ReadConfiguration() {
  Configuration config;
  for (int i = 0; i < kOptionCount; ++i) {
    unsigned int value = 0;
    const CallOutcome read = Call(Options()[i].getterName.c_str(), [&] { return Options()[i].get(&value); });
    if (read.result == 1) {
      config.optionRead[i] = true;
      config.optionValue[i] = value;
    } else {
      config.optionCode[i] = read.code;
    }
  }
  UniqueVariant real;
  const CallOutcome realRead = Call(L"GetRealPortsList", [&] { return GetRealPortsList(real.get()); });
  if (realRead.result == 1) {
    config.realPortsRead = true;
    config.realPorts = StringsOf(*real.get());
  } else {
    config.realPortsCode = realRead.code;
  }
  UniqueVariant names;
  const CallOutcome bundlesRead = Call(L"GetBundlesNames", [&] { return GetBundlesNames(names.get()); });
  if (bundlesRead.result != 1) {
    config.bundlesCode = bundlesRead.code;
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
