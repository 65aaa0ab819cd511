// The frame's message loop and its end: exit routines, the orderly shutdown, and the
// shutdown after a fatal error.
#pragma once

#include <cstdint>

namespace quillet {

using ExitRoutine = void (*)();

// The process's life: calls the entry routine (which runs StartFrame, LoadStartWindow and
// RunMessageLoop), shuts the frame down and returns the exit code for WinMain to return.
int RunProgram(int (*startProgram)());
// Appends the routine unless it is already registered.
void RegisterExitRoutine(ExitRoutine routine);
// Returns at once when no window is live, else when the last window is gone.
void RunMessageLoop();
// Runs the exit routines once, in order, and stops OLE last; a second call does nothing more.
void ShutDownFrame(std::int32_t exitCode);
// For the fatal report: drops the exit routines unrun and stops the frame without freeing
// anything, since a window procedure may still be on the stack.
void ShutDownFrameAfterFatalError();

}  // namespace quillet
