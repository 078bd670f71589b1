// The five bundle and port queries, read straight from the registry.
#include "lumbrex.h"

#include <vector>

#include "api/arguments.h"
#include "api/export_guard.h"
#include "api/last_error.h"
#include "api/result_array.h"
#include "config/layout.h"
#include "config/layout_rules.h"

using namespace lumbrex;

namespace {

// One BSTR per entry, in list order; the HRESULT of Add is ignored (a failed
// element is missing or a null string).
void FillArray(const std::vector<Text>& list, ResultArray* array) {
  for (const Text& entry : list) array->Add(entry.c_str());
}

// The list into the output, as a copy of the builder's array (PlaceCopy) or as
// that very array (PlaceDetached). When no array at all could be made, or its
// copy failed, the output stays VT_EMPTY and the call fails with
// ERROR_NOT_ENOUGH_MEMORY. The caller gets the same unlocked, lower-bound-0
// array either way; they differ only in that a copy can still run out of memory.
bool PlaceCopy(const std::vector<Text>& list, VARIANT* output) {
  if (list.empty()) return true;  // an empty list leaves the output VT_EMPTY
  ResultArray array(VT_BSTR);
  FillArray(list, &array);
  return array.CopyTo(output) || FailWithCode(kOutOfMemoryCode);
}

bool PlaceDetached(const std::vector<Text>& list, VARIANT* output) {
  if (list.empty()) return true;
  ResultArray array(VT_BSTR);
  FillArray(list, &array);
  return array.Detach(output) || FailWithCode(kOutOfMemoryCode);
}

}  // namespace

extern "C" int LUMBREX_CALL GetBundlesNames(VARIANT* names) {
  return RunExport([&] {
    if (names == nullptr) return RefuseArgument();
    ClearOutput(names, Uncleared::kEmpty);
    std::vector<Text> list;
    const LONG status = ReadBundleNames(&list);
    if (status != ERROR_SUCCESS) return FailWithCode(status);
    return PlaceCopy(list, names);
  });
}

extern "C" int LUMBREX_CALL GetPortsNamesByBundleAndSide(VARIANT bundle, int side, VARIANT* names) {
  return RunExport([&] {
    if (names == nullptr) return RefuseArgument();
    ClearOutput(names, Uncleared::kEmpty);
    Text bundleName;
    if (!TakeBundleSide(&bundle, side, &bundleName)) return RefuseArgument();
    std::vector<Text> list;
    const LONG status = ReadSidePortNames(bundleName, side, &list);
    if (status != ERROR_SUCCESS) return FailWithCode(status);
    return PlaceCopy(list, names);
  });
}

extern "C" int LUMBREX_CALL BundleGetMainPortForSide(VARIANT bundle, int side, VARIANT* port) {
  return RunExport([&] {
    if (port == nullptr) return RefuseArgument();
    ClearOutput(port, Uncleared::kEmpty);
    Text bundleName;
    if (!TakeBundleSide(&bundle, side, &bundleName)) return RefuseArgument();
    Text mainPort;
    const LONG status = ReadMainPort(bundleName, side, &mainPort);
    if (status != ERROR_SUCCESS) return FailWithCode(status);
    // The text up to its first NUL; an empty value gives an empty, non-null BSTR.
    BSTR text = SysAllocStringLen(mainPort.data(), static_cast<UINT>(mainPort.size()));
    if (text == nullptr) return FailWithCode(kOutOfMemoryCode);
    port->vt = VT_BSTR;
    port->bstrVal = text;
    return true;
  });
}

extern "C" int LUMBREX_CALL GetRealPortsList(VARIANT* ports) {
  return RunExport([&] {
    if (ports == nullptr) return RefuseArgument();
    ClearOutput(ports, Uncleared::kEmpty);
    std::vector<Text> list;
    const LONG status = ReadRealPorts(&list);
    if (status != ERROR_SUCCESS) return FailWithCode(status);  // the list is discarded
    // The builder's own array, not a copy: once the serial-device map has been read, handing
    // the ports over can no longer fail for want of memory, and no string is copied twice.
    return PlaceDetached(list, ports);
  });
}

extern "C" int LUMBREX_CALL BundleGetPortType(VARIANT bundle, int side, VARIANT port, VARIANT* type) {
  return RunExport([&] {
    // The arguments first; a refused one leaves the output untouched.
    if (type == nullptr) return RefuseArgument();
    Text bundleName, portName;
    if (!TakeBundleSidePort(&bundle, side, &port, &bundleName, &portName)) return RefuseArgument();
    ClearOutput(type, Uncleared::kEmpty);
    Text entry;
    const LONG status = ReadPortEntryText(bundleName, side, portName, &entry);
    if (status != ERROR_SUCCESS) return FailWithCode(status);
    // An entry that starts with none of the kind letters gives VT_INT 0, which
    // is no port type (docs/behaviour-details.md).
    type->vt = VT_INT;
    type->intVal = PortTypeOfEntry(entry);
    return true;
  });
}
