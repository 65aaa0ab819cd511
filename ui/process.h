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
bool RunCommand(TextView commandLine, bool wait, std::optional<std::int32_t> showMode = std::nullopt);

// Starts the program as RunCommand does, without any wait, and hands back its process
// handle (empty when the start fails) for callers that must wait for it later.
AutoHandle StartCommand(TextView commandLine, std::optional<std::int32_t> showMode = std::nullopt);

}  // namespace quillet
