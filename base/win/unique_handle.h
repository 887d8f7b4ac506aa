// One move-only owner for every kind of platform handle, and the owners of
// the platform's paired calls (COM initialisation, a resource update).
//
// Code outside these owners (and the few adapters that implement a release
// for the portable core) never calls a release function itself; scripts/lint.sh
// checks that. Each owner closes its handle exactly once and keeps the
// thread's last-error code as it was: clean-up after a failed call must not
// hide that call's code.
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
struct FindHandleTraits {  // FindClose; FindFirstFileW fails with INVALID_HANDLE_VALUE
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
  static bool IsValid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) { FindClose(h); }
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
// Fonts, bitmaps, brushes and the other objects that DeleteObject frees.
template <typename Object>
struct GdiObjectTraits {
  static Object Invalid() { return nullptr; }
  static bool IsValid(Object h) { return h != nullptr; }
  static void Close(Object h) { DeleteObject(h); }
};
struct WindowTraits {
  static HWND Invalid() { return nullptr; }
  static bool IsValid(HWND h) { return h != nullptr; }
  static void Close(HWND h) { DestroyWindow(h); }
};
struct HookTraits {
  static HHOOK Invalid() { return nullptr; }
  static bool IsValid(HHOOK h) { return h != nullptr; }
  static void Close(HHOOK h) { UnhookWindowsHookEx(h); }
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
// Memory that the shell and COM hand out with CoTaskMemAlloc (id lists,
// STRRET texts).
template <typename Pointee>
struct CoTaskMemTraits {
  static Pointee* Invalid() { return nullptr; }
  static bool IsValid(Pointee* p) { return p != nullptr; }
  static void Close(Pointee* p) { CoTaskMemFree(p); }
};

using UniqueHandleKernel = UniqueHandle<HANDLE, KernelHandleTraits>;
using UniqueFind = UniqueHandle<HANDLE, FindHandleTraits>;
using UniqueKey = UniqueHandle<HKEY, RegKeyTraits>;
using UniqueIcon = UniqueHandle<HICON, IconTraits>;
using UniqueFont = UniqueHandle<HFONT, GdiObjectTraits<HFONT>>;
using UniqueBitmap = UniqueHandle<HBITMAP, GdiObjectTraits<HBITMAP>>;
using UniqueBrush = UniqueHandle<HBRUSH, GdiObjectTraits<HBRUSH>>;
using UniqueWindow = UniqueHandle<HWND, WindowTraits>;
using UniqueHook = UniqueHandle<HHOOK, HookTraits>;
using UniqueModule = UniqueHandle<HMODULE, ModuleTraits>;
using UniqueMenu = UniqueHandle<HMENU, MenuTraits>;
using UniqueLocal = UniqueHandle<HLOCAL, LocalMemTraits>;
template <typename Pointee>
using UniqueCoTaskMem = UniqueHandle<Pointee*, CoTaskMemTraits<Pointee>>;

// COM on the calling thread (CoInitialize), uninitialised again when the
// owner ends if the call succeeded (S_FALSE, already initialised, counts as
// success and is balanced too). CoInitialize reports through its result, not
// through the last error.
class ComInitialization {
 public:
  ComInitialization() noexcept : result_(CoInitialize(nullptr)) {}
  ComInitialization(const ComInitialization&) = delete;
  ComInitialization& operator=(const ComInitialization&) = delete;
  ~ComInitialization() {
    if (SUCCEEDED(result_)) {
      DWORD saved = GetLastError();
      CoUninitialize();
      SetLastError(saved);
    }
  }
  HRESULT result() const noexcept { return result_; }

 private:
  HRESULT result_;
};

// One update of an executable's resources (BeginUpdateResourceW). Nothing is
// written unless Commit succeeds: an update that ends uncommitted is
// discarded (EndUpdateResourceW with fDiscard TRUE).
class ResourceUpdate {
 public:
  ResourceUpdate() noexcept = default;
  explicit ResourceUpdate(HANDLE update) noexcept : update_(update) {}
  ResourceUpdate(const ResourceUpdate&) = delete;
  ResourceUpdate& operator=(const ResourceUpdate&) = delete;
  ResourceUpdate(ResourceUpdate&& other) noexcept : update_(std::exchange(other.update_, nullptr)) {}
  ResourceUpdate& operator=(ResourceUpdate&& other) noexcept {
    if (this != &other) {
      Discard();
      update_ = std::exchange(other.update_, nullptr);
    }
    return *this;
  }
  ~ResourceUpdate() { Discard(); }

  HANDLE get() const noexcept { return update_; }
  explicit operator bool() const noexcept { return update_ != nullptr; }

  // Writes the updates into the file. The update is over either way; false
  // with EndUpdateResourceW's code as the last error, or ERROR_INVALID_HANDLE
  // when there is no update to commit.
  [[nodiscard]] bool Commit() noexcept {
    HANDLE update = std::exchange(update_, nullptr);
    if (update == nullptr) {
      SetLastError(ERROR_INVALID_HANDLE);
      return false;
    }
    return EndUpdateResourceW(update, FALSE) != FALSE;
  }

  // Ends the update without writing anything; keeps the last error.
  void Discard() noexcept {
    HANDLE update = std::exchange(update_, nullptr);
    if (update != nullptr) {
      DWORD saved = GetLastError();
      EndUpdateResourceW(update, TRUE);
      SetLastError(saved);
    }
  }

 private:
  HANDLE update_ = nullptr;
};

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
