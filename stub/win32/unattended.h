// Running without a window (-y or -t): messages go to the standard handles, never to a box.
#pragma once

#include "stub/win32/command_line.h"
#include "stub/win32/console.h"
#include "stub/win32/run_plan.h"
#include "stub/win32/session.h"

namespace kzsfx::win32 {

// Extracts (or with -t tests) the whole archive as the plan says; the outcome carries the
// process exit code.
RunOutcome RunUnattended(const CommandLine& commandLine, const RunPlan& plan, Session& session,
                         Console& console);

}  // namespace kzsfx::win32
