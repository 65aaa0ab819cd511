// The overlap check over the central directory's records, in local header order, and the
// archive's comment.
#include "stub/core/zip_layout.h"

#include <cstring>

#include "stub/core/little_endian.h"
#include "stub/core/utf8.h"

namespace kzsfx {

namespace {

constexpr std::uint64_t local_header_size = 30;

std::string shown_name(const ZipName& record) {
  if (auto name = zip_name_utf8(record)) return *name;
  return utf8::valid(record.raw) ? record.raw : std::string("(undecodable name)");
}

}  // namespace

std::optional<std::uint64_t> local_header_span(ByteSource& source, std::uint64_t local_at) {
  unsigned char header[local_header_size];
  if (!read_exact(source, local_at, header, sizeof header) || std::memcmp(header, "PK\3\4", 4) != 0)
    return std::nullopt;
  return local_header_size + le16(header + 26) + le16(header + 28);
}

std::optional<std::string> find_shared_data(ByteSource& source, std::uint64_t archive_offset,
                                            const ZipDirectory& directory) {
  const auto& records = directory.records;
  for (std::size_t i = 1; i < records.size(); ++i) {
    const ZipName& first = records[i - 1];
    const ZipName& next = records[i];
    const std::uint64_t room = next.local_offset - first.local_offset;  // sorted: no wrap
    // A header that is not there fails its own entry; its fixed part still takes room.
    const std::uint64_t span =
        local_header_span(source, archive_offset + directory.correction + first.local_offset)
            .value_or(local_header_size);
    if (room >= span && first.compressed_size <= room - span) continue;
    const char* how = room == 0 ? "' share one local header" : "' overlap";
    return "'" + shown_name(first) + "' and '" + shown_name(next) + how;
  }
  return std::nullopt;
}

std::optional<std::string> ReadZipComment(ByteSource& source, std::uint64_t archiveOffset) {
  constexpr std::size_t kEndRecordSize = 22;
  if (archiveOffset >= source.size()) return std::nullopt;
  const std::uint64_t length = source.size() - archiveOffset;
  const std::optional<ZipDirectoryPlace> place = find_zip_directory(source, archiveOffset, length);
  if (!place || length - place->end_record < kEndRecordSize) return std::nullopt;
  unsigned char record[kEndRecordSize];
  if (!read_exact(source, archiveOffset + place->end_record, record, sizeof record))
    return std::nullopt;
  const std::size_t commentLength = le16(record + 20);
  if (place->end_record + kEndRecordSize + commentLength != length) return std::nullopt;
  std::string comment(commentLength, '\0');
  if (!read_exact(source, archiveOffset + place->end_record + kEndRecordSize, comment.data(),
                  commentLength))
    return std::nullopt;
  return comment;
}

}  // namespace kzsfx
