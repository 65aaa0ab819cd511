// Cutting a zip's central directory into runs, and the per-run view libarchive reads.
#include "stub/core/zip_chunks.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "stub/core/byte_cursor.h"
#include "stub/core/entry_info.h"
#include "stub/core/little_endian.h"
#include "stub/core/name_key.h"
#include "stub/core/safe_path.h"
#include "stub/core/zip_layout.h"

namespace kzsfx {

namespace {

void Put16(std::vector<unsigned char>& out, std::uint16_t v) {
  out.push_back(static_cast<unsigned char>(v));
  out.push_back(static_cast<unsigned char>(v >> 8));
}
void Put32(std::vector<unsigned char>& out, std::uint32_t v) {
  Put16(out, static_cast<std::uint16_t>(v));
  Put16(out, static_cast<std::uint16_t>(v >> 16));
}
void Put64(std::vector<unsigned char>& out, std::uint64_t v) {
  Put32(out, static_cast<std::uint32_t>(v));
  Put32(out, static_cast<std::uint32_t>(v >> 32));
}

constexpr std::size_t kRecordSize = 46;

std::uint64_t KeyHash(std::string_view key) {
  std::uint64_t h = 1469598103934665603ull;
  for (char c : key) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
  return h;
}

bool HasDuplicates(std::vector<std::uint64_t>& hashes) {
  std::sort(hashes.begin(), hashes.end());
  return std::adjacent_find(hashes.begin(), hashes.end()) != hashes.end();
}

// A component Windows may take for another file's 8.3 short name ("PROGRA~1", "NAME~1.TXT",
// Wine's "A_LO~PHD.TXT"): whether it names a file written by another entry would depend on
// which was written first.
bool MayBeShortName(std::string_view component) {
  const std::size_t dot = component.rfind('.');
  const std::string_view base = component.substr(0, dot);
  const std::size_t tilde = base.find('~');
  return base.size() <= 8 && (dot == std::string_view::npos || component.size() - dot <= 4) &&
         tilde != std::string_view::npos && tilde + 1 < base.size();
}

// The name extraction will give the record, as EntryNamer decides it; nothing when only
// libarchive's own decoding could tell.
std::optional<std::string> PlannedName(const ZipName& record, const Options& options) {
  if (auto name = DecodedRecordName(record, options)) return name;
  const bool ascii = std::all_of(record.raw.begin(), record.raw.end(),
                                 [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (ascii && !record.anyUnicodePath) return record.raw;
  return std::nullopt;
}

}  // namespace

std::optional<ZipPlan> PlanZipChunks(ByteSource& source, std::uint64_t archiveOffset,
                                     const Options& options) {
  if (archiveOffset >= source.size()) return std::nullopt;
  const std::uint64_t length = source.size() - archiveOffset;
  ZipPlan plan;
  auto dir = FindZipDirectory(source, archiveOffset, length);
  if (!dir || dir->entries == 0 || dir->entries > dir->size / kRecordSize ||
      dir->start + dir->size > length || dir->declaredStart > dir->start)
    return std::nullopt;
  plan.directory = *dir;
  // Runs of about 1/32 of the data: enough for the threads to share out evenly.
  const std::uint64_t target =
      std::clamp<std::uint64_t>(dir->declaredStart / 32, 1 << 20, 32 << 20);
  // What libarchive adds to each local header offset (zip_names.h).
  const std::uint64_t correction = dir->start - dir->declaredStart;

  // Paths as Windows compares them (name_key.h), hashed: a false clash merely keeps the
  // archive in one pass.
  std::vector<std::uint64_t> names;  // files and folders
  std::vector<std::uint64_t> files;
  std::vector<std::uint64_t> parents;  // every folder a path passes through
  names.reserve(static_cast<std::size_t>(dir->entries));
  std::string previous;
  std::uint64_t dataEnd = 0;  // where the previous entry's data ends
  ByteCursor reader(source, archiveOffset + dir->start, archiveOffset + dir->start + dir->size);
  ZipChunk chunk;
  for (std::uint64_t i = 0; i < dir->entries; ++i) {
    const std::uint64_t recordAt = reader.Position() - archiveOffset;
    ZipName record;
    if (!ReadZipRecord(reader, record) || (record.flags & 0x41) != 0) return std::nullopt;
    if (record.raw.substr(0, 9) == "__MACOSX/" || record.raw.empty()) return std::nullopt;
    const std::uint64_t local = record.localOffset, compressed = record.compressedSize;
    // One entry after another, each with room for its header, as libarchive reads it, and
    // its data before the next.
    if (local < dataEnd || compressed > UINT64_MAX / 2 || local > UINT64_MAX / 4)
      return std::nullopt;
    const auto header = LocalHeaderSpan(source, archiveOffset + correction + local);
    if (!header) return std::nullopt;
    dataEnd = local + *header + compressed;

    // Refused names write nothing; any other is compared as the path it becomes.
    const std::optional<std::string> name = PlannedName(record, options);
    if (!name) return std::nullopt;
    const SafePath path = CheckEntryPath(*name);
    if (path.Ok()) {
      for (const std::string& component : path.components)
        if (MayBeShortName(component)) return std::nullopt;
      const std::optional<std::string> key = WindowsNameKey(path.Joined());
      if (!key) return std::nullopt;
      names.push_back(KeyHash(*key));
      if (!path.directory) files.push_back(names.back());
      // Folders on the way, skipping those the previous path already went through.
      std::size_t common = 0;
      while (common < key->size() && common < previous.size() && (*key)[common] == previous[common])
        ++common;
      for (std::size_t at = 0; at < key->size(); ++at)
        if ((*key)[at] == '/' && at >= common)
          parents.push_back(KeyHash(std::string_view(*key).substr(0, at)));
      previous = *key;
    }

    if (chunk.entries == 0) chunk.recordsAt = recordAt;
    ++chunk.entries;
    chunk.compressed += compressed;
    chunk.declared =
        record.size > UINT64_MAX - chunk.declared ? UINT64_MAX : chunk.declared + record.size;
    chunk.recordsSize = reader.Position() - archiveOffset - chunk.recordsAt;
    if (chunk.entries == kChunkEntries || chunk.compressed >= target) {
      plan.chunks.push_back(chunk);
      chunk = ZipChunk{};
    }
  }
  if (chunk.entries) plan.chunks.push_back(chunk);
  if (dataEnd > dir->declaredStart) return std::nullopt;

  if (HasDuplicates(names)) return std::nullopt;
  std::sort(parents.begin(), parents.end());
  for (std::uint64_t file : files)
    if (std::binary_search(parents.begin(), parents.end(), file)) return std::nullopt;
  return plan;
}

ChunkSource::ChunkSource(ByteSource& source, std::uint64_t archiveOffset, const ZipPlan& plan,
                         const ZipChunk& chunk)
    : source_(source), offset_(archiveOffset), head_(plan.directory.start) {
  tail_.resize(static_cast<std::size_t>(chunk.recordsSize));
  if (!ReadExact(source, archiveOffset + chunk.recordsAt, tail_.data(), tail_.size())) return;
  const std::uint64_t recordsEnd = head_ + chunk.recordsSize;
  if (plan.directory.zip64) {
    Put32(tail_, 0x06064b50);
    Put64(tail_, 44);
    Put16(tail_, 45);
    Put16(tail_, 45);
    Put32(tail_, 0);
    Put32(tail_, 0);
    Put64(tail_, chunk.entries);
    Put64(tail_, chunk.entries);
    Put64(tail_, chunk.recordsSize);
    Put64(tail_, plan.directory.declaredStart);
    Put32(tail_, 0x07064b50);
    Put32(tail_, 0);
    Put64(tail_, recordsEnd);
    Put32(tail_, 1);
  }
  Put32(tail_, 0x06054b50);
  Put16(tail_, 0);
  Put16(tail_, 0);
  const bool zip64 = plan.directory.zip64;
  Put16(tail_, zip64 ? 0xFFFF : static_cast<std::uint16_t>(chunk.entries));
  Put16(tail_, zip64 ? 0xFFFF : static_cast<std::uint16_t>(chunk.entries));
  Put32(tail_, zip64 ? 0xFFFFFFFF : static_cast<std::uint32_t>(chunk.recordsSize));
  Put32(tail_, zip64 ? 0xFFFFFFFF : static_cast<std::uint32_t>(plan.directory.declaredStart));
  Put16(tail_, 0);
  ok_ = true;
}

std::optional<std::size_t> ChunkSource::ReadAt(std::uint64_t offset, void* buffer,
                                               std::size_t count) {
  if (offset < head_) {
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(count, head_ - offset));
    return source_.ReadAt(offset_ + offset, buffer, n);
  }
  const std::uint64_t at = offset - head_;
  if (at >= tail_.size()) return std::size_t{0};
  const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(count, tail_.size() - at));
  std::memcpy(buffer, tail_.data() + at, n);
  return n;
}

}  // namespace kzsfx
