// 5. The automation object Lumbrex.Control against the flat exports it
// wraps: a command, a registry query and a list, each called three ways in
// turn (the export, the object's interface table, IDispatch::Invoke as a
// script calls it). Single-threaded: the object's calls take turns on a
// process-wide mutex, which nothing here holds between calls.
#include <windows.h>

#include <cstring>
#include <cwchar>
#include <functional>
#include <string>

#include "automation_object.h"
#include "import_hooks.h"
#include "launcher.h"
#include "registry_baseline.h"
#include "report_format.h"
#include "sections.h"

namespace bench {
namespace {

using lumbrex::UniqueBstr;
using lumbrex::UniqueVariant;

// A call that tells whether it did what it should.
using Call = std::function<bool()>;

// Calls lumbrex.dll makes to its wrapped imports, per call.
double ImportsPerCall(HMODULE module, const Call& call, int calls) {
  PatchImports(module);
  ResetCallStats();
  for (int i = 0; i < calls; ++i) call();
  UnpatchImports(module);
  long long total = 0;
  for (const CallStat* stat : AllCallStats()) total += stat->calls;
  return double(total) / calls;
}

// Invoke's calls split by the imports of lumbrex-automation.dll.
void ProfileInvoke(HMODULE object, const char* exportName, const Call& invoke, int calls, ObjectRow* row) {
  PatchImports(object);
  ResetCallStats();
  const int64_t t0 = Now();
  for (int i = 0; i < calls; ++i) invoke();
  const double total = Seconds(Now() - t0);
  UnpatchImports(object);
  auto seconds = [](const char* name) { return Seconds(FindCallStat(name)->ticks); };
  row->profiled = total / calls;
  row->inDispInvoke = seconds("DispInvoke") / calls;
  row->inExport = seconds(exportName) / calls;
  long long oleCalls = 0;
  double ole = 0;
  for (const char* name :
       {"SafeArrayCreateVector", "SafeArrayGetElement", "SafeArrayPtrOfIndex", "VariantClear", "SysAllocString"}) {
    oleCalls += FindCallStat(name)->calls;
    ole += seconds(name);
  }
  row->inOle = ole / calls;
  row->oleCalls = double(oleCalls) / calls;
}

// The three ways in turn, `perSample` calls each per timed sample; `row`
// names the operation.
ObjectRow Compare(const Library& lib, HMODULE object, ObjectRow row, int rounds, int perSample, const Call& flat,
                  const Call& table, const Call& invoke, const std::function<void()>& after) {
  row.rounds = rounds;
  row.callsPerSample = perSample;
  int failed = 0;
  auto sample = [&](const Call& call) {
    return [&, call] {
      for (int i = 0; i < perSample; ++i) failed += !call();
    };
  };
  const Turns t = TimeInTurn(rounds, {sample(flat), sample(table), sample(invoke)}, after);
  if (failed > 0) Fail("%s: %d calls failed", row.operation.c_str(), failed);
  row.flat = t.median[0] / perSample;
  row.table = t.median[1] / perSample;
  row.invoke = t.median[2] / perSample;
  row.tableRatio = t.ratio[1];
  row.invokeRatio = t.ratio[2];
  row.invokeRatios = t.ratios[2];
  std::vector<double> invokeOwn, methodOwn;
  for (int i = 0; i < rounds; ++i) {
    invokeOwn.push_back((t.times[2][i] - t.times[1][i]) / perSample);
    methodOwn.push_back((t.times[1][i] - t.times[0][i]) / perSample);
  }
  row.invokeOwn = Median(invokeOwn);
  row.methodOwn = Median(methodOwn);
  row.flatImports = ImportsPerCall(lib.module, flat, perSample);
  after();
  row.invokeImports = ImportsPerCall(lib.module, invoke, perSample);
  after();
  ProfileInvoke(object, row.operation.c_str(), invoke, perSample, &row);
  after();
  return row;
}

// The names of a VT_ARRAY|VT_BSTR (the export's) and a VT_ARRAY|VT_VARIANT
// of VT_BSTR (the object's) are the same `count` names in the same order.
bool SameNames(const VARIANT& flat, const VARIANT& object, LONG count) {
  if (flat.vt != (VT_ARRAY | VT_BSTR) || object.vt != (VT_ARRAY | VT_VARIANT)) return false;
  LONG flatHigh = -1, objectLow = -1, objectHigh = -1;
  SafeArrayGetUBound(flat.parray, 1, &flatHigh);
  SafeArrayGetLBound(object.parray, 1, &objectLow);
  SafeArrayGetUBound(object.parray, 1, &objectHigh);
  if (flatHigh + 1 != count || objectLow != 0 || objectHigh + 1 != count) return false;
  for (LONG i = 0; i < count; ++i) {
    UniqueBstr name;
    UniqueVariant item;
    if (FAILED(SafeArrayGetElement(flat.parray, &i, name.put())) ||
        FAILED(SafeArrayGetElement(object.parray, &i, item.get())) || item->vt != VT_BSTR ||
        std::wcscmp(name.get(), item->bstrVal) != 0)
      return false;
  }
  return true;
}

// The object's parameter array: five VT_I4 equal to `expected`.
bool SameParameters(const VARIANT& array, const int* expected) {
  if (array.vt != (VT_ARRAY | VT_VARIANT)) return false;
  for (LONG i = 0; i < 5; ++i) {
    UniqueVariant item;
    if (FAILED(SafeArrayGetElement(array.parray, &i, item.get())) || item->vt != VT_I4 || item->lVal != expected[i])
      return false;
  }
  return true;
}

ObjectRow Named(const char* operation, std::string setup) {
  ObjectRow row;
  row.operation = operation;
  row.setup = std::move(setup);
  return row;
}

void SetNumber(UniqueVariant& v, VARTYPE vt, int value) {
  v.reset();
  v->vt = vt;
  if (vt == VT_I2)
    v->iVal = SHORT(value);
  else
    v->lVal = value;
}

}  // namespace

namespace {

// One measurement session: the object, the library and the out-VARIANTs of
// the three ways, which each step clears untimed after every call.
struct ObjectBench {
  const Library& lib;
  const Settings& settings;
  ControlObject& control;
  ILumbrexControl* object;
  UniqueVariant flatOut, tableOut, scriptOut;

