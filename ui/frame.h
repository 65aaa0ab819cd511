// The application frame: process start-up, windows built from stored designs, event routing
// with suppression, the message loop, exit routines and the orderly or fatal shutdown.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "base/text.h"
#include "ui/window_design.h"

namespace quillet {

class Unit;

// One event argument: a number by value, or a text cell passed by reference.
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
  bool handled = false;        // out: a handler ran
  std::int64_t result = 0;     // out: what it returned
};

using ExitRoutine = void (*)();

// Binds the designs' handler names to the routines; a name without a routine binds nothing.
void StartFrame(std::span<const NamedHandler> routines,
                std::span<const WindowDesign> designs = StoredWindowDesigns());
void RegisterExitRoutine(ExitRoutine routine);
void LoadStartWindow(WindowId window);
void RunMessageLoop();
// 1 when a handler ran, 0 when suppressed or unbound.
int RaiseEvent(EventRecord& record);
// The live unit, or null; with mustExist a missing unit is a fatal error.
Unit* FindUnit(WindowId window, std::optional<UnitId> unit, bool mustExist);
void ShutDownFrame(std::int32_t exitCode);

}  // namespace quillet
