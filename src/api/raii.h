// RAII owners for the Win32 and OLE automation resources the library holds.
// Every resource has exactly one owner; no path closes anything by hand.
#pragma once
#include <windows.h>
#include <oleauto.h>
#include <utility>

namespace lumbrex {

// A kernel handle; both null and INVALID_HANDLE_VALUE count as "none".
class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(HANDLE h) : h_(h) {}
  UniqueHandle(UniqueHandle&& o) noexcept : h_(o.release()) {}
  UniqueHandle& operator=(UniqueHandle&& o) noexcept { reset(o.release()); return *this; }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  ~UniqueHandle() { reset(); }
  HANDLE get() const { return h_; }
  bool valid() const { return h_ != nullptr && h_ != INVALID_HANDLE_VALUE; }
  HANDLE release() { return std::exchange(h_, INVALID_HANDLE_VALUE); }
  void reset(HANDLE h = INVALID_HANDLE_VALUE) {
    HANDLE old = std::exchange(h_, h);
    if (old != nullptr && old != INVALID_HANDLE_VALUE) CloseHandle(old);
  }
 private:
  HANDLE h_ = INVALID_HANDLE_VALUE;
};

class UniqueBstr {
 public:
  UniqueBstr() = default;
  explicit UniqueBstr(BSTR b) : b_(b) {}
  UniqueBstr(UniqueBstr&& o) noexcept : b_(o.release()) {}
  UniqueBstr& operator=(UniqueBstr&& o) noexcept { reset(o.release()); return *this; }
  UniqueBstr(const UniqueBstr&) = delete;
  UniqueBstr& operator=(const UniqueBstr&) = delete;
  ~UniqueBstr() { reset(); }
  BSTR get() const { return b_; }
  BSTR release() { return std::exchange(b_, nullptr); }
  void reset(BSTR b = nullptr) { SysFreeString(std::exchange(b_, b)); }
 private:
  BSTR b_ = nullptr;
};

// A VARIANT of our own, cleared when it goes out of scope.
class UniqueVariant {
 public:
  UniqueVariant() { VariantInit(&v_); }
  UniqueVariant(const UniqueVariant&) = delete;
  UniqueVariant& operator=(const UniqueVariant&) = delete;
  ~UniqueVariant() { VariantClear(&v_); }
  VARIANT* get() { return &v_; }
  const VARIANT* get() const { return &v_; }
  VARIANT* operator->() { return &v_; }
  const VARIANT* operator->() const { return &v_; }
  // Hands the content over; this owner is VT_EMPTY afterwards.
  VARIANT release() { VARIANT out = v_; VariantInit(&v_); return out; }
 private:
  VARIANT v_;
};

class UniqueSafeArray {
 public:
  UniqueSafeArray() = default;
  explicit UniqueSafeArray(SAFEARRAY* a) : a_(a) {}
  UniqueSafeArray(const UniqueSafeArray&) = delete;
  UniqueSafeArray& operator=(const UniqueSafeArray&) = delete;
  ~UniqueSafeArray() { reset(); }
  SAFEARRAY* get() const { return a_; }
  SAFEARRAY* release() { return std::exchange(a_, nullptr); }
  void reset(SAFEARRAY* a = nullptr) {
    if (SAFEARRAY* old = std::exchange(a_, a)) SafeArrayDestroy(old);
  }
 private:
  SAFEARRAY* a_ = nullptr;
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
