// Starting another program from a command line with a chosen show mode.
#pragma once

#include <cstdint>
#include <optional>

#include "base/text.h"
#include "base/win32_handles.h"

namespace quillet {

// showMode 1 hidden, 2 normal (the default), 3 minimised, 4 maximised, 5 normal without
// activation, 6 minimised; values outside 1..6 are clamped. wait: until the program ends;
// otherwise at most 1000 ms for it to become idle. False only when the start fails.
bool RunCommand(TextView commandLine, bool wait,
                std::optional<std::int32_t> showMode = std::nullopt);

// RunCommand without waiting for the end (at most 1000 ms for the program to become idle),
// handing back the process handle, empty when the start fails, for a later wait.
AutoHandle StartCommand(TextView commandLine, std::optional<std::int32_t> showMode = std::nullopt);

}  // namespace quillet
