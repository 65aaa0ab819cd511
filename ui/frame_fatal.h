// The frame's fatal report: the error box, then the process ends with no handler running.
#pragma once

#include <cstdint>

#include "base/text.h"

namespace quillet {

// Installed by StartFrame as the fatal error reporter.
[[noreturn]] void EndAfterFatalError(TextView message, std::int32_t code);

}  // namespace quillet
