// The dialog a double-click shows: destination, progress, summary.
#pragma once

#include "stub/win32/command_line.h"
#include "stub/win32/run_plan.h"
#include "stub/win32/session.h"

namespace kzsfx::win32 {

// Lists the archive, shows the dialog and extracts on a worker thread while the dialog keeps
// painting. The outcome's exit code is 255 when the user cancels.
RunOutcome RunDialog(const CommandLine& commandLine, const RunPlan& plan, Session& session);

// Shows a fault that ends the program before or instead of the dialog.
void ShowError(const std::wstring& title, const std::wstring& text);

}  // namespace kzsfx::win32
