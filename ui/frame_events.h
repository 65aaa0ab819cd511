// The frame's event routing: events raised by (window id, unit id, event number) reach the
// routine bound to them unless events are suppressed, and units are found by id.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <span>

#include "base/text.h"
#include "ui/window_design.h"

namespace quillet {

class Unit;

// One event argument: a number by value, or a text cell passed by reference. A handler may
// change either; the raiser reads them back (a close query is refused with a non-zero value).
struct EventArgument {
  std::int64_t value = 0;
  Text* text = nullptr;
};

using EventHandler = std::int64_t (*)(std::span<EventArgument> arguments);

struct NamedHandler {
  const char* name;
  EventHandler routine;
};

struct EventRecord {
  WindowId window;
  std::optional<UnitId> unit;  // absent: the window itself
  EventNumber event;
  std::span<EventArgument> arguments;
  bool handled = false;     // out: a handler ran
  std::int64_t result = 0;  // out: what it returned
};

// 1 when a handler ran, 0 when suppressed or unbound.
int RaiseEvent(EventRecord& record);
// The live unit (the window itself when unit is absent), or null; with mustExist a missing
// unit is a fatal error.
Unit* FindUnit(WindowId window, std::optional<UnitId> unit, bool mustExist);
// Called by a unit whose native window has been destroyed for good.
void NotifyUnitDestroyed(WindowId window, UnitId unit);

// The window's title: its own copy, the native text, and the caption style brought up to date.
void SetWindowTitle(WindowId window, TextView title);
// The native window of a live unit (the window itself for its own unit id); a missing unit is
// a fatal error.
HWND GetWindowHandle(WindowId window, UnitId unit);

}  // namespace quillet
