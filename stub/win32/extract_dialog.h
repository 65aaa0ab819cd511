// The dialog a double-click shows: destination, progress, summary.
#pragma once

#include "stub/win32/command_line.h"
#include "stub/win32/session.h"

namespace kzsfx::win32 {

// Lists the archive, shows the dialog and extracts on a worker thread while the dialog keeps
// painting. Returns the process exit code (255 when the user cancels).
int run_dialog(const CommandLine& command_line, Session& session);

// Shows a fault that ends the program before or instead of the dialog.
void show_error(const std::wstring& title, const std::wstring& text);

}  // namespace kzsfx::win32
