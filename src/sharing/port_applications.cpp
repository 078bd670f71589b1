// SharedGetPortApplications: which applications hold a shared port open.
#include "lumbrex.h"

#include "api/arguments.h"
#include "api/export_guard.h"
#include "api/last_error.h"
#include "api/raii.h"
#include "api/result_array.h"
#include "api/variant_values.h"
#include "sharing/driver_query.h"
#include "sharing/record_walk.h"

namespace lumbrex {
namespace {

// One row: name (VT_BSTR), Data0, Data2, Data1 (VT_I4): not in offset order.
void AddRow(ResultArray* outer, const PortApplication& app) {
  ResultArray row(VT_VARIANT);
  UniqueVariant cell;
  cell->vt = VT_BSTR;
  cell->bstrVal = SysAllocStringLen(app.name.data(), static_cast<UINT>(app.name.size()));
  row.Add(cell.get());
  const uint32_t numbers[3] = {app.data0, app.data2, app.data1};
  for (uint32_t number : numbers) {
    VARIANT value = I4(static_cast<int32_t>(number));
    row.Add(&value);
  }
  UniqueVariant rowValue;  // VT_EMPTY when the row could not be made, as a failed element of any list
  row.CopyTo(rowValue.get());
  outer->Add(rowValue.get());
}  // the row builder is destroyed before the next row

}  // namespace
}  // namespace lumbrex

extern "C" int LUMBREX_CALL SharedGetPortApplications(VARIANT port, VARIANT* result) {
  using namespace lumbrex;
  return RunExport([&]() -> bool {
    // The result must be a valid VARIANT; a null pointer is refused with
    // nothing written (docs/behaviour-details.md).
    if (result == nullptr) return RefuseArgument();
    // Cleared before anything else. A VARIANT that cannot be cleared (locked
    // array, bad type) is not a valid VARIANT: refused with 13.
    if (!ClearOutput(result, Uncleared::kRefuse)) return RefuseArgument();
    Text portName;
    if (!TakeStringArgument(&port, &portName)) return RefuseArgument();
    bool answered = false;
    std::vector<uint8_t> answer;
    const uint32_t openError = QuerySharingDriver(&answered, &answer);
    if (openError != 0) {
      SetLastErrorCode(openError);
      return false;
    }
    if (!answered) return true;  // both counted attempts failed: VT_EMPTY, code unchanged
    const std::vector<PortApplication> listed = WalkPortApplicationRecords(answer.data(), answer.size(), portName);
    if (listed.empty()) return true;
    ResultArray outer(VT_VARIANT);
    for (const PortApplication& app : listed) AddRow(&outer, app);
    return outer.CopyTo(result) || FailWithCode(kOutOfMemoryCode);
  });
}
