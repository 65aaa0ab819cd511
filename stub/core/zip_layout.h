// Where a zip's central directory puts its entries' data: records whose data overlaps another
// record's are the non-recursive zip bomb (one small kernel read many times over).
#pragma once

#include <optional>
#include <string>

#include "stub/core/zip_names.h"

namespace kzsfx {

// Names two records whose local headers and data overlap (or that share one local header),
// or nothing when every record's data ends before the next record's header begins.
std::optional<std::string> find_shared_data(const ZipDirectory& directory);

}  // namespace kzsfx
