// The extraction engine: lists and extracts the zip or 7z archive appended to our exe.
#pragma once

#include <cstdint>

#include "stub/core/byte_source.h"
#include "stub/core/destination.h"
#include "stub/core/observer.h"
#include "stub/core/options.h"
#include "stub/core/results.h"

namespace kzsfx {

// The archive is read in place from `exe` starting at `archive_offset` (find_image_end):
// never copied, never held in memory whole. The format is recognised by content alone.

// Pass one: reads every header without decoding data. Gives the dialog its default
// destination (single_top_level) and the declared total for the free-space check.
Listing list_archive(ByteSource& exe, std::uint64_t archive_offset, const Options& options,
                     Observer& observer);

// Pass two: extracts into `destination`, or with options.test_only decodes and checks every
// entry and writes nothing (`destination` may then be null). Runs pass one itself unless
// `listing` from an earlier list_archive call is given.
ExtractResult extract_archive(ByteSource& exe, std::uint64_t archive_offset,
                              Destination* destination, const Options& options, Observer& observer,
                              const Listing* listing = nullptr);

}  // namespace kzsfx
