// The one reusable OLE drop target: checks what a drag offers, chooses the effect from the keys
// held, reads the accepted kinds on a drop and hands each text to a single hook.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <shlobj.h>

#include <atomic>
#include <memory>

#include "base/text.h"
#include "base/win32_handles.h"
#include "ui/drop_settings.h"
#include "ui/dropped_data.h"

namespace quillet {

class OleDropTarget : public IDropTarget {
 public:
  // The count starts at 1: the owner's reference, given back only through Abandon.
  explicit OleDropTarget(const DropSettings& settings);
  virtual ~OleDropTarget();
  OleDropTarget(const OleDropTarget&) = delete;
  OleDropTarget& operator=(const OleDropTarget&) = delete;

  // IUnknown: only IUnknown and IDropTarget are answered. Release never frees the object while
  // its owner holds it.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // IDropTarget. Drop always answers E_FAIL, with the chosen effect left in `effect`.
  HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keyState, POINTL point,
                                      DWORD* effect) override;
  HRESULT STDMETHODCALLTYPE DragOver(DWORD keyState, POINTL point, DWORD* effect) override;
  HRESULT STDMETHODCALLTYPE DragLeave() override;
  HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keyState, POINTL point,
                                 DWORD* effect) override;

  // Registers the window once: false when a window is already stored (it stays as it was) or
  // when RegisterDragDrop does not answer S_OK. The window is stored before the platform call,
  // so a failed registration also blocks later ones; a null window is stored as none.
  bool Register(HWND window);
  HWND registered_window() const { return registeredWindow_; }
  // Revokes this object's own successful registration, if any.
  void Revoke();

  // Settings by number 0..3 (DropKind order); other numbers read false and write nothing.
  bool Setting(int number) const;
  void SetSetting(int number, bool accepted);

  bool data_acceptable() const { return dataAcceptable_; }
  bool has_drag_image_helper() const { return static_cast<bool>(helper_); }
  void ReleaseDragImageHelper() { helper_.Reset(); }

  // The owner lets go: revokes its registration and gives back the owner's reference. The
  // object is freed now, or by the last Release when the platform is still inside a call.
  static void Abandon(OleDropTarget* target);

 protected:
  // One text of an accepted kind, read from a drop. The hook may read or replace the cell;
  // whatever it holds afterwards is released by the caller.
  virtual void Deliver(DropKind kind, Text& cell) = 0;

 private:
  std::atomic<ULONG> references_{1};
  bool abandoned_ = false;
  bool dataAcceptable_ = false;
  DropSettings settings_;
  DropFormats formats_;
  ComPtr<IDropTargetHelper> helper_;
  HWND registeredWindow_ = nullptr;
  bool registered_ = false;
};

// Owns an OleDropTarget through its owner's reference.
struct AbandonDropTarget {
  void operator()(OleDropTarget* target) const { OleDropTarget::Abandon(target); }
};
template <typename Target>
using DropTargetOwner = std::unique_ptr<Target, AbandonDropTarget>;

}  // namespace quillet
