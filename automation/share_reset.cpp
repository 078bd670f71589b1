#include "share_reset.h"

#include <lumbrex.h>

#include <deque>

#include "api/raii.h"
#include "results.h"

namespace lumbrex_automation {

HRESULT ResetShares(Operation& op, const VARIANT& bundle, int side, const VARIANT& port) {
  lumbrex::UniqueVariant apps, values, list;
  // No permissions key reads as no application: nothing to reset.
  HRESULT hr = op.Read([&] { return ::SharedPortGetAppPermissions(bundle, side, port, apps.get(), values.get()); });
  if (SUCCEEDED(hr)) hr = ListResult(apps, list.get());
  if (FAILED(hr)) return hr;
  std::deque<lumbrex::UniqueVariant> names;
  LONG low = 0, high = -1;
  SafeArrayGetLBound(list->parray, 1, &low);
  SafeArrayGetUBound(list->parray, 1, &high);
  for (LONG i = low; i <= high; ++i)
    if (FAILED(hr = SafeArrayGetElement(list->parray, &i, names.emplace_back().get()))) return hr;
  for (lumbrex::UniqueVariant& name : names) op.Name(*name.get(), L"stored application", NameKind::kApplication);
  for (lumbrex::UniqueVariant& name : names)
    if (FAILED(hr = op.Run([&] { return ::SharedSetDefaultPermissions(bundle, side, port, *name.get()); }))) return hr;
  return S_OK;
}

}  // namespace lumbrex_automation
