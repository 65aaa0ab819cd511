// The default fatal report natively: the same text on stderr, then _exit(-1).
#include <unistd.h>

#include <cstring>

#include "base/fatal_platform.h"
#include "base/fatal_text.h"

namespace quillet::platform {

void ShowFatalError(TextView message, std::int32_t code) {
  const FatalText text = FatalErrorText(message, code);
  [[maybe_unused]] const ssize_t written =
      write(STDERR_FILENO, text.c_str(), std::strlen(text.c_str()));
}

void EndProcessAfterFatalError() { _exit(-1); }

}  // namespace quillet::platform
