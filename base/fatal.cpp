// The fatal-report hook: the frame installs its report; until then a plain default runs.
#include "base/fatal.h"

#include "base/fatal_platform.h"

namespace quillet {
namespace {

void DefaultReporter(TextView message, std::int32_t code) {
  platform::ShowFatalError(message, code);
  platform::EndProcessAfterFatalError();
}

FatalErrorReporter installed = DefaultReporter;
bool reporting = false;

}  // namespace

FatalErrorReporter SetFatalErrorReporter(FatalErrorReporter reporter) {
  FatalErrorReporter previous = installed;
  installed = reporter ? reporter : DefaultReporter;
  return previous;
}

void ReportFatalError(TextView message, std::int32_t code) {
  // A second fatal error raised while reporting the first (say, memory for the report) must
  // not recurse: the first report is already on its way.
  if (reporting) platform::EndProcessAfterFatalError();
  reporting = true;
  struct Lowered {
    ~Lowered() { reporting = false; }  // a reporter that throws (tests) leaves the hook usable
  } lowered;
  installed(message, code);
  platform::EndProcessAfterFatalError();
}

}  // namespace quillet
