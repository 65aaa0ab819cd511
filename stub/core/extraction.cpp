// Pass two: checks the destination's space, then extracts run by run or in one loop.
#include "stub/core/extraction.h"

#include <optional>
#include <string>

#include "stub/core/chunked_extraction.h"
#include "stub/core/entry_extraction.h"
#include "stub/core/listing.h"
#include "stub/core/zip_chunks.h"

namespace kzsfx {

ExtractResult extract_archive(ByteSource& exe, std::uint64_t archive_offset,
                              Destination* destination, const Options& options, Observer& observer,
                              const Listing* listing) {
  ExtractResult result;
  Listing own;
  if (!listing) {
    own = list_archive(exe, archive_offset, options, observer);
    listing = &own;
  }
  if (listing->cancelled) {
    result.cancelled = true;
    return result;
  }
  if (listing->fatal != Fatal::none) {
    result.fatal = listing->fatal;
    result.fatal_detail = listing->fatal_detail;
    return result;
  }
  if (!options.test_only) {
    if (!destination) {
      result.fatal = Fatal::destination_failed;
      return result;
    }
    if (options.check_free_space) {
      auto free = destination->free_space();
      if (free && listing->declared_total > *free) {
        result.fatal = Fatal::not_enough_space;
        result.fatal_detail = "need " + std::to_string(listing->declared_total) + " bytes, " +
                              std::to_string(*free) + " free";
        return result;
      }
    }
  }
  // Where no file can carry the mark, every file would fail to: said once instead.
  Options run_options = options;
  std::optional<EntryReport> marks_lost;
  if (!options.test_only && options.zone_mark && !destination->keeps_zone_marks()) {
    run_options.zone_mark.reset();
    marks_lost = EntryReport{{}, Problem::zone_marks_not_kept, PathRefusal::none, {}};
    observer.entry_problem(*marks_lost);
  }
  if (auto plan = plan_zip_chunks(exe, archive_offset, options))
    result = extract_chunks(exe, archive_offset, *plan, destination, run_options, observer,
                            listing->declared_total);
  else
    result = extract_entries(exe, archive_offset, destination, run_options, observer,
                             listing->declared_total);
  if (marks_lost) result.warnings.insert(result.warnings.begin(), *marks_lost);
  for (const auto& unreached : listing->unreached) {
    observer.entry_problem(unreached);
    result.warnings.push_back(unreached);
  }
  return result;
}

}  // namespace kzsfx
