// The frame's start-up: the process made ready, the designs checked and their handlers bound,
// and the start window built from its design.
#pragma once

#include <span>

#include "base/text.h"
#include "ui/frame_events.h"
#include "ui/window_design.h"

namespace quillet {

// Installs the frame's fatal report, starts OLE once, makes the program's folder current,
// creates the hidden owner window and binds the designs' handler names to the routines; a name
// without a routine binds nothing. A design that does not hold together is a fatal error.
void StartFrame(std::span<const NamedHandler> routines, std::span<const WindowDesign> designs);
// Builds the window with events suppressed, raises Created, PositionChanged and SizeChanged,
// then shows it. A window that cannot be built is a fatal error.
void LoadStartWindow(WindowId window);

// The folder of the running program, without a trailing backslash.
TextView ProgramFolder();

}  // namespace quillet
