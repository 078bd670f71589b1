// The measured sections, each against its own baseline. They run in one
// process: load first (before lumbrex.dll is loaded for the rest), then the
// registry queries, then the commands, then the automation object.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include <type_traits>

#include "api/raii.h"
#include "lumbrex.h"
#include "measurements.h"

namespace bench {

// A string argument of the bench's own: VT_BSTR, freed with its owner.
inline void SetText(lumbrex::UniqueVariant* v, const wchar_t* text) {
  v->reset();
  (*v)->vt = VT_BSTR;
  (*v)->bstrVal = SysAllocString(text);
}

// lumbrex.dll loaded by hand (LoadLibrary, GetProcAddress), so that the load
// measurement starts with the DLL not loaded.
struct Library {
  HMODULE module = nullptr;
  decltype(&::GetBundlesNames) getBundlesNames = nullptr;
  decltype(&::GetPortsNamesByBundleAndSide) getPortsNames = nullptr;
  decltype(&::BundleGetRealPortParameters) getRealPortParameters = nullptr;
  decltype(&::ConnectToLocalService) connect = nullptr;
  decltype(&::DisconnectFromService) disconnect = nullptr;
  decltype(&::GetBundleState) getBundleState = nullptr;

  bool Load() {
    module = LoadLibraryW(L"lumbrex.dll");
    if (!module) return false;
    auto get = [&](auto& fn, const char* name) {
      fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(reinterpret_cast<void*>(GetProcAddress(module, name)));
      return fn != nullptr;
    };
    return get(getBundlesNames, "GetBundlesNames") && get(getPortsNames, "GetPortsNamesByBundleAndSide") &&
           get(getRealPortParameters, "BundleGetRealPortParameters") && get(connect, "ConnectToLocalService") &&
           get(disconnect, "DisconnectFromService") && get(getBundleState, "GetBundleState");
  }
};

LoadResults MeasureLoad(const Settings& settings);                              // load_section.cpp
RegistryResults MeasureRegistryQueries(const Library& lib, const Settings& settings);  // registry_section.cpp
CommandResults MeasureCommands(const Library& lib, const Settings& settings);         // command_section.cpp
AutomationResults MeasureAutomation(const Library& lib, const Settings& settings);   // automation_section.cpp
ConfigResults MeasureConfigVerbs(const Settings& settings);                          // config_section.cpp

}  // namespace bench
