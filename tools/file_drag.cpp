// The drag source side of a file drop: data object, drop source and the held-key simulation.
#include "tools/file_drag.h"

#include <ole2.h>
#include <shlobj.h>

#include <array>
#include <cstring>
#include <initializer_list>

namespace quillet::tools {

namespace {

FORMATETC FileListFormat() {
  return FORMATETC{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
}

// Both objects live on the stack of DragFiles; the platform's references end with the drag.
class FileListData final : public IDataObject {
 public:
  explicit FileListData(const std::vector<std::wstring>& paths) : paths_(paths) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override {
    if (IsEqualIID(id, IID_IUnknown) || IsEqualIID(id, IID_IDataObject)) {
      *object = static_cast<IDataObject*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override { return --references_; }

  HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override {
    if (QueryGetData(format) != S_OK) return DV_E_FORMATETC;
    // A fresh block every time: the receiver frees what it gets.
    HGLOBAL block = MakeFileListBlock(paths_);
    if (!block) return E_OUTOFMEMORY;
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = block;
    medium->pUnkForRelease = nullptr;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override {
    if (!format || format->cfFormat != CF_HDROP) return DV_E_FORMATETC;
    if (!(format->tymed & TYMED_HGLOBAL)) return DV_E_TYMED;
    if (format->dwAspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
    if (out) out->ptd = nullptr;
    return DATA_S_SAMEFORMATETC;
  }
  HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats) override {
    if (direction != DATADIR_GET) return E_NOTIMPL;
    FORMATETC offered = FileListFormat();
    return ::SHCreateStdEnumFmtEtc(1, &offered, formats);
  }
  HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
    return OLE_E_ADVISENOTSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
  HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override {
    return OLE_E_ADVISENOTSUPPORTED;
  }

 private:
  const std::vector<std::wstring>& paths_;
  ULONG references_ = 1;
};

// Drops after a few polls, so the target has seen DragEnter and DragOver first.
class PollingDropSource final : public IDropSource {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override {
    if (IsEqualIID(id, IID_IUnknown) || IsEqualIID(id, IID_IDropSource)) {
      *object = static_cast<IDropSource*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override { return --references_; }

  HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escapePressed, DWORD) override {
    if (escapePressed) return DRAGDROP_S_CANCEL;
    return ++polls_ >= kPollsBeforeDrop ? DRAGDROP_S_DROP : S_OK;
  }
  HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }

 private:
  static constexpr int kPollsBeforeDrop = 4;
  int polls_ = 0;
  ULONG references_ = 1;
};

// Marks Ctrl and Shift as held in this thread's keyboard state for the drag, where the
// platform's drag loop reads the key state it passes to the target.
class HeldKeys {
 public:
  explicit HeldKeys(DragKeys keys) {
    ::GetKeyboardState(saved_.data());
    std::array<BYTE, 256> state = saved_;
    auto press = [&state](bool held, std::initializer_list<int> keys) {
      for (int key : keys) state[key] = held ? 0x80 : 0;
    };
    press(keys.control, {VK_CONTROL, VK_LCONTROL});
    press(keys.shift, {VK_SHIFT, VK_LSHIFT});
    ::SetKeyboardState(state.data());
  }
  HeldKeys(const HeldKeys&) = delete;
  HeldKeys& operator=(const HeldKeys&) = delete;
  ~HeldKeys() { ::SetKeyboardState(saved_.data()); }

 private:
  std::array<BYTE, 256> saved_{};
};

}  // namespace

std::optional<POINT> FindDropPoint(HWND window) {
  RECT client{};
  if (!::GetClientRect(window, &client)) return std::nullopt;
  // The centre first, then a grid: another program's window may cover part of the target.
  constexpr int kSteps = 6;
  std::vector<POINT> candidates{{client.right / 2, client.bottom / 2}};
  for (int row = 1; row < kSteps; ++row) {
    for (int column = 1; column < kSteps; ++column) {
      candidates.push_back({client.right * column / kSteps, client.bottom * row / kSteps});
    }
  }
  for (POINT point : candidates) {
    ::ClientToScreen(window, &point);
    HWND under = ::WindowFromPoint(point);
    if (under && ::GetAncestor(under, GA_ROOT) == ::GetAncestor(window, GA_ROOT)) return point;
  }
  return std::nullopt;
}

HGLOBAL MakeFileListBlock(const std::vector<std::wstring>& paths) {
  std::wstring list;
  for (const std::wstring& path : paths) list.append(path).push_back(L'\0');
  list.push_back(L'\0');
  const std::size_t listBytes = list.size() * sizeof(wchar_t);
  HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + listBytes);
  if (!block) return nullptr;
  auto* header = static_cast<DROPFILES*>(::GlobalLock(block));
  header->pFiles = sizeof(DROPFILES);
  header->fWide = TRUE;
  std::memcpy(reinterpret_cast<char*>(header) + sizeof(DROPFILES), list.data(), listBytes);
  ::GlobalUnlock(block);
  return block;
}

DragResult DragFiles(const std::vector<std::wstring>& paths, DWORD allowedEffects, DragKeys keys) {
  FileListData data(paths);
  PollingDropSource source;
  HeldKeys held(keys);
  DragResult result;
  result.result = ::DoDragDrop(&data, &source, allowedEffects, &result.effect);
  return result;
}

}  // namespace quillet::tools
