// The drag source side of a file drop: drop source and the held-key simulation.
#include "tools/file_drag.h"

#include <ole2.h>

#include <array>
#include <initializer_list>

#include "tools/offered_data.h"

namespace quillet::tools {

namespace {

// Drops after a few polls, so the target has seen DragEnter and DragOver first. Lives on the
// stack of DragFiles: the platform's references end with the drag.
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

DragResult DragFiles(const std::vector<std::wstring>& paths, DWORD allowedEffects, DragKeys keys) {
  OfferedData data;
  data.Offer(CF_HDROP, WideFileList(paths));
  PollingDropSource source;
  HeldKeys held(keys);
  DragResult result;
  result.result = ::DoDragDrop(&data, &source, allowedEffects, &result.effect);
  return result;
}

}  // namespace quillet::tools
