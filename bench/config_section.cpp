// 6. lumbrexctl's configuration verbs, each a process against a process:
// `plan` of a 1,000-port configuration against `export` of the same one (plan
// reads what export reads, then the document and the plan), and `apply` of N
// changes against lumbrex-bench-changes.exe, which makes the same N export
// calls apply makes, on one connection. Both sides of a pair pay one Wine
// process start and the load of lumbrex.dll.
#include <windows.h>

#include <string>

#include "launcher.h"
#include "report.h"
#include "report_format.h"
#include "sections.h"

namespace bench {
namespace {

using lumbrex::service::RunProgram;
using lumbrex::service::ServiceProcess;

using lumbrex::service::WriteWholeFile;

std::wstring TempFile(const wchar_t* name) {
  return lumbrex::service::TempFilePath(std::wstring(L"lumbrex-bench-") + name);
}

std::string Port(const std::string& name, const char* type, bool fixed, int mask, bool share) {
  std::string port = R"({"name": ")" + name + R"(", "type": ")" + type + R"(", "parameters": )";
  port += fixed ? R"({"baud": 19200, "parity": "E", "dataBits": 7, "stopBits": 1, "flow": "X"})" : R"("dynamic")";
  port += ", \"permissions\": " + std::to_string(mask);
  if (share) port += R"(, "share": {"term.exe": 7, "log.exe": 1})";
  return port + "}";
}

// `bundles` bundles of `perSide` ports a side, every type, fixed and dynamic
// parameters, every mask, share permissions on the shared ports.
std::string LargeDocument(int bundles, int perSide) {
  static const char* const kTypes[] = {"real", "virtual", "shared", "switcher"};
  std::string doc = R"({"version": 1, "options": {"auto-open": true, "ignore-errors": false, "print": false, )"
                    R"("main-only": true, "baudrate-emulation": false}, "bundles": [)";
  int n = 0;
  for (int b = 0; b < bundles; ++b) {
    doc += std::string(b ? ", " : "") + R"({"name": "Bench)" + std::to_string(b) + "\"";
    for (const char* side : {"in", "out"}) {
      doc += std::string(", \"") + side + R"(": {"ports": [)";
      for (int p = 0; p < perSide; ++p, ++n)
        doc += std::string(p ? ", " : "") + Port("COM" + std::to_string(100 + n), kTypes[n % 4], n % 2 == 0, n % 4,
                                                 n % 4 == 2);
      doc += "]}";
    }
    doc += "}";
  }
  return doc + "]}";
}

// The document apply carries out in 1 + 2 * ports changes: the bundle, then
// each port added and its parameters fixed; lumbrex-bench-changes.exe makes
// the same calls.
std::string ApplyDocument(int ports) {
  std::string doc = R"({"version": 1, "bundles": [{"name": "Applied", "in": {"ports": [)";
  for (int p = 0; p < ports; ++p) doc += (p ? ", " : "") + Port("COM" + std::to_string(5000 + p), "real", true, 3, false);
  return doc + "]}}]}";
}

bool Ran(const char* what, const lumbrex::service::ProgramRun& run, DWORD expected = 0) {
  if (run.exitCode == expected) return true;
  Fail("%s: exit code %lu (expected %lu): %s", what, run.exitCode, expected, run.output.substr(0, 400).c_str());
  return false;
}

}  // namespace

ConfigResults MeasureConfigVerbs(const Settings& settings) {
  ConfigResults results;
  // The programs as packaged (stripped) beside the stripped DLL when
  // scripts/bench.sh put them there: as built, lumbrexctl.exe carries over
  // 30 MB of debug sections that Wine reads in at every start, which the
  // small baseline program does not.
  std::wstring folder;
  if (!settings.strippedDll.empty()) {
    folder = settings.strippedDll.substr(0, settings.strippedDll.find_last_of(L'\\') + 1);
    results.packaged = GetFileAttributesW((folder + L"lumbrexctl.exe").c_str()) != INVALID_FILE_ATTRIBUTES &&
                       GetFileAttributesW((folder + L"lumbrex-bench-changes.exe").c_str()) != INVALID_FILE_ATTRIBUTES;
    if (!results.packaged) folder.clear();
  }
  const std::wstring ctl = folder + L"lumbrexctl.exe", changes = folder + L"lumbrex-bench-changes.exe";
  ServiceProcess service;
  if (!service.Ready()) return Fail("configuration verbs: the stand-in service: %s", service.Problem().c_str()), results;
  const int bundles = settings.smoke ? 2 : 20, perSide = settings.smoke ? 5 : 25;
  results.bundles = bundles;
  results.ports = bundles * 2 * perSide;
  results.reps = settings.smoke ? 1 : settings.configReps;
  const std::wstring large = TempFile(L"large.json"), exported = TempFile(L"export.json"),
                     empty = TempFile(L"empty.json"), applied = TempFile(L"apply.json");
  if (!WriteWholeFile(large, LargeDocument(bundles, perSide)) ||
      !WriteWholeFile(empty, R"({"version": 1, "bundles": []})"))
    return Fail("configuration verbs: cannot write %ls", large.c_str()), results;
  if (!Ran("apply of the large configuration", RunProgram(ctl, {L"apply", large}, 600000)))
    return results;
  bool good = true;
  results.planExport = TimeAlternately(
      results.reps,
      [&] { good = Ran("plan", RunProgram(ctl, {L"plan", large}, 600000)) && good; },
      [&] { good = Ran("export", RunProgram(ctl, {L"export", exported}, 600000)) && good; }, [] {});
  // apply reads the configuration first: it holds nothing but what apply changes.
  good = Ran("apply --prune of no bundle", RunProgram(ctl, {L"apply", empty, L"--prune"}, 600000)) && good;
  for (int ports : settings.smoke ? std::vector<int>{3} : settings.applyPorts) {
    if (!WriteWholeFile(applied, ApplyDocument(ports))) return Fail("cannot write %ls", applied.c_str()), results;
    ApplyRow row{1 + 2 * ports, settings.smoke ? 1 : settings.applyReps, {}};
    const std::wstring count = std::to_wstring(ports);
    row.time = TimeAlternately(
        row.reps, [&] { good = Ran("apply", RunProgram(ctl, {L"apply", applied})) && good; },
        [&] { good = Ran("the same calls", RunProgram(changes, {count})) && good; },
        [&] { good = Ran("bundle delete", RunProgram(ctl, {L"bundle", L"delete", L"Applied"})) && good; });
    results.apply.push_back(row);
  }
  for (const std::wstring& file : {large, exported, empty, applied}) DeleteFileW(file.c_str());
  results.measured = good;
  return results;
}

std::string ConfigReport(const ConfigResults& r) {
  Section s;
  s.Out("\n## 6. lumbrexctl: `plan` against `export`, `apply` against the same export calls\n\n");
  if (!r.measured) {
    s.Out("Not measured (see the benchmark's error output).\n");
    return s.Text();
  }
  s.Out("Every figure is one lumbrexctl process as a script starts it, against another process, in neighbouring\n"
        "pairs after one warm-up pair (%d pairs for plan, %d for each apply row): both sides pay one Wine\n"
        "process start and the load of\n"
        "lumbrex.dll, so the ratio compares the work, not a process start against none. %s\n\n",
        r.reps, r.apply.empty() ? 0 : r.apply.front().reps,
        r.packaged ? "Both programs run stripped, as packaged (lumbrexctl.exe from the cpack package, the baseline\n"
                     "stripped alike), beside the stripped lumbrex.dll."
                   : "Both programs run as built, with their debug sections (a smoke run).");
  s.Out("| What | Against | lumbrexctl (median) | Baseline (median) | Ratio of the medians | Median of the pair ratios |\n");
  s.Out("|---|---|---:|---:|---:|---:|\n");
  const Pair& pe = r.planExport;
  s.Out("| `lumbrexctl plan FILE` of the configuration it names (%s ports, %d bundles; nothing to do) | "
        "`lumbrexctl export FILE` of the same configuration | %s | %s | %s | %s |\n",
        Grouped(r.ports).c_str(), r.bundles, Duration(pe.library).c_str(), Duration(pe.baseline).c_str(),
        Number(pe.library / pe.baseline).c_str(), Number(pe.ratio).c_str());
  for (const ApplyRow& row : r.apply)
    s.Out("| `lumbrexctl apply FILE`: %d changes (a bundle, %d ports added and their parameters fixed) | "
          "`lumbrex-bench-changes.exe`: the same %d export calls on one connection | %s | %s | %s | %s |\n",
          row.changes, (row.changes - 1) / 2, row.changes, Duration(row.time.library).c_str(),
          Duration(row.time.baseline).c_str(), Number(row.time.library / row.time.baseline).c_str(),
          Number(row.time.ratio).c_str());
  s.Out("\nThe configuration of the first row has every port type, fixed and dynamic parameters, every permission\n"
        "mask and share permissions on its shared ports, and the five options; `plan` reads it through the same\n"
        "query exports as `export`, then reads FILE and plans. The `apply` rows start from a configuration holding\n"
        "nothing else (the bundle is deleted between runs, untimed): apply reads the whole configuration before\n"
        "it plans, so on a large configuration it pays that read too (the first row's export time), which the\n"
        "calls alone do not. Its extra work beside the calls: the read, the document, the plan and a line of\n"
        "output per change.\n");
  s.Goal("`lumbrexctl plan` of " + Grouped(r.ports) + " ports against `export`", Number(pe.ratio), "≤ 1.10",
         pe.ratio <= 1.10, pe.ratio <= 1.10 ? "" : "plan " + Duration(pe.library - pe.baseline) + " slower");
  for (const ApplyRow& row : r.apply)
    s.Goal("`lumbrexctl apply` of " + std::to_string(row.changes) + " changes against the same export calls",
           Number(row.time.ratio), "≤ 1.10", row.time.ratio <= 1.10,
           row.time.ratio <= 1.10
               ? ""
               : "apply " + Duration(row.time.library - row.time.baseline) +
                     " slower: before its first call it reads the configuration (the options, the machine's real "
                     "ports, the bundles: seven export calls here) and the file, and its program is the larger to "
                     "start; a cost that does not grow with the changes");
  return s.Text();
}

}  // namespace bench
