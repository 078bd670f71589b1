// lumbrexctl.exe: shows and changes the bundling service's configuration
// through lumbrex.dll. Every read and every change goes through an export of
// include/lumbrex.h; the tool knows nothing of the registry layout or the
// command protocol itself (docs/lumbrexctl.md).
//
// Here: the command line read against the command table (command_table.cpp),
// and what a line that does not fit it gets (exit 1). What a verb does once
// its words are read is in verbs.cpp.
#include <windows.h>

#include <algorithm>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "command_table.h"
#include "console.h"
#include "verbs.h"

namespace lumbrexctl {
namespace {

// The problem with a line that CLI11 refused, in the verb's terms.
int BadCommandLine(const CLI::App& root, const CLI::Error& error) {
  const bool shape = dynamic_cast<const CLI::RequiredError*>(&error) != nullptr ||
                     dynamic_cast<const CLI::ExtrasError*>(&error) != nullptr;
  // Anything else is about the global options (a missing value, --user without --remote).
  if (!shape) return Usage(Wide(error.what()), "");
  const CLI::App* at = Reached(root);
  const std::string path = PathOf(at);
  const std::wstring head = path.empty() ? std::wstring() : Wide(path) + L": ";
  const std::vector<std::string> extra = root.remaining(true);
  const std::vector<const CLI::App*> verbs = VerbsOf(at);
  if (!verbs.empty()) {  // the line stops at a verb that names others
    if (!extra.empty()) return Usage(head + L"unknown verb '" + Wide(extra.front()) + L"'", path);
    if (at == &root) {  // no verb at all: the whole help, as a complaint
      ErrUtf8(HelpOf(&root));
      return kUsage;
    }
    if (verbs.size() == 1) return Usage(head + L"expects " + Wide(verbs.front()->get_name()), path);
    std::wstring names;
    for (size_t i = 0; i < verbs.size(); ++i)
      names += (i == 0 ? L"" : i + 1 == verbs.size() ? L" or " : L", ") + Wide(verbs[i]->get_name());
    return Usage(head + L"which one: " + names + L"?", path);
  }
  std::wstring words;
  for (const CLI::Option* word : at->get_options([](const CLI::Option* o) { return o->get_positional(); })) {
    const std::wstring name = Wide(word->get_name());
    words += (words.empty() ? L"" : L" ") + (word->get_required() ? name : L"[" + name + L"]");
  }
  if (extra.empty()) return Usage(head + L"expects " + words, path);
  std::wstring problem = head + L"unexpected argument '" + Wide(extra.front()) + L"'";
  // A name or a number that starts with '-' reads as an option.
  if (!words.empty() && extra.front().size() > 1 && extra.front()[0] == '-')
    problem += L" (a word that starts with '-' goes after '--')";
  return Usage(problem, path);
}

// CLI11 takes UTF-8 words, last first; "/?" is --help up to an end of options.
std::vector<std::string> ArgumentsOf(int argc, wchar_t** argv) {
  std::vector<std::string> words;
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    const std::wstring word = argv[i];
    optionsEnded = optionsEnded || word == L"--";
    words.push_back(!optionsEnded && word == L"/?" ? "--help" : Utf8(word));
  }
  std::reverse(words.begin(), words.end());
  return words;
}

// "--remote=" with nothing after the "=": CLI11 would take the next word as
// the value (the verb, say), so the line is refused before it sees it.
std::wstring EmptyOptionValue(int argc, wchar_t** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::wstring word = argv[i];
    if (word == L"--") break;
    if (word.size() > 3 && word.compare(0, 2, L"--") == 0 && word.back() == L'=') return word;
  }
  return std::wstring();
}

int Main(int argc, wchar_t** argv) {
  CLI::App root("lumbrexctl - show and change the serial-port bundling service's configuration\n"
                "through lumbrex.dll.\n",
                "lumbrexctl");
  // Set before the verbs are defined: each verb takes its parent's.
  const auto formatter = std::make_shared<CLI::Formatter>();
  formatter->label("REQUIRED", "");
  formatter->label("SUBCOMMAND", "VERB");
  formatter->label("Positionals", "Arguments");
  formatter->column_width(24);
  root.formatter(formatter);
  CommandTable table(&root);

  const std::wstring empty = EmptyOptionValue(argc, argv);
  if (!empty.empty()) return Usage(L"'" + empty + L"' needs a value after the '='", "");
  std::vector<std::string> words = ArgumentsOf(argc, argv);
  try {
    root.parse(words);
  } catch (const CLI::CallForHelp&) {
    OutUtf8(HelpOf(Reached(root)));
    return kDone;
  } catch (const CLI::CallForVersion& version) {
    OutUtf8(std::string(version.what()) + "\n");
    return kDone;
  } catch (const CLI::ParseError& error) {
    return BadCommandLine(root, error);
  }
  return table.Run();
}

}  // namespace
}  // namespace lumbrexctl

int wmain(int argc, wchar_t** argv) {
  try {
    return lumbrexctl::Main(argc, argv);
  } catch (const std::exception& failure) {
    lumbrexctl::Complain(lumbrexctl::Wide(failure.what()));
    return lumbrexctl::kRefused;
  }
}
