// One owner template for every handle-like Win32 value, with one-line aliases per kind.
#pragma once

#include <windows.h>
#include <sddl.h>

#include <utility>

#include "base/LastErrorKeeper.h"

namespace QvHandles {

// Closing never disturbs the thread's last error: callers often log or return it afterwards.
template <typename T, typename Traits>
class UniqueValue {
 public:
  UniqueValue() noexcept = default;
  explicit UniqueValue(T value) noexcept : value_(value) {}
  UniqueValue(const UniqueValue&) = delete;
  UniqueValue& operator=(const UniqueValue&) = delete;
  UniqueValue(UniqueValue&& other) noexcept : value_(other.release()) {}
  UniqueValue& operator=(UniqueValue&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~UniqueValue() { reset(); }

  T get() const noexcept { return value_; }
  bool valid() const noexcept { return IsValid(value_); }
  explicit operator bool() const noexcept { return valid(); }

  [[nodiscard]] T release() noexcept { return std::exchange(value_, Traits::Invalid()); }

  void reset(T value = Traits::Invalid()) noexcept {
    T old = std::exchange(value_, value);
    if (IsValid(old)) {
      const LastErrorKeeper keep;
      Traits::Close(old);
    }
  }

  // For out-parameters: frees the current value and hands out the slot.
  T* put() noexcept {
    reset();
    return &value_;
  }

 private:
  // Traits may name more than one invalid value; by default only their empty one is.
  static bool IsValid(T value) noexcept {
    if constexpr (requires { Traits::IsValid(value); })
      return Traits::IsValid(value);
    else
      return value != Traits::Invalid();
  }

  T value_ = Traits::Invalid();
};

// Handles closed with CloseHandle: some calls fail with NULL, others with INVALID_HANDLE_VALUE, so
// both owners treat either as no handle. They differ only in the value an empty owner holds.
inline bool IsKernelHandle(HANDLE h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
struct NullHandleTraits {
  static HANDLE Invalid() noexcept { return nullptr; }
  static bool IsValid(HANDLE h) noexcept { return IsKernelHandle(h); }
  static void Close(HANDLE h) noexcept { ::CloseHandle(h); }
};
struct FileHandleTraits {
  static HANDLE Invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static bool IsValid(HANDLE h) noexcept { return IsKernelHandle(h); }
  static void Close(HANDLE h) noexcept { ::CloseHandle(h); }
};
struct FindHandleTraits {
  static HANDLE Invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) noexcept { ::FindClose(h); }
};
struct RegKeyTraits {
  static HKEY Invalid() noexcept { return nullptr; }
  static void Close(HKEY k) noexcept { ::RegCloseKey(k); }
};
struct ServiceHandleTraits {
  static SC_HANDLE Invalid() noexcept { return nullptr; }
  static void Close(SC_HANDLE h) noexcept { ::CloseServiceHandle(h); }
};
struct ModuleTraits {
  static HMODULE Invalid() noexcept { return nullptr; }
  static void Close(HMODULE m) noexcept { ::FreeLibrary(m); }
};
struct LocalMemTraits {
  static HLOCAL Invalid() noexcept { return nullptr; }
  static void Close(HLOCAL p) noexcept { ::LocalFree(p); }
};
struct AllocatedSidTraits {
  static PSID Invalid() noexcept { return nullptr; }
  static void Close(PSID sid) noexcept { ::FreeSid(sid); }
};
template <typename G>
struct GdiObjectTraits {
  static G Invalid() noexcept { return nullptr; }
  static void Close(G g) noexcept { ::DeleteObject(g); }
};

}  // namespace QvHandles

using UniqueHandle = QvHandles::UniqueValue<HANDLE, QvHandles::NullHandleTraits>;
using UniqueFileHandle = QvHandles::UniqueValue<HANDLE, QvHandles::FileHandleTraits>;
using UniqueFindHandle = QvHandles::UniqueValue<HANDLE, QvHandles::FindHandleTraits>;
using UniqueHKey = QvHandles::UniqueValue<HKEY, QvHandles::RegKeyTraits>;
using UniqueServiceHandle = QvHandles::UniqueValue<SC_HANDLE, QvHandles::ServiceHandleTraits>;
using UniqueModule = QvHandles::UniqueValue<HMODULE, QvHandles::ModuleTraits>;
using UniqueLocalMem = QvHandles::UniqueValue<HLOCAL, QvHandles::LocalMemTraits>;
using UniqueAllocatedSid = QvHandles::UniqueValue<PSID, QvHandles::AllocatedSidTraits>;
using UniqueHFont = QvHandles::UniqueValue<HFONT, QvHandles::GdiObjectTraits<HFONT>>;
using UniqueHBrush = QvHandles::UniqueValue<HBRUSH, QvHandles::GdiObjectTraits<HBRUSH>>;
using UniqueHBitmap = QvHandles::UniqueValue<HBITMAP, QvHandles::GdiObjectTraits<HBITMAP>>;

// Runs a callable when the scope ends; for one-off clean-up that has no owner type.
template <typename F>
class ScopeExit {
 public:
  explicit ScopeExit(F f) : f_(std::move(f)) {}
  ScopeExit(const ScopeExit&) = delete;
  ScopeExit& operator=(const ScopeExit&) = delete;
  ~ScopeExit() {
    if (armed_) f_();
  }
  void Dismiss() noexcept { armed_ = false; }

 private:
  F f_;
  bool armed_ = true;
};
