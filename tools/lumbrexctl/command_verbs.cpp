// The verbs of the command table: their words, help texts, and the checks
// their words pass before the verb runs (docs/lumbrexctl.md, "Synopsis").
#include "command_table.h"
#include "console.h"
#include "verbs.h"
#include "words.h"

namespace lumbrexctl {
namespace {

Connection ConnectionOf(const Line& line) {
  return Connection{line.remote, Wide(line.server), Wide(line.user), Wide(line.password)};
}

// A name that goes to the service in a command: refused here, before anything
// is sent, when the service would read it as something else.
std::wstring SentName(const std::string& word, const wchar_t* what,
                      std::wstring (*check)(std::wstring_view) = NameProblem) {
  const std::wstring name = Wide(word);
  const std::wstring problem = check(name);
  if (!problem.empty()) throw BadWord{std::wstring(what) + L" " + Quoted(word) + L" " + problem};
  return name;
}

// An application name: the library escapes what would end or split the
// command, so only what cannot reach the service as it is gets refused.
std::wstring AppName(const std::string& word) {
  return SentName(word, L"the application name", ::lumbrex::AppNameProblem);
}

// The bundle and port of a verb that only reads: any name the registry holds.
PortAddress ReadAddressOf(const Line& line) {
  PortAddress where{Wide(line.bundle), LUMBREX_SIDE_IN, Wide(line.port)};
  if (!ParseSide(Wide(line.side), &where.side)) throw BadWord{L"the side is 'in' or 'out', not " + Quoted(line.side)};
  return where;
}

PortAddress AddressOf(const Line& line) {
  PortAddress where = ReadAddressOf(line);
  where.bundle = SentName(line.bundle, L"the bundle name");
  where.port = SentName(line.port, L"the port name");
  return where;
}

}  // namespace

void CommandTable::DefineBundleVerbs() {
  CLI::App* bundle =
      Group(&root_, "bundle", "bundles: add, delete, state, list",
            "'lumbrexctl bundle VERB --help' describes one of them.");
  const auto define = [&](const char* name, const char* summary, BundleVerb verb, const char* footer) {
    CLI::App* v = Verb(
        bundle, name, summary,
        [this, verb] { return RunBundle(ConnectionOf(line_), verb, SentName(line_.name, L"the bundle name")); },
        footer);
    Word(v, "NAME", &line_.name, "the bundle's name");
  };
  define("add", "creates the bundle (AddBundle)", BundleVerb::kAdd, "");
  define("delete", "deletes the bundle with its ports (DeleteBundle)", BundleVerb::kDelete, "");
  define("state", "asks the service for the bundle (GetBundleState)", BundleVerb::kState,
         "Prints \"NAME: present\" when the service answers OK, else \"NAME: not present\" and exits with 1.");
  Verb(bundle, "list", "prints the bundles' names, one a line (GetBundlesNames)",
       [this] { return RunBundleList(line_.json); },
       "Reads only; no service needed. Nothing at all when there is no bundle.")
      ->add_flag("--json", line_.json, "as one JSON object: {\"bundles\": [...]}");
}

void CommandTable::DefinePortVerbs() {
  CLI::App* port = Group(&root_, "port",
                         "ports of a bundle's side: add, delete, state, main, params, dynamic, perms, list",
                         "'lumbrexctl port VERB --help' describes one of them.");
  CLI::App* add = Verb(port, "add", "adds PORT of a type to the side of BUNDLE (BundleAddPort)",
                       [this] {
                         const PortAddress where = AddressOf(line_);
                         LONG type = 0;
                         if (!ParsePortType(Wide(line_.type), &type))
                           throw BadWord{L"unknown port type " + Quoted(line_.type)};
                         return RunPortAdd(ConnectionOf(line_), where, type);
                       });
  PortWords(add);
  Word(add, "TYPE", &line_.type, config::PortTypeList().c_str());

  const auto define = [&](const char* name, const char* summary, PortVerb verb, const char* footer) {
    PortWords(Verb(
        port, name, summary,
        [this, verb] { return RunPort(ConnectionOf(line_), verb, AddressOf(line_)); }, footer));
  };
  define("delete", "removes PORT from the side of BUNDLE (BundleDeletePort)", PortVerb::kDelete, "");
  define("state", "asks the service for the port (BundleGetPortState)", PortVerb::kState,
         "Prints \"PORT: present\" when the service answers OK, else \"PORT: not present\" and exits with 1.");
  define("main", "makes PORT the main port of the side (BundleSetMainPortForSide)", PortVerb::kMain, "");

  DefinePortParamsVerb(port);

  define("dynamic", "gives the port dynamic parameters (BundleSetDynamicParametersForRealPort)", PortVerb::kDynamic,
         "The application that opens the port sets them. The permission mask is kept.");

  CLI::App* perms = Verb(
      port, "perms", "sets the port's permission mask (BundlePortSetPermissions)",
      [this] {
        const PortAddress where = AddressOf(line_);
        return RunPortPerms(ConnectionOf(line_), where, NumberFor(line_.mask, L"MASK", lumbrex::NumberArgument::kPortMask));
      },
      "The parameters are kept.");
  PortWords(perms);
  Word(perms, "MASK", &line_.mask, "0 to 3: 2 the high bit, 1 the low bit");

  CLI::App* list = Verb(
      port, "list", "prints the ports of the side of BUNDLE as show does, one a line",
      [this] { return RunPortList(ReadAddressOf(line_), line_.json); },
      "Reads only; no service needed. Exits with 1 when the bundle or its side is missing.");
  Word(list, "BUNDLE", &line_.bundle, "the bundle");
  Word(list, "SIDE", &line_.side, SideWords());
  list->add_flag("--json", line_.json, "as one JSON object: bundle, side, main, ports");
}

// port params: the four or five parameter words, each checked before anything is sent.
void CommandTable::DefinePortParamsVerb(CLI::App* port) {
  CLI::App* params = Verb(
      port, "params", "fixes the port's communication parameters (BundleSetRealPortParameters)",
      [this] {
        const PortAddress where = AddressOf(line_);
        PortSettings settings;
        settings.baud = NumberFor(line_.baud, L"BAUD", lumbrex::NumberArgument::kBaudrate);
        if (!ParseParity(Wide(line_.parity), &settings.parity))
          throw BadWord{L"PARITY is " + Wide(config::ParityList()) + L", not " + Quoted(line_.parity)};
        settings.dataBits = NumberFor(line_.data, L"DATA", lumbrex::NumberArgument::kDataBits);
        settings.stopBits = NumberFor(line_.stop, L"STOP", lumbrex::NumberArgument::kStopBits);
        if (!line_.flow.empty() && !ParseFlow(Wide(line_.flow), &settings.flow))
          throw BadWord{L"FLOW is " + Wide(config::FlowList()) + L", not " + Quoted(line_.flow)};
        return RunPortParams(ConnectionOf(line_), where, settings);
      },
      "The port's permission mask is kept.");
  PortWords(params);
  Word(params, "BAUD", &line_.baud, "baud rate, a positive number");
  Word(params, "PARITY", &line_.parity, "N (none), O (odd), E (even), M (mark) or S (space)");
  Word(params, "DATA", &line_.data, "data bits, 5 to 8");
  Word(params, "STOP", &line_.stop, "stop-bits code, 0 to 2 (stored and shown as given)");
  Word(params, "FLOW", &line_.flow, "X (XON/XOFF) or P (hardware); none when left out", false);
}

void CommandTable::DefineOptionVerbs() {
  CLI::App* option = Group(&root_, "option", "the five global options: set, get", "");
  CLI::App* set = Verb(
      option, "set", "turns one global option on or off; the service stores all five at once",
      [this] {
        const OptionInfo* which = FindOption(Wide(line_.option));
        if (which == nullptr) throw BadWord{L"unknown option " + Quoted(line_.option)};
        bool on = false;
        if (!ParseOnOff(Wide(line_.state), &on))
          throw BadWord{L"the value is 'on' or 'off', not " + Quoted(line_.state)};
        return RunOptionSet(ConnectionOf(line_), *which, on);
      },
      OptionsHelp());
  Word(set, "NAME", &line_.option, "the option (below)");
  Word(set, "STATE", &line_.state, "on or off");

  CLI::App* get = Verb(
      option, "get", "prints one global option: \"NAME: on\" or \"NAME: off\"",
      [this] {
        const OptionInfo* which = FindOption(Wide(line_.option));
        if (which == nullptr) throw BadWord{L"unknown option " + Quoted(line_.option)};
        return RunOptionGet(*which, line_.json);
      },
      "NAME as for 'option set'. Reads only; exits with 1 when the option is not stored.");
  Word(get, "NAME", &line_.option, "the option");
  get->add_flag("--json", line_.json, "as one JSON object: {\"name\", \"on\"}");
}

void CommandTable::DefineShareVerbs() {
  CLI::App* share = Group(&root_, "share", "shared ports: set, default, reset, apps",
                          "'lumbrexctl share VERB --help' describes one of them.");
  CLI::App* set = Verb(share, "set", "sets APP's share permission on the shared port (SharedPortSetPermissionsForApp)",
                       [this] {
                         const PortAddress where = AddressOf(line_);
                         const std::wstring app = AppName(line_.app);
                         const LONG value = NumberFor(line_.value, L"VALUE", lumbrex::NumberArgument::kSharePermission);
                         return RunShareSet(ConnectionOf(line_), where, app, value);
                       });
  PortWords(set);
  Word(set, "APP", &line_.app, "the application, e.g. terminal.exe");
  Word(set, "VALUE", &line_.value, "a decimal or 0x number: 0, or with at least one of the bits 1, 2, 4 set");

  CLI::App* byDefault =
      Verb(share, "default", "sets APP's share permission to the default 3 (SharedSetDefaultPermissions)",
           [this] {
             const PortAddress where = AddressOf(line_);
             return RunShareDefault(ConnectionOf(line_), where, AppName(line_.app));
           });
  PortWords(byDefault);
  Word(byDefault, "APP", &line_.app, "the application, e.g. terminal.exe");

  PortWords(Verb(share, "reset", "sets every stored application's share permission back to 3 (SharedSetDefaultPermissions each)",
                 [this] {
                   ThisMachineOnly(line_);  // it lists the applications stored in the registry
                   return RunShareReset(ConnectionOf(line_), AddressOf(line_));
                 }));

  CLI::App* apps = Verb(
      share, "apps", "lists the applications holding PORT open (SharedGetPortApplications)",
      [this] { return RunShareApps(Wide(line_.port)); },
      "As the port-sharing driver reports them: the name and its three values\n"
      "(Data0, Data2, Data1), one application a line.");
  Word(apps, "PORT", &line_.port, "the shared port, e.g. COM30");
}

}  // namespace lumbrexctl
