// Pass two: extracts the zip or 7z archive appended to our exe.
#pragma once

#include <cstdint>

#include "stub/core/byte_source.h"
#include "stub/core/destination.h"
#include "stub/core/observer.h"
#include "stub/core/options.h"
#include "stub/core/results.h"

namespace kzsfx {

// Extracts into `destination`, or with options.test_only decodes and checks every entry and
// writes nothing (`destination` may then be null). Reads the archive in place like
// ListArchive (listing.h), and runs that pass itself unless `listing` from an earlier call
// is given.
ExtractResult ExtractArchive(ByteSource& exe, std::uint64_t archiveOffset, Destination* destination,
                             const Options& options, Observer& observer,
                             const Listing* listing = nullptr);

}  // namespace kzsfx
