#include "params/dll_test_support.h"

namespace paramstest {

const std::wstring kRoot = L"Software\\OSTREL Software\\Lumbrex";
const std::wstring kBundle = L"ParamsDllBundle";

void ParamsDllTest::Entry(const std::wstring& port, const std::wstring& text, const wchar_t* side) {
  ASSERT_EQ(testsupport::SetString(SideKey(side), port, text), ERROR_SUCCESS);
}

VARIANT ParamsDllTest::Str(const std::wstring& text) {
  testsupport::Var& v = owned_.emplace_back();
  *v = testsupport::Bstr(text);
  return v.copy();
}

void ParamsDllTest::PresetLastError13() {
  // Side 2 is refused before anything is read (Part 4.2).
  VARIANT bundle = testsupport::NullBstr(), port = testsupport::NullBstr();
  int out[5] = {};
  ASSERT_EQ(BundleGetRealPortParameters(bundle, 2, port, &out[0], &out[1], &out[2], &out[3], &out[4]), 0);
  ASSERT_EQ(QKGetLastError(), 13u);
}

void ParamsDllTest::PresetLastError2() {
  // No such bundle: the permission getter reports the registry's code.
  testsupport::Var missing;
  *missing = testsupport::Bstr(L"NoSuchParamsBundle");
  VARIANT result;
  VariantInit(&result);
  ASSERT_EQ(BundlePortGetPermissions(missing.copy(), 0, testsupport::NullBstr(), &result), 0);
  ASSERT_EQ(QKGetLastError(), 2u);
}

}  // namespace paramstest
