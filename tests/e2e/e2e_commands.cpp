#include "e2e/e2e_commands.h"

#include "lumbrex.h"
#include "support/variants.h"

using testsupport::Bstr;
using testsupport::I4;
using testsupport::Var;

namespace e2e {
namespace {

int WithBundleSidePort(int(WINAPI* fn)(VARIANT, int, VARIANT), const std::wstring& bundle, int side,
                       const std::wstring& port) {
  Var b, p;
  *b = Bstr(bundle);
  *p = Bstr(port);
  return fn(b.copy(), side, p.copy());
}

int WithBundle(int(WINAPI* fn)(VARIANT), const std::wstring& bundle) {
  Var b;
  *b = Bstr(bundle);
  return fn(b.copy());
}

std::wstring Port(wchar_t letter, int round) { return letter + std::to_wstring(round); }

}  // namespace

int Add(const std::wstring& bundle) { return WithBundle(&AddBundle, bundle); }
int Delete(const std::wstring& bundle) { return WithBundle(&DeleteBundle, bundle); }
int State(const std::wstring& bundle) { return WithBundle(&GetBundleState, bundle); }

int AddPort(const std::wstring& bundle, int side, const std::wstring& port, int type) {
  Var b, p;
  *b = Bstr(bundle);
  *p = Bstr(port);
  return BundleAddPort(b.copy(), side, p.copy(), I4(type));
}

int DeletePort(const std::wstring& bundle, int side, const std::wstring& port) {
  return WithBundleSidePort(&BundleDeletePort, bundle, side, port);
}
int PortState(const std::wstring& bundle, int side, const std::wstring& port) {
  return WithBundleSidePort(&BundleGetPortState, bundle, side, port);
}
int SetMain(const std::wstring& bundle, int side, const std::wstring& port) {
  return WithBundleSidePort(&BundleSetMainPortForSide, bundle, side, port);
}

std::wstring RunLoadClient(const std::wstring& bundle, int rounds, int* commandsDone) {
  *commandsDone = 0;
  if (Add(bundle) != 1) return L"AddBundle " + bundle;
  ++*commandsDone;
  for (int r = 0; r < rounds; ++r) {
    const int side = r % 2;
    const int type = kLoadTypes[r % 4];
    const std::wstring p = Port(L'P', r), x = Port(L'X', r);
    const std::wstring where = L" " + bundle + L" side " + std::to_wstring(side) + L" round " + std::to_wstring(r);
    if (AddPort(bundle, side, p, type) != 1) return L"AddPort P" + where;
    ++*commandsDone;
    if (PortState(bundle, side, p) != 1) return L"PortState P" + where;
    ++*commandsDone;
    if (SetMain(bundle, side, p) != 1) return L"SetMain P" + where;
    ++*commandsDone;
    if (AddPort(bundle, side, x, type) != 1) return L"AddPort X" + where;
    ++*commandsDone;
    if (DeletePort(bundle, side, r % 3 == 0 ? p : x) != 1) return L"DeletePort" + where;
    ++*commandsDone;
  }
  return L"";
}

std::vector<LoadPort> LoadExpectedPorts(int rounds, int side) {
  std::vector<LoadPort> ports;
  for (int r = side; r < rounds; r += 2) ports.push_back({Port(r % 3 == 0 ? L'X' : L'P', r), kLoadTypes[r % 4]});
  return ports;
}

std::wstring LoadExpectedMain(int rounds, int side) {
  // The last round of the side set P<r> as main; deleting P<r> cleared it.
  int last = -1;
  for (int r = side; r < rounds; r += 2) last = r;
  if (last < 0 || last % 3 == 0) return L"";
  return Port(L'P', last);
}

}  // namespace e2e
