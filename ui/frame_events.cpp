// The frame's event routing and its units by id: raising an event to its bound routine, finding
// a live unit, retiring a unit whose window is gone, and the per-window services built on them.
#include "ui/frame_events.h"

#include <algorithm>

#include "base/fatal.h"
#include "base/user_texts.h"
#include "ui/frame_state.h"

namespace quillet {
namespace {

const UnitDesign* FindUnitDesign(const WindowDesign& design, UnitId unit) {
  for (const UnitDesign& candidate : design.units) {
    if (candidate.id == unit) return &candidate;
  }
  return nullptr;
}

}  // namespace

int RaiseEvent(EventRecord& record) {
  FrameState& state = State();
  record.handled = false;
  if (state.eventSuppression > 0) return 0;
  const WindowDesign* design = FindWindowDesign(record.window);
  if (!design) ReportFatalError(kEventWindowNotFound, 0);
  const UnitId unitId = record.unit.value_or(design->units[0].id);
  if (!FindUnitDesign(*design, unitId)) ReportFatalError(kEventUnitNotFound, 0);
  // Only a unit that the window has built can raise its events.
  const LiveWindow* live = FindLive(record.window);
  const bool built =
      live && (unitId == design->units[0].id
                   ? live->window != nullptr
                   : std::any_of(live->units.begin(), live->units.end(),
                                 [unitId](const auto& unit) { return unit->id() == unitId; }));
  if (!built) ReportFatalError(kEventUnitInvalid, 0);
  for (const BoundEvent& bound : state.bindings) {
    if (bound.window == record.window && bound.unit == unitId && bound.event == record.event) {
      record.result = bound.routine(record.arguments);
      record.handled = true;
      return 1;
    }
  }
  return 0;
}

Unit* FindUnit(WindowId window, std::optional<UnitId> unit, bool mustExist) {
  Unit* found = nullptr;
  const WindowDesign* design = FindWindowDesign(window);
  LiveWindow* live = design ? FindLive(window) : nullptr;
  if (live) {
    if (!unit || *unit == design->units[0].id) {
      found = live->window.get();
    } else {
      for (const auto& candidate : live->units) {
        if (candidate->id() == *unit) found = candidate.get();
      }
    }
  }
  if (found && !::IsWindow(found->hwnd())) found = nullptr;
  if (!found && mustExist) ReportFatalError(kUnitNotLoaded, 0);
  return found;
}

void NotifyUnitDestroyed(WindowId window, UnitId unit) {
  FrameState& state = State();
  auto found = std::find_if(state.live.begin(), state.live.end(),
                            [window](const auto& live) { return live->design->id == window; });
  if (found == state.live.end()) return;
  LiveWindow& live = **found;
  if (live.window && unit == live.window->id()) {
    // The window itself: its units went before it.
    state.retiredWindows.push_back(std::move(*found));
    state.live.erase(found);
    // While the fatal report is open, a quit message would close it before it was read.
    if (state.live.empty() && state.messageLoopStarted && !state.reportingFatalError) {
      ::PostQuitMessage(0);
    }
    return;
  }
  auto gone = std::find_if(live.units.begin(), live.units.end(),
                           [unit](const auto& candidate) { return candidate->id() == unit; });
  if (gone == live.units.end()) return;
  state.retiredUnits.push_back(std::move(*gone));
  live.units.erase(gone);
}

void SetWindowTitle(WindowId window, TextView title) {
  if (!FindWindowDesign(window)) ReportFatalError(kUnitWindowNotLoaded, 0);
  auto* live = dynamic_cast<MainWindow*>(FindUnit(window, std::nullopt, false));
  if (!live) ReportFatalError(kWindowNotLoaded, 0);
  live->SetTitle(title);
}

HWND GetWindowHandle(WindowId window, UnitId unit) { return FindUnit(window, unit, true)->hwnd(); }

}  // namespace quillet
