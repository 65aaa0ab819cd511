// The one way a fatal error ends the program. The application frame installs its report
// (message box, exit routines dropped, exit code -1); before that a plain default runs.
#pragma once

#include <cstdint>

#include "base/text_view.h"

namespace quillet {

using FatalErrorReporter = void (*)(TextView message, std::int32_t code);

// Installs the reporter; null restores the default. Returns the previous one.
FatalErrorReporter SetFatalErrorReporter(FatalErrorReporter reporter);

// Calls the installed reporter; if it returns, the process ends with exit code -1.
[[noreturn]] void ReportFatalError(TextView message, std::int32_t code);

}  // namespace quillet
