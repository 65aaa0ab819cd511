// Pass two's loop over the entries of an archive, or of one run of it, on the calling thread.
#pragma once

#include <cstdint>

#include "stub/core/byte_source.h"
#include "stub/core/destination.h"
#include "stub/core/observer.h"
#include "stub/core/options.h"
#include "stub/core/results.h"

namespace kzsfx {

// The data all runs together may still yield: the total the free-space check accepted.
class DataBudget {
 public:
  virtual ~DataBudget() = default;
  // Takes `bytes` from what is left; false, taking nothing, when too little is left.
  virtual bool Take(std::uint64_t bytes) = 0;
};

// Pass two over one archive (or one run of it) on the calling thread, with `declaredTotal`
// capping the data it may yield, and `budget`, when given, the data of every run together.
ExtractResult ExtractEntries(ByteSource& exe, std::uint64_t archiveOffset, Destination* destination,
                             const Options& options, Observer& observer,
                             std::uint64_t declaredTotal, DataBudget* budget = nullptr);

}  // namespace kzsfx
