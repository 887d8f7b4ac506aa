// One move-only owner for every kind of platform handle.
//
// Each owner closes its handle exactly once and keeps the thread's last-error
// code as it was: clean-up after a failed call must not hide that call's code.
#pragma once

#include <windows.h>

#include <objbase.h>

#include <utility>

namespace tvn {

template <typename Handle, typename Traits>
class UniqueHandle {
 public:
  UniqueHandle() noexcept = default;
  explicit UniqueHandle(Handle handle) noexcept : handle_(handle) {}
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~UniqueHandle() { reset(); }

  Handle get() const noexcept { return handle_; }
  explicit operator bool() const noexcept { return Traits::IsValid(handle_); }

  // Detaches the handle without closing it.
  Handle release() noexcept { return std::exchange(handle_, Traits::Invalid()); }

  // Closes the held handle (if any) and takes the new one.
  void reset(Handle handle = Traits::Invalid()) noexcept {
    if (Traits::IsValid(handle_)) {
      DWORD saved = GetLastError();
      Traits::Close(handle_);
      SetLastError(saved);
    }
    handle_ = handle;
  }

  // Frees the old value, then hands out the address for an out-parameter.
  Handle* put() noexcept {
    reset();
    return &handle_;
  }

 private:
  Handle handle_ = Traits::Invalid();
};

struct KernelHandleTraits {  // CloseHandle; both NULL and INVALID_HANDLE_VALUE mean none
  static HANDLE Invalid() { return nullptr; }
  static bool IsValid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) { CloseHandle(h); }
};
struct RegKeyTraits {
  static HKEY Invalid() { return nullptr; }
  static bool IsValid(HKEY h) { return h != nullptr; }
  static void Close(HKEY h) { RegCloseKey(h); }
};
struct IconTraits {
  static HICON Invalid() { return nullptr; }
  static bool IsValid(HICON h) { return h != nullptr; }
  static void Close(HICON h) { DestroyIcon(h); }
};
struct FontTraits {
  static HFONT Invalid() { return nullptr; }
  static bool IsValid(HFONT h) { return h != nullptr; }
  static void Close(HFONT h) { DeleteObject(h); }
};
struct ModuleTraits {
  static HMODULE Invalid() { return nullptr; }
  static bool IsValid(HMODULE h) { return h != nullptr; }
  static void Close(HMODULE h) { FreeLibrary(h); }
};
struct MenuTraits {
  static HMENU Invalid() { return nullptr; }
  static bool IsValid(HMENU h) { return h != nullptr; }
  static void Close(HMENU h) { DestroyMenu(h); }
};
struct LocalMemTraits {
  static HLOCAL Invalid() { return nullptr; }
  static bool IsValid(HLOCAL h) { return h != nullptr; }
  static void Close(HLOCAL h) { LocalFree(h); }
};

using UniqueHandleKernel = UniqueHandle<HANDLE, KernelHandleTraits>;
using UniqueKey = UniqueHandle<HKEY, RegKeyTraits>;
using UniqueIcon = UniqueHandle<HICON, IconTraits>;
using UniqueFont = UniqueHandle<HFONT, FontTraits>;
using UniqueModule = UniqueHandle<HMODULE, ModuleTraits>;
using UniqueMenu = UniqueHandle<HMENU, MenuTraits>;
using UniqueLocal = UniqueHandle<HLOCAL, LocalMemTraits>;

// COM interface pointer: Release on reset, last error preserved.
template <typename Interface>
class ComPtr {
 public:
  ComPtr() noexcept = default;
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ComPtr(ComPtr&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) reset(std::exchange(other.ptr_, nullptr));
    return *this;
  }
  ~ComPtr() { reset(); }
  Interface* get() const noexcept { return ptr_; }
  Interface* operator->() const noexcept { return ptr_; }
  explicit operator bool() const noexcept { return ptr_ != nullptr; }
  Interface* release() noexcept { return std::exchange(ptr_, nullptr); }
  void reset(Interface* ptr = nullptr) noexcept {
    if (ptr_) {
      DWORD saved = GetLastError();
      ptr_->Release();
      SetLastError(saved);
    }
    ptr_ = ptr;
  }
  Interface** put() noexcept {
    reset();
    return &ptr_;
  }
  void** put_void() noexcept { return reinterpret_cast<void**>(put()); }

 private:
  Interface* ptr_ = nullptr;
};

}  // namespace tvn
