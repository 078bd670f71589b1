#include "command_table.h"

#include "console.h"
#include "verbs.h"
#include "watchdog.h"
#include "words.h"

namespace lumbrexctl {

std::wstring Quoted(const std::string& word) { return L"'" + Printable(Wide(word)) + L"'"; }

void ThisMachineOnly(const Line& line) {
  if (line.remote)
    throw BadWord{L"--remote cannot be used: this verb reads the configuration from this machine's registry (the "
                  L"library has no remote queries), not SERVER's; run lumbrexctl on SERVER"};
}

long long NumberWord(const std::string& word, const wchar_t* what) {
  long long number = 0;
  if (!ParseNumber(Wide(word), &number)) throw BadWord{std::wstring(what) + L" is a number, not " + Quoted(word)};
  return number;
}

LONG NumberIn(const std::string& word, const wchar_t* what, long long low, long long high) {
  const long long number = NumberWord(word, what);
  if (number < low || number > high)
    throw BadWord{std::wstring(what) + L" is " + Num(low) + L" to " + Num(high) + L", not " + Quoted(word)};
  return static_cast<LONG>(number);
}

LONG NumberFor(const std::string& word, const wchar_t* what, lumbrex::NumberArgument rule) {
  // A word that is no number, or none within 32 bits, gets the rule's words
  // too: the automation object refuses the same values in the same words.
  long long number = 0;
  if (!ParseNumber(Wide(word), &number) || !lumbrex::Accepts(rule, number))
    throw BadWord{lumbrex::NumberRefusal(rule, what, Quoted(word))};
  return static_cast<LONG>(number);
}

namespace {

const CLI::App* FindVerb(const CLI::App* group, const std::string& name) {
  for (const CLI::App* verb : VerbsOf(group))
    if (verb->get_name() == name) return verb;
  return nullptr;
}

// help [VERB [SUBVERB]]: as far as the words name verbs.
int Help(const CLI::App& root, const std::vector<std::string>& words) {
  const CLI::App* at = &root;
  for (const std::string& word : words) {
    const CLI::App* next = FindVerb(at, word);
    if (next == nullptr && at == &root) return Usage(L"no such verb " + Quoted(word), "");
    if (next == nullptr) break;
    at = next;
  }
  OutUtf8(HelpOf(at));
  return kDone;
}

}  // namespace

int Usage(const std::wstring& problem, const std::string& path) {
  Complain(problem);
  Err(L"Try 'lumbrexctl " + (path.empty() ? std::wstring() : Wide(path) + L" ") + L"--help'.\n");
  return kUsage;
}

std::string PathOf(const CLI::App* verb) {
  std::string path;
  for (; verb->get_parent() != nullptr; verb = verb->get_parent())
    path = verb->get_name() + (path.empty() ? "" : " " + path);
  return path;
}

std::string HelpOf(const CLI::App* verb) {
  const std::string path = PathOf(verb);
  return verb->get_formatter()->make_help(verb, path.empty() ? "lumbrexctl" : "lumbrexctl " + path,
                                         CLI::AppFormatMode::Normal);
}

std::vector<const CLI::App*> VerbsOf(const CLI::App* group) {
  return group->get_subcommands([](const CLI::App*) { return true; });
}

const CLI::App* Reached(const CLI::App& root) {
  const CLI::App* at = &root;
  while (!at->get_subcommands().empty()) at = at->get_subcommands().front();
  return at;
}

CommandTable::CommandTable(CLI::App* root) : root_(*root) {
  DefineGlobal();
  Verb(&root_, "show", "prints the whole configuration (--json: as one JSON object)",
       [this] { return RunShow(line_.json); },
       "Prints the whole configuration as a tree: the five options, the machine's real\n"
       "ports, then every bundle with its sides IN and OUT, their main ports and their\n"
       "ports: type, main flag, parameters (or \"dynamic\"), permission mask, and for\n"
       "shared ports the share permissions and the applications holding the port open.\n"
       "Reads only; no service needed.")
      ->add_flag("--json", line_.json, "the same as one JSON object");
  DefineBundleVerbs();
  DefinePortVerbs();
  DefineOptionVerbs();
  DefineShareVerbs();
  DefineConfigVerbs();
  Verb(&root_, "help", "this text, or a verb's: help VERB [SUBVERB]",
       [this] { return Help(root_, line_.helpWords); })
      ->add_option("VERB", line_.helpWords, "the verb and its subverb")
      ->type_name("");
}

int CommandTable::Run() {
  line_.remote = root_.count("--remote") > 0;
  // An empty SERVER would name no machine: the library would open a pipe
  // path without one.
  if (line_.remote && line_.server.empty()) return Usage(L"--remote needs a SERVER", "");
  LONG limit = 0;
  try {
    limit = NumberIn(line_.timeout, L"--timeout", 0, kLongestTimeLimit);
  } catch (const BadWord& bad) {
    return Usage(bad.problem, "");
  }
  const CLI::App* verb = Reached(root_);
  const auto action = actions_.find(verb);
  const std::string path = PathOf(verb);
  if (action == actions_.end()) return Usage(L"no verb", path);
  // The words are checked on the verb's thread too: the name check reads the
  // code page of the thread that then calls the library.
  return RunWatched(
      [&] {
        try {
          return action->second();
        } catch (const BadWord& bad) {
          return Usage(Wide(path) + L": " + bad.problem, path);
        }
      },
      static_cast<DWORD>(limit) * 1000);
}

CLI::App* CommandTable::Group(CLI::App* parent, const char* name, const char* summary, const char* footer) {
  CLI::App* group = parent->add_subcommand(name, summary);
  group->group("Verbs");
  group->require_subcommand(1);
  group->footer(footer);
  return group;
}

CLI::App* CommandTable::Verb(CLI::App* parent, const char* name, const char* summary, Action action,
                             const char* footer) {
  CLI::App* verb = parent->add_subcommand(name, summary);
  verb->group("Verbs");
  verb->footer(footer);
  actions_[verb] = std::move(action);
  return verb;
}

void CommandTable::Word(CLI::App* verb, const char* name, std::string* into, const char* meaning, bool required) {
  verb->add_option(name, *into, meaning)->required(required)->type_name("");
}

void CommandTable::PortWords(CLI::App* verb) {
  Word(verb, "BUNDLE", &line_.bundle, "the bundle");
  Word(verb, "SIDE", &line_.side, "in or out");
  Word(verb, "PORT", &line_.port, "the port, e.g. COM3");
}

void CommandTable::DefineGlobal() {
  // Every verb inherits these, so the global options may stand anywhere on the line.
  root_.set_help_flag("-h,--help", "this text; after a verb, the verb's ('/?' too)");
  root_.fallthrough();
  root_.require_subcommand(1);
  CLI::Option* remote =
      root_.add_option("--remote", line_.server, "send changes to SERVER's service, not this machine's")
          ->type_name("SERVER");
  // The option text replaces CLI11's "Needs: --remote" after the value's name:
  // the description says it, and needs() still refuses the line without it.
  root_.add_option("--user", line_.user, "with --remote: log on to SERVER as U (ConnectToRemoteService)")
      ->option_text("U")
      ->needs(remote);
  root_.add_option("--password", line_.password, "with --remote: U's password")->option_text("P")->needs(remote);
  root_.add_option("--timeout", line_.timeout,
                   "give up on a library call after SECONDS (default 30; 0: wait)")
      ->type_name("SECONDS");
  root_.set_version_flag("--version", std::function<std::string()>(VersionText),
                         "the tool's version and that of the lumbrex.dll it loaded");
  root_.footer(
      "Changing verbs connect to the service on this machine (ConnectToLocalService),\n"
      "or with --remote to SERVER's (ConnectToRemoteService, logging on as U when\n"
      "given). show and share apps read this machine's registry and driver;\n"
      "export, plan, apply and share reset, which read it to decide, refuse --remote.\n"
      "A word that starts with '-' goes after '--': lumbrexctl bundle add -- -x\n"
      "A service that takes a command and never answers holds the library's call\n"
      "forever: after --timeout the tool names the call and exits with 1.\n"
      "\n"
      "Exit codes: 0 done, 1 refused by the service or the system, 2 bad usage.\n"
      "'lumbrexctl VERB --help' describes a verb.");
}

}  // namespace lumbrexctl
