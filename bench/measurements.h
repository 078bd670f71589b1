// What the benchmark measures, as plain results: the section files
// (registry_section.cpp, command_section.cpp, load_section.cpp) fill them,
// report.cpp writes them as the Markdown of docs/benchmarks.md.
#pragma once
#include <algorithm>
#include <string>
#include <vector>

#include "timing.h"

namespace bench {

struct Settings {
  bool smoke = false;
  std::vector<int> sizes{10, 100, 1000, 10000};
  int RepsFor(int entries) const {
    if (smoke) return 3;
    return std::max(5, std::min(101, 15000 / entries));
  }
  int commandBatches = 41, commandsPerBatch = 75;
  int loads = 200;
  int configReps = 7;                 // pairs of plan and export processes (section 6)
  int applyReps = 21;                 // pairs of apply and baseline processes, shorter and noisier
  std::vector<int> applyPorts{20, 100};  // ports of the apply document: 1 + 2 * ports changes
  std::wstring strippedDll;  // --stripped-dll PATH: the packaged (stripped) lumbrex.dll, loaded by path
  bool libraryOnly = false;  // --library-only: the registry queries and the commands, nothing else
};

// A failed check: said on stderr, counted for the exit code.
void Fail(const char* format, ...);
int Failures();

// ---- 1. Registry queries -------------------------------------------------------

// One library call with lumbrex.dll's imports patched (import_hooks.h).
struct Profile {
  long long registryCalls = 0;
  long long redimCalls = 0;
  double redimSeconds = 0;
  long long copyCalls = 0;
  double copySeconds = 0;
  double registrySeconds = 0;
  long long allocCalls = 0;
};

// One size of a list export.
struct ListRow {
  int entries;
  int reps;
  Pair time;
  Profile profile;
  long long baselineRegistryCalls;
};

// The array alone at one size: grown one by one against one SafeArrayCreate.
struct ArrayRow {
  int entries;
  int reps;
  double grown, created;  // medians
};

struct RegistryResults {
  std::vector<ListRow> bundleNames;  // GetBundlesNames
  std::vector<ListRow> portNames;    // GetPortsNamesByBundleAndSide
  // BundleGetRealPortParameters on one entry.
  int parameterReps = 0;
  Pair parameters;
  Profile parameterProfile;
  std::vector<ArrayRow> array;
};

// ---- 2. Commands -------------------------------------------------------------------

// One imported call in the profile of the library's commands.
struct CallRow {
  const char* name;
  double perCommand;  // calls per command
  double seconds;     // time inside the call, per command
  const char* baseline;  // the baseline's calls per command
};

struct CommandResults {
  bool measured = false;  // false: the service or a client could not be set up (Fail said why)
  int messageBytes = 0;
  Pair time;                  // per command, median batches
  std::vector<double> ratios;  // batch-pair ratios, sorted
  int profiled = 0;           // commands in the profile run
  double profiledPer = 0;     // time per command in the profile run
  std::vector<CallRow> calls;
  double extraSeconds = 0;  // per command in calls the baseline does not make
  double mutexSeconds = 0;  // of it, the link mutex's
};

// ---- 4. Load ------------------------------------------------------------------------

// LoadLibrary + FreeLibrary of one DLL.
struct LoadTimes {
  double both = 0, load = 0, release = 0;  // medians
  double cold = 0;                         // the first load of the process
};

struct LoadResults {
  bool measured = false;  // false: lumbrex.dll was loaded already
  LoadTimes library, empty, stripped;
  bool hasStripped = false;
};

// ---- 5. The automation object ---------------------------------------------------------

// One operation three ways, in turn: the flat export, the object's method
// through its interface's table (as C++ callers call it), and
// IDispatch::Invoke as scripts call it.
struct ObjectRow {
  std::string operation;  // the export and method name
  std::string setup;      // what it works on, for the report
  int rounds = 0;
  int callsPerSample = 1;  // commands go in batches: times are per call
  double flat = 0, table = 0, invoke = 0;  // medians per call
  double tableRatio = 0, invokeRatio = 0;  // medians of the rounds' ratios to the flat export
  // Medians of the rounds' differences per call: Invoke's own cost (Invoke
  // less the table) and the object's method (the table less the export).
  double invokeOwn = 0, methodOwn = 0;
  std::vector<double> invokeRatios;        // every round's, sorted
  // Calls lumbrex.dll makes to its imports (patched) per call:
  // anything the object adds inside the library shows here.
  double flatImports = 0, invokeImports = 0;
  // One Invoke call split by the object's own imports (a separate, patched
  // run): its time, inside DispInvoke (the type information's dispatch and
  // the method), inside the export the method calls, and inside the OLE calls
  // the method makes around it (SAFEARRAY, VARIANT and BSTR calls).
  double profiled = 0, inDispInvoke = 0, inExport = 0, inOle = 0, oleCalls = 0;
};

struct AutomationResults {
  bool measured = false;  // false: the object could not be created (Fail said why)
  std::vector<ObjectRow> rows;
  // The property Version (no library call): Invoke's own cost against the table.
  int versionRounds = 0;
  double versionTable = 0, versionInvoke = 0;
};

// ---- 6. lumbrexctl's configuration verbs ---------------------------------------------

struct ApplyRow {
  int changes = 0;
  int reps = 0;
  Pair time;  // apply against the same export calls
};

struct ConfigResults {
  bool measured = false;  // false: a run failed (Fail said why)
  bool packaged = false;  // the stripped programs beside the stripped DLL, not build/bin's
  int bundles = 0, ports = 0;  // of the configuration plan and export read
  int reps = 0;
  Pair planExport;
  std::vector<ApplyRow> apply;
};

}  // namespace bench
