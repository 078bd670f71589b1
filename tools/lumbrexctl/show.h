// `show`: the configuration read by snapshot.h as the tree of text
// (text_output.cpp) or as one JSON object (json_output.cpp). Both say the same
// about every part that could not be read.
#pragma once
#include <optional>
#include <string>

#include "snapshot.h"

namespace lumbrexctl {

std::wstring ShowText(const Configuration& config);
std::string ShowJson(const Configuration& config);  // UTF-8, ends with a line end

// `port list`: the side's ports as `show` prints them, one port a line (and
// the share lines of a shared port); as JSON, {"bundle", "side", "main", "ports"}.
std::wstring PortListText(const SideInfo& side);
std::string PortListJson(const std::wstring& bundle, const wchar_t* sideWord, const SideInfo& side);
// `bundle list --json`: {"bundles": [names]}.
std::string BundleListJson(const std::vector<std::wstring>& names);
// `option get NAME --json`: {"name", "on"}.
// {"name", "on"}; "on" is null for an option the service has not stored.
std::string OptionJson(const OptionInfo& option, std::optional<bool> on);

// "code 2: File not found."
std::wstring CodeText(unsigned int code);
// True when the export's code says the driver's device did not open (the
// export reports the open's error code): no port-sharing driver is loaded.
bool DriverNotAvailable(unsigned int code);
// Why the applications holding a shared port could not be asked for, in the
// text tree: "driver not available (code 2)"; other failures with their code.
std::wstring OpenByProblem(unsigned int code);

}  // namespace lumbrexctl
