// What lumbrex.dll asks of WaitForSingleObject, call by call: while a
// LibraryWaits lives, the library's import of it points at a recorder, so a
// test sees the object and the time-out of each wait a call of the library
// makes on the test's thread. A command's first wait is its wait for the link
// mutex; a time-out of 0 only tests the mutex and returns at once, which a
// test can tell this way without timing anything.
#pragma once
#include <windows.h>

#include <cstring>
#include <functional>
#include <vector>

namespace linktest {

class LibraryWaits {
 public:
  struct Wait { HANDLE object; DWORD timeoutMs; };

  LibraryWaits() : slot_(FindImport(GetModuleHandleW(L"lumbrex.dll"), "WaitForSingleObject")) {
    if (slot_) real_ = reinterpret_cast<Function>(Swap(reinterpret_cast<void*>(&Record)));
  }
  ~LibraryWaits() {
    if (slot_) Swap(reinterpret_cast<void*>(real_));
  }
  LibraryWaits(const LibraryWaits&) = delete;
  LibraryWaits& operator=(const LibraryWaits&) = delete;
  bool installed() const { return slot_ != nullptr; }

  // Runs call on this thread and gives the waits the library made meanwhile.
  static std::vector<Wait> During(const std::function<void()>& call) {
    std::vector<Wait> waits;
    log_ = &waits;
    call();
    log_ = nullptr;
    return waits;
  }

 private:
  using Function = DWORD(WINAPI*)(HANDLE, DWORD);

  static DWORD WINAPI Record(HANDLE object, DWORD timeoutMs) {
    if (log_) log_->push_back({object, timeoutMs});
    return real_(object, timeoutMs);
  }

  // The library's import address slot of `function`, from whichever DLL it imports it.
  static void** FindImport(HMODULE module, const char* function) {
    if (!module) return nullptr;
    auto* const base = reinterpret_cast<BYTE*>(module);
    const auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* dll = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); dll->Name; ++dll) {
      auto* name = reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->OriginalFirstThunk);
      auto* slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->FirstThunk);
      for (; name->u1.AddressOfData; ++name, ++slot)
        if (!IMAGE_SNAP_BY_ORDINAL(name->u1.Ordinal) &&
            std::strcmp(reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + name->u1.AddressOfData)->Name, function) == 0)
          return reinterpret_cast<void**>(&slot->u1.Function);
    }
    return nullptr;
  }

  // Import slots live in pages the loader made read-only.
  void* Swap(void* function) {
    DWORD protection = 0;
    VirtualProtect(slot_, sizeof(void*), PAGE_READWRITE, &protection);
    void* const previous = InterlockedExchangePointer(slot_, function);
    VirtualProtect(slot_, sizeof(void*), protection, &protection);
    return previous;
  }

  void** const slot_;
  static inline Function real_ = nullptr;
  static inline thread_local std::vector<Wait>* log_ = nullptr;
};

}  // namespace linktest
