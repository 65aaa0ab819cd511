// The application frame: process start-up, windows built from stored designs, event routing
// with suppression, the message loop, exit routines and the orderly or fatal shutdown.
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
  bool handled = false;        // out: a handler ran
  std::int64_t result = 0;     // out: what it returned
};

using ExitRoutine = void (*)();

// The process's life: calls the entry routine (which runs StartFrame, LoadStartWindow and
// RunMessageLoop), shuts the frame down and returns the exit code for WinMain to return.
int RunProgram(int (*startProgram)());

// Installs the frame's fatal report, starts OLE once, makes the program's folder current,
// creates the hidden owner window and binds the designs' handler names to the routines; a name
// without a routine binds nothing. A design that does not hold together is a fatal error.
void StartFrame(std::span<const NamedHandler> routines, std::span<const WindowDesign> designs);
// Appends the routine unless it is already registered.
void RegisterExitRoutine(ExitRoutine routine);
// Builds the window with events suppressed, raises Created, PositionChanged and SizeChanged,
// then shows it. A window that cannot be built is a fatal error.
void LoadStartWindow(WindowId window);
// Returns at once when no window is live, else when the last window is gone.
void RunMessageLoop();
// 1 when a handler ran, 0 when suppressed or unbound.
int RaiseEvent(EventRecord& record);
// The live unit (the window itself when unit is absent), or null; with mustExist a missing
// unit is a fatal error.
Unit* FindUnit(WindowId window, std::optional<UnitId> unit, bool mustExist);
// Runs the exit routines once, in order, and stops OLE last; a second call does nothing more.
void ShutDownFrame(std::int32_t exitCode);

// The window's title: its own copy, the native text, and the caption style brought up to date.
void SetWindowTitle(WindowId window, TextView title);
// The native window of a live unit (the window itself for its own unit id); a missing unit is
// a fatal error.
HWND GetWindowHandle(WindowId window, UnitId unit);

// For the window layer: a stored design by id, or null.
const WindowDesign* FindWindowDesign(WindowId window);
// The folder of the running program, without a trailing backslash.
TextView ProgramFolder();

}  // namespace quillet
