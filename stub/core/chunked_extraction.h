// Extraction of a zip run by run (zip_chunks.h), on several threads when the platform gives them.
#pragma once

#include <cstdint>

#include "stub/core/byte_source.h"
#include "stub/core/destination.h"
#include "stub/core/observer.h"
#include "stub/core/options.h"
#include "stub/core/results.h"
#include "stub/core/zip_chunks.h"

namespace kzsfx {

// Pass two run by run, on options.workers when given. Runs go to the threads largest first so
// that they finish together; each run's result is merged in archive order, so the summary and
// the exit code are the same however the threads were scheduled.
ExtractResult ExtractChunks(ByteSource& exe, std::uint64_t archiveOffset, const ZipPlan& plan,
                            Destination* destination, const Options& options, Observer& observer,
                            std::uint64_t declaredTotal);

}  // namespace kzsfx
