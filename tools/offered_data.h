// Dragged data for the drag driver and the tests: chosen clipboard formats offered as fixed
// bytes, a fresh global block for every request, and a count of the blocks the receiver has not
// released yet; builders for file lists in both character widths.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <shlobj.h>

#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace quillet::tools {

// A DROPFILES block followed by the paths, each NUL-terminated, and the final NUL.
inline std::string FileList(const std::vector<std::string>& paths) {
  DROPFILES header{};
  header.pFiles = sizeof header;
  header.fWide = FALSE;
  std::string block(reinterpret_cast<const char*>(&header), sizeof header);
  for (const std::string& path : paths) block += path + '\0';
  return block + '\0';
}

inline std::string WideFileList(const std::vector<std::wstring>& paths) {
  DROPFILES header{};
  header.pFiles = sizeof header;
  header.fWide = TRUE;
  std::wstring list;
  for (const std::wstring& path : paths) list += path + L'\0';
  list += L'\0';
  std::string block(reinterpret_cast<const char*>(&header), sizeof header);
  block.append(reinterpret_cast<const char*>(list.data()), list.size() * sizeof(wchar_t));
  return block;
}

// Lives on its user's stack: the platform's references end before it does.
class OfferedData final : public IDataObject {
 public:
  OfferedData() = default;
  OfferedData(const OfferedData&) = delete;
  OfferedData& operator=(const OfferedData&) = delete;

  // The exact bytes of the global block GetData hands out for the format.
  void Offer(CLIPFORMAT format, std::string bytes) { offered_[format] = std::move(bytes); }
  // Announced by QueryGetData, but GetData fails.
  void Break(CLIPFORMAT format) { broken_.insert(format); }

  int HandedOut() const { return handedOut_; }
  int Outstanding() const { return *outstanding_; }
  const std::vector<CLIPFORMAT>& Queried() const { return queried_; }

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
    if (QueryGetData(format) != S_OK || broken_.count(format->cfFormat)) return DV_E_FORMATETC;
    const std::string& bytes = offered_.at(format->cfFormat);
    HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes.size());
    if (!block) return E_OUTOFMEMORY;
    std::memcpy(::GlobalLock(block), bytes.data(), bytes.size());
    ::GlobalUnlock(block);
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = block;
    // ReleaseStgMedium gives the medium back through this object instead of GlobalFree.
    medium->pUnkForRelease = new MediumRelease(outstanding_, block);
    ++handedOut_;
    ++*outstanding_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override {
    if (!format) return E_INVALIDARG;
    queried_.push_back(format->cfFormat);
    const bool matches = offered_.count(format->cfFormat) && (format->tymed & TYMED_HGLOBAL) &&
                         format->dwAspect == DVASPECT_CONTENT && format->lindex == -1;
    return matches ? S_OK : DV_E_FORMATETC;
  }
  HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
    if (out) out->ptd = nullptr;
    return DATA_S_SAMEFORMATETC;
  }
  HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats) override {
    if (direction != DATADIR_GET) return E_NOTIMPL;
    std::vector<FORMATETC> offered;
    for (const auto& entry : offered_) {
      offered.push_back(FORMATETC{entry.first, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL});
    }
    return ::SHCreateStdEnumFmtEtc(static_cast<UINT>(offered.size()), offered.data(), formats);
  }
  HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
    return OLE_E_ADVISENOTSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
  HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override {
    return OLE_E_ADVISENOTSUPPORTED;
  }

 private:
  // Owned by its COM references: the last Release frees the block and deletes it. A receiver
  // in another process may release it after the data object is gone.
  class MediumRelease final : public IUnknown {
   public:
    MediumRelease(std::shared_ptr<int> outstanding, HGLOBAL block)
        : outstanding_(std::move(outstanding)), block_(block) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override {
      if (IsEqualIID(id, IID_IUnknown)) {
        *object = static_cast<IUnknown*>(this);
        AddRef();
        return S_OK;
      }
      *object = nullptr;
      return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
      if (--references_ != 0) return references_;
      ::GlobalFree(block_);
      --*outstanding_;
      delete this;
      return 0;
    }

   private:
    std::shared_ptr<int> outstanding_;
    HGLOBAL block_;
    ULONG references_ = 1;
  };

  std::map<CLIPFORMAT, std::string> offered_;
  std::set<CLIPFORMAT> broken_;
  std::vector<CLIPFORMAT> queried_;
  int handedOut_ = 0;
  std::shared_ptr<int> outstanding_ = std::make_shared<int>(0);
  ULONG references_ = 1;
};

}  // namespace quillet::tools
