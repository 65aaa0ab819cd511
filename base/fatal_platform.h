// The platform half of the fatal report: the default way to show it and to end the process.
#pragma once

#include <cstdint>

#include "base/text_view.h"

namespace quillet::platform {

void ShowFatalError(TextView message, std::int32_t code);
// Ends at once with exit code -1: no exit routines, no static destructors.
[[noreturn]] void EndProcessAfterFatalError();

}  // namespace quillet::platform
