// How the stub ends when the C++ runtime cannot go on: out of memory (exit code 8) or a broken
// library precondition (exit code 2). The definitions are in runtime_stops.cpp.
#pragma once

namespace kzsfx::win32 {

// With the dialog the reason is also shown in a message box; an unattended run must never wait
// for a click, so there it only goes to standard error.
void ReportStopsInMessageBox(bool show);

// Ends the process for want of memory, as a failed operator new does.
[[noreturn]] void StopOutOfMemory() noexcept;

}  // namespace kzsfx::win32
