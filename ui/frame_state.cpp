// The frame's one state object and the lookups its parts share.
#include "ui/frame_state.h"

namespace quillet {

FrameState& State() {
  static FrameState state;
  return state;
}

const WindowDesign* FindWindowDesign(WindowId window) {
  for (const WindowDesign& design : State().designs) {
    if (design.id == window) return &design;
  }
  return nullptr;
}

LiveWindow* FindLive(WindowId window) {
  for (auto& live : State().live) {
    if (live->design->id == window) return live.get();
  }
  return nullptr;
}

bool IsLive(WindowId window) {
  const LiveWindow* live = FindLive(window);
  return live && live->window && ::IsWindow(live->window->hwnd());
}

void LowerSuppression() {
  FrameState& state = State();
  if (state.eventSuppression > 0) --state.eventSuppression;
}

void ReleaseRetired() {
  FrameState& state = State();
  state.retiredUnits.clear();
  state.retiredWindows.clear();
}

}  // namespace quillet
