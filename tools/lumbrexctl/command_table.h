// The tool's command line for CLI11: the global options, the verbs with their
// words and help texts, and the function each verb runs once the whole line
// is read (docs/lumbrexctl.md, "Synopsis").
#pragma once
#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "callers/number_rules.h"

namespace lumbrexctl {

// The words of one command line as CLI11 fills them (UTF-8). Only one verb
// runs, so the verbs share these.
struct Line {
  bool remote = false;  // --remote given, even with an empty SERVER
  std::string server, user, password;
  std::string timeout = "30";  // seconds an export call may take; 0 for no limit
  bool json = false;
  std::string name, bundle, side, port, type, app, value, option, state;
  std::string baud, parity, data, stop, flow, mask;
  std::vector<std::string> helpWords;
  std::string file, out, planFile;  // export, plan, apply
  bool prune = false, dryRun = false, noRollback = false;
};

// Defines everything on `root`, which must outlive it.
class CommandTable {
 public:
  explicit CommandTable(CLI::App* root);
  CommandTable(const CommandTable&) = delete;
  CommandTable& operator=(const CommandTable&) = delete;

  // Runs the verb that the parsed line named, on a thread watched for an
  // export call that does not return (watchdog.h); its exit code. Never
  // from CLI11's callbacks, which run before the line's last checks.
  int Run();

 private:
  using Action = std::function<int()>;

  CLI::App* Group(CLI::App* parent, const char* name, const char* summary, const char* footer);
  CLI::App* Verb(CLI::App* parent, const char* name, const char* summary, Action action, const char* footer = "");
  static void Word(CLI::App* verb, const char* name, std::string* into, const char* meaning, bool required = true);
  void PortWords(CLI::App* verb);  // BUNDLE SIDE PORT

  void DefineGlobal();
  void DefineBundleVerbs();
  void DefinePortVerbs();
  void DefinePortParamsVerb(CLI::App* port);
  void DefineOptionVerbs();
  void DefineShareVerbs();
  void DefineConfigVerbs();  // config_table.cpp

  CLI::App& root_;
  Line line_;
  std::map<const CLI::App*, Action> actions_;
};

// A word that does not read as what its place wants: bad usage, said in
// the verb's terms (Run turns it into exit code 1).
struct BadWord {
  std::wstring problem;
};
std::wstring Quoted(const std::string& word);  // 'word', control characters escaped
// The verbs that read the configuration to decide what to send, or to say what
// it is: the library reads only this machine's registry, so with --remote they
// would describe or compare another configuration than SERVER's. Refused.
void ThisMachineOnly(const Line& line);
long long NumberWord(const std::string& word, const wchar_t* what);
// A number the library would take but store as something else: refused here.
LONG NumberIn(const std::string& word, const wchar_t* what, long long low, long long high);
// A number for an argument of the library: what the automation object accepts
// too (callers/number_rules.h), in the same words.
LONG NumberFor(const std::string& word, const wchar_t* what, lumbrex::NumberArgument rule);

// "lumbrexctl: PROBLEM" and the help to read: the verb's (`path`, "port add"),
// or the tool's for an empty path. Exit code 1.
int Usage(const std::wstring& problem, const std::string& path);

std::string PathOf(const CLI::App* verb);  // "port add"; "" for the tool
std::string HelpOf(const CLI::App* verb);
std::vector<const CLI::App*> VerbsOf(const CLI::App* group);
// The verb the command line got to: the last one it named.
const CLI::App* Reached(const CLI::App& root);

}  // namespace lumbrexctl
