// Where a zip's central directory puts its entries' data: records whose data overlaps another
// record's are the non-recursive zip bomb (one small kernel read many times over). And the
// archive's comment, which may carry an installer script.
#pragma once

#include <optional>
#include <string>

#include "stub/core/zip_names.h"

namespace kzsfx {

// Names two records whose local headers and data overlap (or that share one local header),
// or nothing when every record's data ends before the next record's header begins.
std::optional<std::string> find_shared_data(const ZipDirectory& directory);

// The zip's comment as stored (raw bytes), read from the end record that find_zip_directory
// takes. Nothing when there is no end record, or its comment does not end where the archive
// does: then the comment's length was not what the archiver wrote.
std::optional<std::string> ReadZipComment(ByteSource& source, std::uint64_t archiveOffset);

}  // namespace kzsfx
