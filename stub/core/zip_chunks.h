// A zip cut into runs of entries that libarchive can read each on its own handle, so that
// several threads extract at once and no handle ever holds more than one run's directory.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "stub/core/byte_source.h"
#include "stub/core/options.h"
#include "stub/core/zip_names.h"

namespace kzsfx {

struct ZipChunk {
  std::uint64_t recordsAt = 0;    // its first central record, relative to the archive
  std::uint64_t recordsSize = 0;  // bytes of its central records
  std::uint32_t entries = 0;
  std::uint64_t compressed = 0;  // the work it holds, to share it out evenly
  std::uint64_t declared = 0;    // sum of its uncompressed sizes, saturated
};

struct ZipPlan {
  ZipDirectoryPlace directory;
  std::vector<ZipChunk> chunks;  // in archive order
};

// Entries per run at most: bounds what one handle holds whatever the archive's size.
inline constexpr std::uint32_t kChunkEntries = 1000;

// Cuts the zip at `archiveOffset` into runs of consecutive central records. Nothing when the
// archive is better read whole, in one pass, as before: no readable central directory,
// entries not stored one after another in directory order (overlapping or shared data), an
// encrypted entry (one password question for the whole archive), macOS resource forks (paired
// across entries by libarchive), or two entries that would land on the same file or on each
// other's folders as Windows compares names (which one wins would depend on timing): names
// decoded with `options` and checked as extraction does, folded for case, and no name that
// Windows could take for another's short name.
std::optional<ZipPlan> PlanZipChunks(ByteSource& source, std::uint64_t archiveOffset,
                                     const Options& options);

// One run seen as a zip of its own: the archive's bytes up to its central directory, then only
// the run's records and an end record. libarchive reads it exactly as it reads the whole.
class ChunkSource final : public ByteSource {
 public:
  ChunkSource(ByteSource& source, std::uint64_t archiveOffset, const ZipPlan& plan,
              const ZipChunk& chunk);
  // False when the records could not be read.
  bool Ok() const { return ok_; }
  std::uint64_t size() const override { return head_ + tail_.size(); }
  std::optional<std::size_t> ReadAt(std::uint64_t offset, void* buffer, std::size_t count) override;

 private:
  ByteSource& source_;
  const std::uint64_t offset_;
  const std::uint64_t head_;  // the archive's own bytes: everything before its directory
  std::vector<unsigned char> tail_;
  bool ok_ = false;
};

}  // namespace kzsfx
