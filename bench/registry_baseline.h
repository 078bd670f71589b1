// The benchmark's own registry: the configuration it builds under the root
// key, and the baselines, the registry calls the list and parameter exports
// are made of, made directly, with the result array made in one go.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include <string>

#include "api/raii.h"
#include "common/names.h"

namespace bench {

inline constexpr const wchar_t* kRoot = lumbrex::kConfigRootKeyPath;
// The side key of a bundle under the root, as the library composes it.
std::wstring SidePath(const std::wstring& bundle, int side);

using Key = lumbrex::UniqueHkey;

void WipeRoot();
LONG CreatePath(const std::wstring& path, Key* key);
void SetEntry(HKEY key, const std::wstring& name, const std::wstring& text);
// Subkeys B00000 ... of the root until there are `count`.
void GrowBundles(int* have, int count);
// Port entries COM00000 ... on root\P\IN until there are `count`.
void GrowPorts(int* have, int count);

// Registry calls the baselines made since the count was last set to 0.
extern long long g_baselineRegistryCalls;
int BaselineBundlesNames(VARIANT* out);
int BaselinePortsNames(const wchar_t* bundle, int side, VARIANT* out);
// values: baud, parity, data, stop, flow as BundleGetRealPortParameters gives them.
int BaselineRealPortParameters(const wchar_t* bundle, int side, const wchar_t* port, int* values);

// Same element count and same strings in the same order.
bool SameStrings(const VARIANT& a, const VARIANT& b, int expected);

}  // namespace bench
