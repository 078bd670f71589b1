// `show`: the configuration read by config_model as the tree of text
// (text_output.cpp) or as one JSON object (json_output.cpp). Both say the same
// about every part that could not be read.
#pragma once
#include <string>

#include "config_model.h"

namespace lumbrexctl {

std::wstring ShowText(const Configuration& config);
std::string ShowJson(const Configuration& config);  // UTF-8, ends with a line end

// "code 2: File not found."
std::wstring CodeText(unsigned int code);
// Why the applications holding a shared port could not be asked for:
// "driver not available (code 2)" when the driver's device does not open
// (the export reports the open's error code); other failures with their code.
std::wstring OpenByProblem(unsigned int code);

}  // namespace lumbrexctl