  void Clear() {
    flatOut.reset();
    tableOut.reset();
    scriptOut.reset();
  }
  ObjectRow Run(ObjectRow row, int rounds, int perSample, const Call& flat, const Call& table, const Call& invoke) {
    return Compare(lib, control.module, std::move(row), rounds, perSample, flat, table, invoke, [this] { Clear(); });
  }

  // A list: GetBundlesNames over N bundles.
  ObjectRow List() {
    WipeRoot();
    const int entries = settings.smoke ? 100 : 1000;
    int bundles = 0;
    GrowBundles(&bundles, entries);
    ScriptCall names(control.dispatch.get(), L"GetBundlesNames", 0);
    if (lib.getBundlesNames(flatOut.get()) != 1 || !names.Run(scriptOut.get()) ||
        !SameNames(*flatOut.get(), *scriptOut.get(), entries))
      Fail("GetBundlesNames through Invoke: not the export's %d names", entries);
    Clear();
    return Run(
        Named("GetBundlesNames", Grouped(entries) + " bundles"), settings.smoke ? 3 : 31, 1,
        [&] { return lib.getBundlesNames(flatOut.get()) == 1; },
        [&] { return object->GetBundlesNames(tableOut.get()) == S_OK; }, [&] { return names.Run(scriptOut.get()); });
  }

