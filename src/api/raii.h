// The owners of the Win32 and OLE automation resources that the library, the
// stand-in service and their tests hold: one owner per kind of resource, used
// everywhere, so no path closes or frees anything by hand.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include <utility>

namespace lumbrex {

// Sole owner of one resource of the kind Traits describes: Traits::Type, the
// "none" value Traits::None(), Traits::Valid and Traits::Close. Movable, not
// copyable; closes what it holds when reset or destroyed.
template <class Traits>
class UniqueResource {
 public:
  using Type = typename Traits::Type;
  UniqueResource() = default;
  explicit UniqueResource(Type r) : r_(r) {}
  UniqueResource(UniqueResource&& o) noexcept : r_(o.release()) {}
  UniqueResource& operator=(UniqueResource&& o) noexcept {
    reset(o.release());
    return *this;
  }
  UniqueResource(const UniqueResource&) = delete;
  UniqueResource& operator=(const UniqueResource&) = delete;
  ~UniqueResource() { reset(); }

  Type get() const { return r_; }
  bool valid() const { return Traits::Valid(r_); }
  // Gives the resource up without closing it; the owner holds none afterwards.
  Type release() { return std::exchange(r_, Traits::None()); }
  void reset(Type r = Traits::None()) {
    const Type old = std::exchange(r_, r);
    if (Traits::Valid(old)) Traits::Close(old);
  }
  // For a call that hands its resource back through a pointer: what the owner
  // held is closed first.
  Type* put() {
    reset();
    return &r_;
  }

 private:
  Type r_ = Traits::None();
};

// A kernel handle (file, pipe, event, process, thread). Both null and
// INVALID_HANDLE_VALUE count as none, since Windows' calls return one or the
// other on failure.
struct KernelHandleTraits {
  using Type = HANDLE;
  static HANDLE None() { return INVALID_HANDLE_VALUE; }
  static bool Valid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) { CloseHandle(h); }
};
using UniqueHandle = UniqueResource<KernelHandleTraits>;

// An open registry key.
struct RegistryKeyTraits {
  using Type = HKEY;
  static HKEY None() { return nullptr; }
  static bool Valid(HKEY k) { return k != nullptr; }
  static void Close(HKEY k) { RegCloseKey(k); }
};
using UniqueHkey = UniqueResource<RegistryKeyTraits>;

// Memory that Windows allocated with LocalAlloc for the caller (security
// descriptors from the SDDL converter, FormatMessage's text).
struct LocalMemoryTraits {
  using Type = HLOCAL;
  static HLOCAL None() { return nullptr; }
  static bool Valid(HLOCAL p) { return p != nullptr; }
  static void Close(HLOCAL p) { LocalFree(p); }
};
using UniqueLocalMemory = UniqueResource<LocalMemoryTraits>;

// A handle of the Service Control Manager or of one of its services.
struct ServiceHandleTraits {
  using Type = SC_HANDLE;
  static SC_HANDLE None() { return nullptr; }
  static bool Valid(SC_HANDLE h) { return h != nullptr; }
  static void Close(SC_HANDLE h) { CloseServiceHandle(h); }
};
using UniqueServiceHandle = UniqueResource<ServiceHandleTraits>;

// A BSTR (SysFreeString takes null as well).
struct BstrTraits {
  using Type = BSTR;
  static BSTR None() { return nullptr; }
  static bool Valid(BSTR b) { return b != nullptr; }
  static void Close(BSTR b) { SysFreeString(b); }
};
using UniqueBstr = UniqueResource<BstrTraits>;

// A SAFEARRAY of our own (SafeArrayDestroy frees its elements as well).
// Destroying fails while a lock is held: a SafeArrayLockHold on it must end first.
struct SafeArrayTraits {
  using Type = SAFEARRAY*;
  static SAFEARRAY* None() { return nullptr; }
  static bool Valid(SAFEARRAY* a) { return a != nullptr; }
  static void Close(SAFEARRAY* a) { SafeArrayDestroy(a); }
};
using UniqueSafeArray = UniqueResource<SafeArrayTraits>;

// One lock on a SAFEARRAY (SafeArrayLock), released at the end of its scope
// or by Unlock. SafeArrayRedim refuses a locked array, so a builder unlocks
// around each growth and locks again.
class SafeArrayLockHold {
 public:
  SafeArrayLockHold() = default;
  SafeArrayLockHold(const SafeArrayLockHold&) = delete;
  SafeArrayLockHold& operator=(const SafeArrayLockHold&) = delete;
  ~SafeArrayLockHold() { Unlock(); }
  // Locks `array` (after releasing a lock held on another); false if it failed.
  bool Lock(SAFEARRAY* array) {
    Unlock();
    if (array == nullptr || FAILED(SafeArrayLock(array))) return false;
    held_ = array;
    return true;
  }
  void Unlock() {
    if (held_ != nullptr) SafeArrayUnlock(std::exchange(held_, nullptr));
  }
 private:
  SAFEARRAY* held_ = nullptr;
};

// Ownership of a mutex (WaitForSingleObject gave it) until the end of the
// scope; `owned` false holds nothing, for a wait that did not give it.
class MutexHold {
 public:
  MutexHold(HANDLE mutex, bool owned) : mutex_(owned ? mutex : nullptr) {}
  MutexHold(const MutexHold&) = delete;
  MutexHold& operator=(const MutexHold&) = delete;
  ~MutexHold() {
    if (mutex_ != nullptr) ReleaseMutex(mutex_);
  }
 private:
  HANDLE mutex_;
};

// A VARIANT of our own, cleared when it goes out of scope.
class UniqueVariant {
 public:
  UniqueVariant() { VariantInit(&v_); }
  // Takes over what a VARIANT made elsewhere holds.
  explicit UniqueVariant(const VARIANT& made) : v_(made) {}
  UniqueVariant(const UniqueVariant&) = delete;
  UniqueVariant& operator=(const UniqueVariant&) = delete;
  ~UniqueVariant() { VariantClear(&v_); }
  VARIANT* get() { return &v_; }
  const VARIANT* get() const { return &v_; }
  VARIANT* operator->() { return &v_; }
  const VARIANT* operator->() const { return &v_; }
  // Hands the content over; this owner is VT_EMPTY afterwards.
  VARIANT release() { VARIANT out = v_; VariantInit(&v_); return out; }
  // Frees the content now; this owner is VT_EMPTY afterwards.
  void reset() { VariantClear(&v_); }
 private:
  VARIANT v_;
};

// Clears a VARIANT that lives elsewhere when the scope ends, on every path
// (returns and exceptions alike): for an argument whose content the callee must
// free although its storage is the caller's. It owns the content, not the
// VARIANT itself.
class ScopedVariantClear {
 public:
  explicit ScopedVariantClear(VARIANT* v) : v_(v) {}
  ScopedVariantClear(const ScopedVariantClear&) = delete;
  ScopedVariantClear& operator=(const ScopedVariantClear&) = delete;
  ~ScopedVariantClear() { VariantClear(v_); }
 private:
  VARIANT* v_;
};

// A Win32 critical section, initialised and deleted with its owner.
class CriticalSection {
 public:
  CriticalSection() { InitializeCriticalSection(&cs_); }
  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;
  ~CriticalSection() { DeleteCriticalSection(&cs_); }
  void lock() { EnterCriticalSection(&cs_); }
  void unlock() { LeaveCriticalSection(&cs_); }
 private:
  CRITICAL_SECTION cs_;
};

}  // namespace lumbrex
