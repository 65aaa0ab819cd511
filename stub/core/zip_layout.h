// Where a zip's entries really keep their data: records whose data overlaps another record's
// are the non-recursive zip bomb (one small kernel read many times over). And the archive's
// comment, which may carry an installer script.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "stub/core/byte_source.h"
#include "stub/core/zip_names.h"

namespace kzsfx {

// The bytes of the local header at `localAt` (from the start of the source) with its own
// name and extra field: where libarchive starts the entry's data, whatever the central
// directory's record says. Nothing when no local header is there.
std::optional<std::uint64_t> LocalHeaderSpan(ByteSource& source, std::uint64_t localAt);

// Names two records of the zip at `archiveOffset` whose local headers and data overlap (or
// that share one local header), or nothing when every entry ends before the next begins.
std::optional<std::string> FindSharedData(ByteSource& source, std::uint64_t archiveOffset,
                                          const ZipDirectory& directory);

// The zip's comment as stored (raw bytes), read from the end record that FindZipDirectory
// takes. Nothing when there is no end record, or its comment does not end where the archive
// does: then the comment's length was not what the archiver wrote.
std::optional<std::string> ReadZipComment(ByteSource& source, std::uint64_t archiveOffset);

}  // namespace kzsfx