  // A registry query: BundleGetRealPortParameters on one entry.
  ObjectRow Query() {
    WipeRoot();
    {
      Key side;
      CreatePath(SidePath(L"Q", LUMBREX_SIDE_IN), &side);
      SetEntry(side.get(), L"COM3", L"r|115200,e,7,2,p|1|1");
    }
    UniqueVariant bundle, port, sideNumber;
    SetText(&bundle, L"Q");
    SetText(&port, L"COM3");
    SetNumber(sideNumber, VT_I4, 0);
    ScriptCall parameters(control.dispatch.get(), L"BundleGetRealPortParameters", 3);
    SetText(&parameters.Variable(0), L"Q");
    SetNumber(parameters.Variable(1), VT_I2, 0);  // a script's small whole number is a 16-bit Integer
    SetText(&parameters.Variable(2), L"COM3");
    int v[5] = {};
    const int expected[5] = {115200, 2, 7, 2, 2};
    auto flatRead = [&] {
      return lib.getRealPortParameters(*bundle.get(), 0, *port.get(), &v[0], &v[1], &v[2], &v[3], &v[4]) == 1;
    };
    if (!flatRead() || std::memcmp(v, expected, sizeof v) != 0 || !parameters.Run(scriptOut.get()) ||
        !SameParameters(*scriptOut.get(), expected))
      Fail("BundleGetRealPortParameters through Invoke: not 115200, 2, 7, 2, 2 like the export");
    Clear();
    return Run(
        Named("BundleGetRealPortParameters", "one port entry (115200, e, 7, 2, p)"), settings.smoke ? 3 : 501, 1,
        flatRead,
        [&] {
          return object->BundleGetRealPortParameters(*bundle.get(), *sideNumber.get(), *port.get(),
                                                     tableOut.get()) == S_OK;
        },
        [&] { return parameters.Run(scriptOut.get()); });
  }

  // A command: GetBundleState against the stand-in service, on the
  // library's one connection. False when the service cannot be reached.
  bool Command(ObjectRow* row) {
    WipeRoot();
    {
      Key state;
      CreatePath(std::wstring(kRoot) + L"\\BenchState", &state);
    }
    lumbrex::service::ServiceProcess service;
    if (!service.Ready()) return Fail("the service did not start: %s", service.Problem().c_str()), false;
    if (lib.connect() != 1) return Fail("ConnectToLocalService failed"), false;
    UniqueVariant name;
    SetText(&name, L"BenchState");
    ScriptCall state(control.dispatch.get(), L"GetBundleState", 1);
    SetText(&state.Variable(0), L"BenchState");
    VARIANT_BOOL running = VARIANT_FALSE;
    *row = Run(
        Named("GetBundleState", "bundle `BenchState` present (reply `OK!`)"), settings.commandBatches,
        settings.commandsPerBatch, [&] { return lib.getBundleState(*name.get()) == 1; },
        [&] { return object->GetBundleState(*name.get(), &running) == S_OK && running == VARIANT_TRUE; },
        [&] {
          scriptOut->vt = VT_EMPTY;  // the last answer, a VT_BOOL: nothing to free
          return state.Run(scriptOut.get()) && scriptOut->vt == VT_BOOL && scriptOut->boolVal == VARIANT_TRUE;
        });
    lib.disconnect();
    return true;
  }

  // Invoke's own cost with no library call: the property Version.
  void InvokeAlone(AutomationResults* results) {
    ScriptCall version(control.dispatch.get(), L"Version", 0, DISPATCH_PROPERTYGET);
    UniqueBstr text;
    results->versionRounds = settings.smoke ? 3 : 501;
    const Turns t = TimeInTurn(results->versionRounds,
                               {[&] { object->get_Version(text.put()); }, [&] { version.Run(scriptOut.get()); }},
                               [&] {
                                 text.reset();
                                 scriptOut.reset();
                               });
    results->versionTable = t.median[0];
    results->versionInvoke = t.median[1];
  }
};

}  // namespace

AutomationResults MeasureAutomation(const Library& lib, const Settings& settings) {
  AutomationResults results;
  Apartment apartment;
  ControlObject control;
  if (!control.Create()) {
    Fail("Lumbrex.Control cannot be created from lumbrex-automation.dll");
    return results;
  }
  ObjectBench bench{lib, settings, control, control.table.get(), {}, {}, {}};
  results.rows.push_back(bench.List());
  results.rows.push_back(bench.Query());
  ObjectRow command;
  if (bench.Command(&command)) results.rows.push_back(std::move(command));
  bench.InvokeAlone(&results);
  WipeRoot();
  results.measured = true;
  return results;
}

}  // namespace bench
