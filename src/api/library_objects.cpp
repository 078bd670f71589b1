#include "api/library_objects.h"

#include "common/names.h"

namespace lumbrex {

const std::wstring g_rootKeyPath = kConfigRootKeyPath;
const std::wstring g_sharedPortsKeyPath = kSharedPortsKeyPath;

}  // namespace lumbrex
