// What the frame's parts share: the stored designs and their bound handlers, the live and the
// retired windows, event suppression and the shutdown flags.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "base/text.h"
#include "base/win32_handles.h"
#include "ui/frame_events.h"
#include "ui/frame_loop.h"
#include "ui/main_window.h"
#include "ui/unit.h"
#include "ui/window_design.h"

namespace quillet {

struct BoundEvent {
  WindowId window;
  UnitId unit;
  EventNumber event;
  EventHandler routine;
};

// A window built from its design: the window unit and the other units.
struct LiveWindow {
  const WindowDesign* design = nullptr;
  std::unique_ptr<MainWindow> window;
  std::vector<std::unique_ptr<Unit>> units;
  bool loaded = false;
};

struct FrameState {
  std::span<const WindowDesign> designs;
  std::vector<BoundEvent> bindings;
  std::vector<std::unique_ptr<LiveWindow>> live;
  // Units and windows whose native windows are gone; freed when no window procedure of
  // theirs can still be on the stack (idle time, orderly shutdown).
  std::vector<std::unique_ptr<Unit>> retiredUnits;
  std::vector<std::unique_ptr<LiveWindow>> retiredWindows;
  std::vector<ExitRoutine> exitRoutines;
  std::int32_t eventSuppression = 0;
  bool messageLoopStarted = false;
  bool shutdownStarted = false;
  bool reportingFatalError = false;
  bool oleStarted = false;
  DWORD userInterfaceThread = 0;
  Text programFolder;
  Text programFileName;
  AutoWindow hiddenOwner;
  std::int32_t quitCode = 0;
};

FrameState& State();

// The stored design with this id, or null.
const WindowDesign* FindWindowDesign(WindowId window);
// The live window built from the design with this id, or null.
LiveWindow* FindLive(WindowId window);
// Built, and its native window not yet destroyed.
bool IsLive(WindowId window);
void LowerSuppression();
// Frees the retired units and windows.
void ReleaseRetired();

}  // namespace quillet
