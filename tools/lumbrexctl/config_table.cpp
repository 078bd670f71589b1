// The verbs of the whole configuration as one document: export, plan, apply
// (docs/configuration.md).
#include <functional>

#include "command_table.h"
#include "config_verbs.h"
#include "console.h"

namespace lumbrexctl {

void CommandTable::DefineConfigVerbs() {
  const auto request = [this] {
    ConfigRequest r;
    r.file = Wide(line_.file);
    r.out = Wide(line_.out);
    r.planFile = Wide(line_.planFile);
    r.prune = line_.prune;
    r.json = line_.json;
    r.dryRun = line_.dryRun;
    r.noRollback = line_.noRollback;
    return r;
  };
  // Each of these verbs reads this machine's registry before it runs.
  const auto here = [this, request](const std::function<int(const ConfigRequest&)>& run) {
    ThisMachineOnly(line_);
    return run(request());
  };
  CLI::App* exportVerb = Verb(
      &root_, "export", "writes the whole configuration as one JSON document (stdout, or FILE)",
      [here] { return here(RunExport); },
      "The five options (those stored), every bundle with the ports of its sides: type,\n"
      "parameters or \"dynamic\", permission mask, share permissions. Reads only.");
  Word(exportVerb, "FILE", &line_.file, "where to write the document (replaced)", false);

  const auto planWords = [this](CLI::App* verb) {
    verb->add_flag("--prune", line_.prune, "also remove the bundles, ports and share permissions FILE does not name");
  };
  CLI::App* plan = Verb(
      &root_, "plan", "prints the changes that would make the configuration equal to FILE",
      [here] { return here(RunPlan); },
      "One line a change, in the order apply makes them, with the export it calls;\n"
      "then \"N to add, N to change, N to remove\". Sends nothing.\n"
      "Exit codes: 0 the configuration equals FILE; 2 it differs (changes to make, or\n"
      "what FILE does not name, left alone without --prune); 1 errors (a bad FILE or\n"
      "command line too).");
  Word(plan, "FILE", &line_.file, "the configuration document");
  planWords(plan);
  plan->add_flag("--json", line_.json, "the changes as one JSON object");
  plan->add_option("--out", line_.out, "also save the plan with the configuration it was made against")
      ->type_name("PLANFILE");

  CLI::App* apply = Verb(
      &root_, "apply", "makes the configuration equal to FILE, or carries out a saved plan",
      [this, here] {
        return here([this](const ConfigRequest& r) {
          if (line_.file.empty() == line_.planFile.empty()) throw BadWord{L"expects FILE or --plan PLANFILE"};
          // A saved plan carries its own prune choice: what runs is what it shows.
          if (line_.prune && !line_.planFile.empty())
            throw BadWord{L"--prune cannot be used with --plan: the saved plan's changes are carried out as reviewed"};
          return RunApply(r);
        });
      },
      "Reads the whole configuration first and sends only the changes (none when it is\n"
      "equal already). When a call fails it stops, lists what was done and what not,\n"
      "and puts the configuration back as it was read, unless --no-rollback.");
  CLI::Option* file = apply->add_option("FILE", line_.file, "the configuration document")->type_name("");
  CLI::Option* saved =
      apply->add_option("--plan", line_.planFile, "carry out a plan saved by 'plan --out' as it shows, or "
                                                  "nothing: refused when planning again gives other changes")
          ->type_name("PLANFILE");
  file->excludes(saved);
  planWords(apply);
  apply->add_flag("--dry-run", line_.dryRun, "only plan: what 'plan' prints, with the same options");
  apply->add_flag("--json", line_.json, "with --dry-run: the plan as one JSON object");
  apply->add_flag("--no-rollback", line_.noRollback, "after a failed call, leave what was done");
}

}  // namespace lumbrexctl
