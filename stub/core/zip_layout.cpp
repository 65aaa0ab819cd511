// The overlap check over the central directory's records, in local header order, and the
// archive's comment.
#include "stub/core/zip_layout.h"

#include <cstring>

#include "stub/core/little_endian.h"
#include "stub/core/utf8.h"

namespace kzsfx {

namespace {

constexpr std::uint64_t kLocalHeaderSize = 30;

std::string ShownName(const ZipName& record) {
  if (auto name = ZipNameUtf8(record)) return *name;
  return utf8::Valid(record.raw) ? record.raw : std::string("(undecodable name)");
}

}  // namespace

std::optional<std::uint64_t> LocalHeaderSpan(ByteSource& source, std::uint64_t localAt) {
  unsigned char header[kLocalHeaderSize];
  if (!ReadExact(source, localAt, header, sizeof header) || std::memcmp(header, "PK\3\4", 4) != 0)
    return std::nullopt;
  return kLocalHeaderSize + Le16(header + 26) + Le16(header + 28);
}

std::optional<std::string> FindSharedData(ByteSource& source, std::uint64_t archiveOffset,
                                          const ZipDirectory& directory) {
  const auto& records = directory.records;
  for (std::size_t i = 1; i < records.size(); ++i) {
    const ZipName& first = records[i - 1];
    const ZipName& next = records[i];
    const std::uint64_t room = next.localOffset - first.localOffset;  // sorted: no wrap
    // A header that is not there fails its own entry; its fixed part still takes room.
    const std::uint64_t span =
        LocalHeaderSpan(source, archiveOffset + directory.correction + first.localOffset)
            .value_or(kLocalHeaderSize);
    if (room >= span && first.compressedSize <= room - span) continue;
    const char* how = room == 0 ? "' share one local header" : "' overlap";
    return "'" + ShownName(first) + "' and '" + ShownName(next) + how;
  }
  return std::nullopt;
}

std::optional<std::string> ReadZipComment(ByteSource& source, std::uint64_t archiveOffset) {
  constexpr std::size_t kEndRecordSize = 22;
  if (archiveOffset >= source.size()) return std::nullopt;
  const std::uint64_t length = source.size() - archiveOffset;
  const std::optional<ZipDirectoryPlace> place = FindZipDirectory(source, archiveOffset, length);
  if (!place || length - place->endRecord < kEndRecordSize) return std::nullopt;
  unsigned char record[kEndRecordSize];
  if (!ReadExact(source, archiveOffset + place->endRecord, record, sizeof record))
    return std::nullopt;
  const std::size_t commentLength = Le16(record + 20);
  if (place->endRecord + kEndRecordSize + commentLength != length) return std::nullopt;
  std::string comment(commentLength, '\0');
  if (!ReadExact(source, archiveOffset + place->endRecord + kEndRecordSize, comment.data(),
                 commentLength))
    return std::nullopt;
  return comment;
}

}  // namespace kzsfx
