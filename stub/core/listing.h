// Pass one: reads every header of the archive appended to our exe without decoding data.
#pragma once

#include <cstdint>

#include "stub/core/byte_source.h"
#include "stub/core/observer.h"
#include "stub/core/options.h"
#include "stub/core/results.h"

namespace kzsfx {

// The archive is read in place from `exe` starting at `archiveOffset` (FindImageEnd):
// never copied, never held in memory whole. The format is recognised by content alone.
// Gives the dialog its default destination (singleTopLevel) and the declared total for the
// free-space check.
Listing ListArchive(ByteSource& exe, std::uint64_t archiveOffset, const Options& options,
                    Observer& observer);

}  // namespace kzsfx
