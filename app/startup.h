// The converter's entry routine and its start-up handler.
#pragma once

#include <span>

#include "ui/frame_events.h"

namespace quillet {

// Runs the whole program: frame start-up, the main window, the message loop. Returns 0.
int StartProgram();
// Bound to the main window's Created event: title, drop target, temporary folder, stub file.
void OnMainWindowCreated();
// The routines behind the handler names of the stored design, as the start-up binds them.
std::span<const NamedHandler> StartupHandlers();

}  // namespace quillet
