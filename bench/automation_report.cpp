// Section 5 of docs/benchmarks.md: the automation object against the flat
// exports, with a goal per operation for Invoke as scripts call it.
#include <string>

#include "report.h"
#include "report_format.h"

namespace bench {
namespace {

void TimeTable(Section& s, const AutomationResults& r) {
  s.Out("| Operation | Works on | Export | Through the table | Through Invoke | Table / export | Invoke / export | "
        "Invoke / export, 25th to 75th percentile | Invoke's own (Invoke − table) | The object's method (table − "
        "export) | Calls lumbrex.dll makes to its imports (registry, pipe, OLE) per call, export / Invoke | Rounds |\n");
  s.Out("|---|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n");
  for (const ObjectRow& row : r.rows) {
    const std::vector<double>& q = row.invokeRatios;
    std::string rounds = std::to_string(row.rounds);
    if (row.callsPerSample > 1) rounds += " batches of " + std::to_string(row.callsPerSample);
    s.Out("| `%s` | %s | %s | %s | %s | %s | %s | %s to %s | %s | %s | %s / %s | %s |\n", row.operation.c_str(),
          row.setup.c_str(), Duration(row.flat).c_str(), Duration(row.table).c_str(), Duration(row.invoke).c_str(),
          Number(row.tableRatio).c_str(), Number(row.invokeRatio).c_str(), Number(q[q.size() / 4]).c_str(),
          Number(q[(3 * q.size()) / 4]).c_str(), Duration(row.invokeOwn).c_str(), Duration(row.methodOwn).c_str(),
          Number(row.flatImports, "%.1f").c_str(), Number(row.invokeImports, "%.1f").c_str(), rounds.c_str());
  }
}

void ProfileTable(Section& s, const AutomationResults& r) {
  s.Out("\nProfile of the Invoke calls (the imports of `lumbrex-automation.dll` patched with counting wrappers; a "
        "separate run, so its times run a little higher): per call, the time inside DispInvoke (the type "
        "information's dispatch and the method it calls), inside the export the method wraps, and inside the OLE "
        "calls the method makes around it to build its result (SafeArrayCreateVector, SafeArrayGetElement, "
        "SafeArrayPtrOfIndex, VariantClear, SysAllocString).\n\n");
  s.Out("| Operation | Invoke | Inside DispInvoke | Of it, the export | Of it, the object's OLE calls | OLE calls | "
        "Rest of DispInvoke and the method | Invoke outside DispInvoke |\n|---|---:|---:|---:|---:|---:|---:|---:|\n");
  for (const ObjectRow& row : r.rows)
    s.Out("| `%s` | %s | %s | %s | %s | %s | %s | %s |\n", row.operation.c_str(), Duration(row.profiled).c_str(),
          Duration(row.inDispInvoke).c_str(), Duration(row.inExport).c_str(), Duration(row.inOle).c_str(),
          Number(row.oleCalls, "%.0f").c_str(), Duration(row.inDispInvoke - row.inExport - row.inOle).c_str(),
          Duration(row.profiled - row.inDispInvoke).c_str());
}

}  // namespace

std::string AutomationReport(const AutomationResults& r, const Settings& settings) {
  Section s;
  s.Out("\n## 5. The automation object `Lumbrex.Control` against the flat exports\n\n");
  if (!r.measured) return s.Text();
  s.Out("The object is created from the class factory of `lumbrex-automation.dll` (no registration) in a "
        "single-threaded apartment, as a script host's; it calls the same `lumbrex.dll` the flat exports are taken "
        "from, on the same connection to the service. Every round makes the operation three ways, each timed on its "
        "own, in this order: the flat export; the object's method through its interface's table (`ILumbrexControl`, "
        "as C++ callers call it, names as VT_BSTR by value); `IDispatch::Invoke` as VBScript calls it: the DISPID "
        "from GetIDsOfNames once, before the rounds, then DISPATCH_METHOD | DISPATCH_PROPERTYGET with every argument "
        "a variable passed by reference (VT_BYREF|VT_VARIANT pointing at a VARIANT holding the name as VT_BSTR, or "
        "the side as a VT_I2 Integer), a result VARIANT and an EXCEPINFO. Results are freed untimed after each call "
        "(the command's VT_BOOL holds nothing to free). Times are medians; the ratios are medians of each round's "
        "ratio to the flat export of the same round, and the two costs medians of each round's differences, so the "
        "shared machine's load cancels. The benchmark holds no lock of the object's between calls (its calls take "
        "turns on a process-wide mutex, taken uncontended here).\n\n");
  TimeTable(s, r);
  if (settings.commandsPerBatch > 1)
    s.Out("\nThe command's times are per command, from batches of %d commands each way.\n", settings.commandsPerBatch);
  ProfileTable(s, r);
  s.Out("\nInvoke's own cost without any library call: the property `Version` (a BSTR made from three numbers) "
        "through the table %s, through Invoke %s (medians of %d rounds).\n",
        Duration(r.versionTable).c_str(), Duration(r.versionInvoke).c_str(), r.versionRounds);

  for (const ObjectRow& row : r.rows) {
    const bool met = row.invokeRatio <= 1.10;
    std::string why;
    if (!met) {
      why = "Invoke " + Duration(row.invoke) + " against the export's " + Duration(row.flat) + ": " +
            Duration(row.invokeOwn) + " per call Invoke's own (DispInvoke through the type information), " +
            Duration(row.methodOwn) + " the object's method (inputs checked, the library's last-error code read "
            "before and after, the result built); in the profile " + Duration(row.inOle) + " per call in " +
            Number(row.oleCalls, "%.0f") + " OLE calls building the result";
      if (row.invokeImports > row.flatImports + 0.05)
        why += "; lumbrex.dll makes " + Number(row.invokeImports, "%.1f") + " calls to its imports per call through the " +
               "object against " + Number(row.flatImports, "%.1f");
    }
    s.Goal("`Lumbrex.Control." + row.operation + "` through IDispatch::Invoke (" + row.setup + ")",
           Number(row.invokeRatio) + "×", "≤ 1.10× the flat export", met, why);
  }
  return s.Text();
}

}  // namespace bench
