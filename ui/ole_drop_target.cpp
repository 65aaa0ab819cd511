// The OLE drop target: reference counting, the drag-image helper, acceptance and the drop.
#include "ui/ole_drop_target.h"

#include <initializer_list>

#include "ui/drop_effect.h"

namespace quillet {

OleDropTarget::OleDropTarget(const DropSettings& settings)
    : settings_(settings), formats_(DropFormats::Register()) {
  // Without the helper the target simply shows no drag images.
  ::CoCreateInstance(CLSID_DragDropHelper, nullptr, CLSCTX_INPROC_SERVER, IID_IDropTargetHelper,
                     helper_.PutVoid());
}

OleDropTarget::~OleDropTarget() { Revoke(); }

HRESULT OleDropTarget::QueryInterface(REFIID id, void** object) {
  if (!object) return E_POINTER;
  if (IsEqualIID(id, IID_IUnknown) || IsEqualIID(id, IID_IDropTarget)) {
    *object = static_cast<IDropTarget*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG OleDropTarget::AddRef() { return ++references_; }

ULONG OleDropTarget::Release() {
  const ULONG count = --references_;
  if (count == 0 && abandoned_) delete this;
  return count;
}

void OleDropTarget::Abandon(OleDropTarget* target) {
  if (!target) return;
  target->Revoke();
  target->helper_.Reset();
  target->abandoned_ = true;
  target->Release();
}

HRESULT OleDropTarget::DragEnter(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) {
  if (!effect) return E_INVALIDARG;
  if (helper_ && data) {
    POINT at{point.x, point.y};
    helper_->DragEnter(registeredWindow_, data, &at, *effect);
  }
  // Starts from false so that a drag offering no enabled kind never inherits an earlier answer.
  dataAcceptable_ = false;
  if (data) {
    for (DropKind kind : {DropKind::kText, DropKind::kFiles, DropKind::kUrl, DropKind::kHtml}) {
      if (!settings_[static_cast<std::size_t>(kind)]) continue;
      dataAcceptable_ = OffersKind(*data, kind, formats_);
      if (dataAcceptable_) break;
    }
  }
  ChooseDropEffect(dataAcceptable_, keyState, *effect);
  return S_OK;
}

HRESULT OleDropTarget::DragOver(DWORD keyState, POINTL point, DWORD* effect) {
  if (!effect) return E_INVALIDARG;
  if (helper_) {
    POINT at{point.x, point.y};
    helper_->DragOver(&at, *effect);
  }
  ChooseDropEffect(dataAcceptable_, keyState, *effect);
  return S_OK;
}

HRESULT OleDropTarget::DragLeave() {
  if (helper_) helper_->DragLeave();
  dataAcceptable_ = false;
  return S_OK;
}

HRESULT OleDropTarget::Drop(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) {
  if (!effect) return E_INVALIDARG;
  if (helper_ && data) {
    POINT at{point.x, point.y};
    helper_->Drop(data, &at, *effect);
  }
  if (!ChooseDropEffect(dataAcceptable_, keyState, *effect) || !data) return E_FAIL;

  // A handler may end the owner (its window destroyed); this reference keeps the object alive
  // until Drop returns, and no kind is delivered for an owner that is gone.
  AddRef();
  for (DropKind kind : {DropKind::kText, DropKind::kHtml, DropKind::kUrl, DropKind::kFiles}) {
    if (abandoned_) break;
    if (!settings_[static_cast<std::size_t>(kind)]) continue;
    std::optional<Text> text = ReadDroppedKind(*data, kind, formats_);
    if (!text) continue;
    Text cell = std::move(*text);
    Deliver(kind, cell);
  }
  Release();
  // E_FAIL even after delivery: the source must not delete what it moved.
  return E_FAIL;
}

bool OleDropTarget::Register(HWND window) {
  if (registeredWindow_) return false;
  registeredWindow_ = window;
  registered_ = window && ::RegisterDragDrop(window, this) == S_OK;
  return registered_;
}

void OleDropTarget::Revoke() {
  if (registered_) ::RevokeDragDrop(registeredWindow_);
  registered_ = false;
}

bool OleDropTarget::Setting(int number) const {
  return number >= 0 && number < static_cast<int>(kDropKindCount) &&
         settings_[static_cast<std::size_t>(number)];
}

void OleDropTarget::SetSetting(int number, bool accepted) {
  if (number >= 0 && number < static_cast<int>(kDropKindCount)) {
    settings_[static_cast<std::size_t>(number)] = accepted;
  }
}

}  // namespace quillet
