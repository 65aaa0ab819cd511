// RAII for Win32 handles: one owning template with a close policy and an empty policy, plus
// the OLE layer's scoped COM reference, medium and lock, and GDI objects, icons, windows and
// paints.
#pragma once

#include <windows.h>
#include <ole2.h>

#include <cstddef>
#include <utility>

namespace quillet {

// What counts as "no handle". Kernel objects use null, files and searches use
// INVALID_HANDLE_VALUE; keeping it in the type means the two are never mixed up.
template <typename Handle>
struct NullIsEmpty {
  static Handle Value() noexcept { return nullptr; }
};
struct InvalidIsEmpty {
  static HANDLE Value() noexcept { return INVALID_HANDLE_VALUE; }
};

// How a handle is given back; true when the platform accepted it.
struct CloseWithCloseHandle {
  static bool Close(HANDLE handle) noexcept { return ::CloseHandle(handle) != FALSE; }
};
struct CloseWithFindClose {
  static bool Close(HANDLE handle) noexcept { return ::FindClose(handle) != FALSE; }
};

template <typename Handle, typename ClosePolicy, typename EmptyPolicy>
class UniqueHandle {
 public:
  UniqueHandle() noexcept = default;
  explicit UniqueHandle(Handle handle) noexcept : handle_(handle) {}
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.Release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  ~UniqueHandle() { Close(); }

  static Handle Empty() noexcept { return EmptyPolicy::Value(); }

  Handle Get() const noexcept { return handle_; }
  bool Valid() const noexcept { return handle_ != Empty(); }
  explicit operator bool() const noexcept { return Valid(); }

  // Gives up ownership without closing.
  Handle Release() noexcept { return std::exchange(handle_, Empty()); }
  void Reset(Handle handle = EmptyPolicy::Value()) noexcept {
    Close();
    handle_ = handle;
  }
  // Closes now, for callers that must know whether the close succeeded (a file's last
  // write can fail only there). Closing an empty handle succeeds.
  bool Close() noexcept {
    Handle handle = Release();
    return handle == Empty() || ClosePolicy::Close(handle);
  }

 private:
  Handle handle_ = EmptyPolicy::Value();
};

// Processes, threads, events: null when empty, closed with CloseHandle.
using AutoHandle = UniqueHandle<HANDLE, CloseWithCloseHandle, NullIsEmpty<HANDLE>>;
// CreateFile results: INVALID_HANDLE_VALUE when empty.
using AutoFile = UniqueHandle<HANDLE, CloseWithCloseHandle, InvalidIsEmpty>;
// FindFirstFile searches: INVALID_HANDLE_VALUE when empty, closed with FindClose.
using AutoFindHandle = UniqueHandle<HANDLE, CloseWithFindClose, InvalidIsEmpty>;

// A COM reference that is released when it goes out of scope; copying adds a reference.
template <typename Interface>
class ComPtr {
 public:
  ComPtr() noexcept = default;
  // Takes over a reference the caller already owns (a creation's result).
  static ComPtr Attach(Interface* pointer) noexcept {
    ComPtr result;
    result.pointer_ = pointer;
    return result;
  }
  // Adds a reference of its own to a borrowed pointer.
  static ComPtr Share(Interface* pointer) noexcept {
    if (pointer) pointer->AddRef();
    return Attach(pointer);
  }
  ComPtr(const ComPtr& other) noexcept : ComPtr(Share(other.pointer_)) {}
  ComPtr& operator=(const ComPtr& other) noexcept {
    if (this != &other) *this = Share(other.pointer_);
    return *this;
  }
  ComPtr(ComPtr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) {
      Reset();
      pointer_ = std::exchange(other.pointer_, nullptr);
    }
    return *this;
  }
  ~ComPtr() { Reset(); }

  Interface* Get() const noexcept { return pointer_; }
  Interface* operator->() const noexcept { return pointer_; }
  explicit operator bool() const noexcept { return pointer_ != nullptr; }
  void Reset() noexcept {
    if (Interface* pointer = std::exchange(pointer_, nullptr)) pointer->Release();
  }
  // For out-parameters (CoCreateInstance, QueryInterface): drops the old reference first.
  void** PutVoid() noexcept {
    Reset();
    return reinterpret_cast<void**>(&pointer_);
  }
  Interface** Put() noexcept {
    Reset();
    return &pointer_;
  }

 private:
  Interface* pointer_ = nullptr;
};

