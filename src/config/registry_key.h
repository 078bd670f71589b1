// The one read-only registry key class: the only code of the library that opens,
// reads and enumerates keys (its handle is held by a UniqueHkey).
#pragma once
#include <windows.h>

#include <cstdint>
#include <vector>

#include "api/raii.h"
#include "common/text.h"

namespace lumbrex {

class RegistryKey {
 public:
  RegistryKey() = default;
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;

  // HKEY_LOCAL_MACHINE\path with the given access mask (which picks the view).
  LONG Open(const Text& path, REGSAM access);
  // Closes the handle if there is one; returns RegCloseKey's code (0 if none).
  LONG Close();

  // String read: REG_SZ or REG_EXPAND_SZ (unexpanded), must end with NUL.
  // 2 missing, 13 wrong type / no final NUL / odd returned size, 234 odd size.
  // Strict, because callers report these codes as the last-error code; the
  // stand-in service reads its own values more leniently (config_store.cpp).
  LONG QueryString(const Text& name, Text* text) const;
  // The serial-device map's string read, for GetRealPortsList:
  // a failed first query or a non-string type sizes the text to 0 characters,
  // and the second query always runs. Returns 0, the second query's code (234
  // when the sized text is too short), or 13 for a wrong type, an odd returned
  // size or a missing final NUL. Whatever the code, *text is set: the data
  // read up to its first NUL, empty when the second query failed.
  LONG QueryStringAnyway(const Text& name, Text* text) const;
  // 32-bit read: 2 missing, 234 longer than 4 bytes, 13 not REG_DWORD.
  LONG QueryDword(const Text& name, uint32_t* value) const;

  // Append names in enumeration order until ERROR_NO_MORE_ITEMS. A name longer
  // than the buffer (ERROR_MORE_DATA) is skipped; any other answer ends the
  // enumeration and is returned, so an enumeration always ends. 0 for a normal
  // end.
  LONG EnumSubkeyNames(std::vector<Text>* names) const;  // 1024-character buffer
  LONG EnumValueNames(std::vector<Text>* names) const;   // 128-character buffer

 private:
  UniqueHkey key_;  // closed with the object when Close was not called
};

// The list readers: open HKEY_LOCAL_MACHINE\path with `access`, enumerate,
// close. An open failure is returned with the list empty; otherwise 0 with the
// names read (all of them, or those read before an enumeration cut short: see
// EnumSubkeyNames).
LONG ReadSubkeyNameList(const Text& path, REGSAM access, std::vector<Text>* names);
LONG ReadValueNameList(const Text& path, REGSAM access, std::vector<Text>* names);

}  // namespace lumbrex
