// The overlap check over the central directory's records, in local header order.
#include "stub/core/zip_layout.h"

#include <cstdint>

#include "stub/core/utf8.h"

namespace kzsfx {

namespace {

// The fixed part of a local header. The name and extra field that follow it only add to the
// span, so a span measured without them never finds an overlap that is not there.
constexpr std::uint64_t local_header_size = 30;

std::string shown_name(const ZipName& record) {
  if (auto name = zip_name_utf8(record)) return *name;
  return utf8::valid(record.raw) ? record.raw : std::string("(undecodable name)");
}

}  // namespace

std::optional<std::string> find_shared_data(const ZipDirectory& directory) {
  const auto& records = directory.records;
  for (std::size_t i = 1; i < records.size(); ++i) {
    const ZipName& first = records[i - 1];
    const ZipName& next = records[i];
    const std::uint64_t room = next.local_offset - first.local_offset;  // sorted: no wrap
    if (room >= local_header_size && first.compressed_size <= room - local_header_size) continue;
    const char* how = room == 0 ? "' share one local header" : "' overlap";
    return "'" + shown_name(first) + "' and '" + shown_name(next) + how;
  }
  return std::nullopt;
}

}  // namespace kzsfx