// A storage medium filled by IDataObject::GetData, given back with ReleaseStgMedium.
class AutoStgMedium {
 public:
  AutoStgMedium() noexcept = default;
  AutoStgMedium(const AutoStgMedium&) = delete;
  AutoStgMedium& operator=(const AutoStgMedium&) = delete;
  ~AutoStgMedium() { Reset(); }

  // For GetData's out-parameter: releases what was held before.
  STGMEDIUM* Put() noexcept {
    Reset();
    return &medium_;
  }
  const STGMEDIUM& Get() const noexcept { return medium_; }
  // The memory block, or null when the medium is not global memory.
  HGLOBAL Global() const noexcept {
    return medium_.tymed == TYMED_HGLOBAL ? medium_.hGlobal : nullptr;
  }
  void Reset() noexcept {
    if (medium_.tymed != TYMED_NULL || medium_.pUnkForRelease) ::ReleaseStgMedium(&medium_);
    medium_ = STGMEDIUM{};
  }

 private:
  STGMEDIUM medium_{};
};

// GlobalLock for a scope; the block's bytes with the size the platform reports for it.
class GlobalLockScope {
 public:
  explicit GlobalLockScope(HGLOBAL block) noexcept
      : block_(block),
        data_(block ? ::GlobalLock(block) : nullptr),
        size_(data_ ? ::GlobalSize(block) : 0) {}
  GlobalLockScope(const GlobalLockScope&) = delete;
  GlobalLockScope& operator=(const GlobalLockScope&) = delete;
  ~GlobalLockScope() {
    if (data_) ::GlobalUnlock(block_);
  }

  const void* data() const noexcept { return data_; }
  std::size_t size() const noexcept { return size_; }

 private:
  HGLOBAL block_;
  void* data_;
  std::size_t size_;
};

// GDI objects (brushes, regions, fonts, bitmaps): given back with DeleteObject.
struct CloseWithDeleteObject {
  static bool Close(HGDIOBJ object) noexcept { return ::DeleteObject(object) != FALSE; }
};
template <typename Object>
using AutoGdiObject = UniqueHandle<Object, CloseWithDeleteObject, NullIsEmpty<Object>>;
using AutoBrush = AutoGdiObject<HBRUSH>;
using AutoRegion = AutoGdiObject<HRGN>;
using AutoFont = AutoGdiObject<HFONT>;

// Icons loaded with LoadImage (not shared): given back with DestroyIcon.
struct CloseWithDestroyIcon {
  static bool Close(HICON icon) noexcept { return ::DestroyIcon(icon) != FALSE; }
};
using AutoIcon = UniqueHandle<HICON, CloseWithDestroyIcon, NullIsEmpty<HICON>>;

// A window this code created and must destroy itself.
struct CloseWithDestroyWindow {
  static bool Close(HWND window) noexcept { return ::DestroyWindow(window) != FALSE; }
};
using AutoWindow = UniqueHandle<HWND, CloseWithDestroyWindow, NullIsEmpty<HWND>>;

// One WM_PAINT: BeginPaint on entry, EndPaint on exit.
class PaintScope {
 public:
  explicit PaintScope(HWND window) noexcept : window_(window) {
    dc_ = ::BeginPaint(window, &paint_);
  }
  PaintScope(const PaintScope&) = delete;
  PaintScope& operator=(const PaintScope&) = delete;
  ~PaintScope() {
    if (dc_) ::EndPaint(window_, &paint_);
  }
  HDC dc() const noexcept { return dc_; }
  // The part of the client area that needs repainting.
  const RECT& clip() const noexcept { return paint_.rcPaint; }

 private:
  HWND window_;
  PAINTSTRUCT paint_{};
  HDC dc_ = nullptr;
};

// A window's device context from GetDC, released with ReleaseDC.
class WindowDC {
 public:
  explicit WindowDC(HWND window) noexcept : window_(window), dc_(::GetDC(window)) {}
  WindowDC(const WindowDC&) = delete;
  WindowDC& operator=(const WindowDC&) = delete;
  ~WindowDC() {
    if (dc_) ::ReleaseDC(window_, dc_);
  }
  HDC Get() const noexcept { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// Selects an object into a device context and puts the previous one back on exit.
class SelectScope {
 public:
  SelectScope(HDC dc, HGDIOBJ object) noexcept : dc_(dc), previous_(::SelectObject(dc, object)) {}
  SelectScope(const SelectScope&) = delete;
  SelectScope& operator=(const SelectScope&) = delete;
  ~SelectScope() {
    if (previous_ && previous_ != HGDI_ERROR) ::SelectObject(dc_, previous_);
  }

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

}  // namespace quillet
