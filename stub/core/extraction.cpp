// Pass two: checks the destination's space, then extracts run by run or in one loop.
#include "stub/core/extraction.h"

#include <optional>
#include <string>

#include "stub/core/chunked_extraction.h"
#include "stub/core/entry_extraction.h"
#include "stub/core/listing.h"
#include "stub/core/zip_chunks.h"

namespace kzsfx {

ExtractResult ExtractArchive(ByteSource& exe, std::uint64_t archiveOffset, Destination* destination,
                             const Options& options, Observer& observer, const Listing* listing) {
  ExtractResult result;
  Listing own;
  if (!listing) {
    own = ListArchive(exe, archiveOffset, options, observer);
    listing = &own;
  }
  if (listing->cancelled) {
    result.cancelled = true;
    return result;
  }
  if (listing->fatal != Fatal::kNone) {
    result.fatal = listing->fatal;
    result.fatalDetail = listing->fatalDetail;
    return result;
  }
  if (!options.testOnly) {
    if (!destination) {
      result.fatal = Fatal::kDestinationFailed;
      return result;
    }
    if (options.checkFreeSpace) {
      auto free = destination->FreeSpace();
      if (free && listing->declaredTotal > *free) {
        result.fatal = Fatal::kNotEnoughSpace;
        result.fatalDetail = "need " + std::to_string(listing->declaredTotal) + " bytes, " +
                             std::to_string(*free) + " free";
        return result;
      }
    }
  }
  // Where no file can carry the mark, every file would fail to: said once instead.
  Options runOptions = options;
  std::optional<EntryReport> marksLost;
  if (!options.testOnly && options.zoneMark && !destination->KeepsZoneMarks()) {
    runOptions.zoneMark.reset();
    marksLost = EntryReport{{}, Problem::kZoneMarksNotKept, PathRefusal::kNone, {}};
    observer.EntryProblem(*marksLost);
  }
  if (auto plan = PlanZipChunks(exe, archiveOffset, options))
    result = ExtractChunks(exe, archiveOffset, *plan, destination, runOptions, observer,
                           listing->declaredTotal);
  else
    result = ExtractEntries(exe, archiveOffset, destination, runOptions, observer,
                            listing->declaredTotal);
  if (marksLost) result.warnings.insert(result.warnings.begin(), *marksLost);
  for (const auto& unreached : listing->unreached) {
    observer.EntryProblem(unreached);
    result.warnings.push_back(unreached);
  }
  return result;
}

}  // namespace kzsfx
