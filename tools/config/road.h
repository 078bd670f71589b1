// The one road from a name to lumbrex.dll. The library sends names as given,
// in the calling thread's ANSI code page and unescaped: a name with "!" would
// run a command of its own, one the code page lacks arrives as a look-alike or
// "?" and names another bundle or application. So every export that sends a
// name is called here, and only with names that passed the check
// (callers/safe_name.h) on the thread that then calls: a SentName only
// CheckName makes, a CheckedStep only CheckStep makes. Whatever the name's
// source (document, command line, registry, saved plan, rollback), a name
// that fails is a step that cannot be made, said with its reason and never
// sent. A new changing export is one more case in Send.
#pragma once
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

#include "calls.h"
#include "config_plan.h"

namespace lumbrexctl {

enum class NameKind { kBundle, kPort, kApplication };

class SentName {
 public:
  const std::wstring& text() const { return text_; }

 private:
  explicit SentName(std::wstring text) : text_(std::move(text)) {}
  friend std::optional<SentName> CheckName(std::wstring_view name, NameKind kind, std::wstring* why);
  std::wstring text_;
};

// The name as it goes to the service, or nothing with *why set: "the bundle
// name 'x!y' holds '!', which ends a command on the service's pipe".
std::optional<SentName> CheckName(std::wstring_view name, NameKind kind, std::wstring* why);

// A step whose names, type and parameter words all passed: what Send takes.
class CheckedStep {
 public:
  const config::Step& step() const { return step_; }

 private:
  friend std::optional<CheckedStep> CheckStep(const config::Step& step, std::wstring* why);
  explicit CheckedStep(const config::Step& step) : step_(step) {}
  config::Step step_;
  std::optional<SentName> bundle_, port_, app_;
  LONG type_ = 0;
  int parity_ = 0, flow_ = 0;
  friend lumbrex::CallOutcome Send(const CheckedStep& checked);
};

// The step ready to send, or nothing with *why set: the reason it cannot be made.
std::optional<CheckedStep> CheckStep(const config::Step& step, std::wstring* why);

// The step's export call, made.
lumbrex::CallOutcome Send(const CheckedStep& checked);

// GetBundleState and BundleGetPortState: they send the name too.
lumbrex::CallOutcome AskBundleState(const SentName& bundle);
lumbrex::CallOutcome AskPortState(const SentName& bundle, int side, const SentName& port);

}  // namespace lumbrexctl
