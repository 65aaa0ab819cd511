// RAII for the converter's Win32 resources: the shared handle template and COM reference, the
// OLE layer's medium and lock, and GDI objects, icons, windows and paints.
#pragma once

#include <windows.h>
#include <ole2.h>

#include <cstddef>

#include "base/com_ptr.h"
#include "base/unique_handle.h"

namespace quillet {

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
