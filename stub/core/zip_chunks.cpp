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

void put16(std::vector<unsigned char>& out, std::uint16_t v) {
  out.push_back(static_cast<unsigned char>(v));
  out.push_back(static_cast<unsigned char>(v >> 8));
}
void put32(std::vector<unsigned char>& out, std::uint32_t v) {
  put16(out, static_cast<std::uint16_t>(v));
  put16(out, static_cast<std::uint16_t>(v >> 16));
}
void put64(std::vector<unsigned char>& out, std::uint64_t v) {
  put32(out, static_cast<std::uint32_t>(v));
  put32(out, static_cast<std::uint32_t>(v >> 32));
}

constexpr std::size_t record_size = 46;

std::uint64_t key_hash(std::string_view key) {
  std::uint64_t h = 1469598103934665603ull;
  for (char c : key) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
  return h;
}

bool has_duplicates(std::vector<std::uint64_t>& hashes) {
  std::sort(hashes.begin(), hashes.end());
  return std::adjacent_find(hashes.begin(), hashes.end()) != hashes.end();
}

// A component Windows may take for another file's 8.3 short name ("PROGRA~1", "NAME~1.TXT",
// Wine's "A_LO~PHD.TXT"): whether it names a file written by another entry would depend on
// which was written first.
bool may_be_short_name(std::string_view component) {
  const std::size_t dot = component.rfind('.');
  const std::string_view base = component.substr(0, dot);
  const std::size_t tilde = base.find('~');
  return base.size() <= 8 && (dot == std::string_view::npos || component.size() - dot <= 4) &&
         tilde != std::string_view::npos && tilde + 1 < base.size();
}

// The name extraction will give the record, as EntryNamer decides it; nothing when only
// libarchive's own decoding could tell.
std::optional<std::string> planned_name(const ZipName& record, const Options& options) {
  if (auto name = decoded_record_name(record, options)) return name;
  const bool ascii = std::all_of(record.raw.begin(), record.raw.end(),
                                 [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (ascii && !record.any_unicode_path) return record.raw;
  return std::nullopt;
}

}  // namespace

std::optional<ZipPlan> plan_zip_chunks(ByteSource& source, std::uint64_t archive_offset,
                                       const Options& options) {
  if (archive_offset >= source.size()) return std::nullopt;
  const std::uint64_t length = source.size() - archive_offset;
  ZipPlan plan;
  auto dir = find_zip_directory(source, archive_offset, length);
  if (!dir || dir->entries == 0 || dir->entries > dir->size / record_size ||
      dir->start + dir->size > length || dir->declared_start > dir->start)
    return std::nullopt;
  plan.directory = *dir;
  // Runs of about 1/32 of the data: enough for the threads to share out evenly.
  const std::uint64_t target =
      std::clamp<std::uint64_t>(dir->declared_start / 32, 1 << 20, 32 << 20);
  // What libarchive adds to each local header offset (zip_names.h).
  const std::uint64_t correction = dir->start - dir->declared_start;

  // Paths as Windows compares them (name_key.h), hashed: a false clash merely keeps the
  // archive in one pass.
  std::vector<std::uint64_t> names;  // files and folders
  std::vector<std::uint64_t> files;
  std::vector<std::uint64_t> parents;  // every folder a path passes through
  names.reserve(static_cast<std::size_t>(dir->entries));
  std::string previous;
  std::uint64_t data_end = 0;  // where the previous entry's data ends
  ByteCursor reader(source, archive_offset + dir->start, archive_offset + dir->start + dir->size);
  ZipChunk chunk;
  for (std::uint64_t i = 0; i < dir->entries; ++i) {
    const std::uint64_t record_at = reader.position() - archive_offset;
    ZipName record;
    if (!read_zip_record(reader, record) || (record.flags & 0x41) != 0) return std::nullopt;
    if (record.raw.substr(0, 9) == "__MACOSX/" || record.raw.empty()) return std::nullopt;
    const std::uint64_t local = record.local_offset, compressed = record.compressed_size;
    // One entry after another, each with room for its header, as libarchive reads it, and
    // its data before the next.
    if (local < data_end || compressed > UINT64_MAX / 2 || local > UINT64_MAX / 4)
      return std::nullopt;
    const auto header = local_header_span(source, archive_offset + correction + local);
    if (!header) return std::nullopt;
    data_end = local + *header + compressed;

    // Refused names write nothing; any other is compared as the path it becomes.
    const std::optional<std::string> name = planned_name(record, options);
    if (!name) return std::nullopt;
    const SafePath path = check_entry_path(*name);
    if (path.ok()) {
      for (const std::string& component : path.components)
        if (may_be_short_name(component)) return std::nullopt;
      const std::optional<std::string> key = windows_name_key(path.joined());
      if (!key) return std::nullopt;
      names.push_back(key_hash(*key));
      if (!path.directory) files.push_back(names.back());
      // Folders on the way, skipping those the previous path already went through.
      std::size_t common = 0;
      while (common < key->size() && common < previous.size() && (*key)[common] == previous[common])
        ++common;
      for (std::size_t at = 0; at < key->size(); ++at)
        if ((*key)[at] == '/' && at >= common)
          parents.push_back(key_hash(std::string_view(*key).substr(0, at)));
      previous = *key;
    }

    if (chunk.entries == 0) chunk.records_at = record_at;
    ++chunk.entries;
    chunk.compressed += compressed;
    chunk.declared =
        record.size > UINT64_MAX - chunk.declared ? UINT64_MAX : chunk.declared + record.size;
    chunk.records_size = reader.position() - archive_offset - chunk.records_at;
    if (chunk.entries == chunk_entries || chunk.compressed >= target) {
      plan.chunks.push_back(chunk);
      chunk = ZipChunk{};
    }
  }
  if (chunk.entries) plan.chunks.push_back(chunk);
  if (data_end > dir->declared_start) return std::nullopt;

  if (has_duplicates(names)) return std::nullopt;
  std::sort(parents.begin(), parents.end());
  for (std::uint64_t file : files)
    if (std::binary_search(parents.begin(), parents.end(), file)) return std::nullopt;
  return plan;
}

ChunkSource::ChunkSource(ByteSource& source, std::uint64_t archive_offset, const ZipPlan& plan,
                         const ZipChunk& chunk)
    : source_(source), offset_(archive_offset), head_(plan.directory.start) {
  tail_.resize(static_cast<std::size_t>(chunk.records_size));
  if (!read_exact(source, archive_offset + chunk.records_at, tail_.data(), tail_.size())) return;
  const std::uint64_t records_end = head_ + chunk.records_size;
  if (plan.directory.zip64) {
    put32(tail_, 0x06064b50);
    put64(tail_, 44);
    put16(tail_, 45);
    put16(tail_, 45);
    put32(tail_, 0);
    put32(tail_, 0);
    put64(tail_, chunk.entries);
    put64(tail_, chunk.entries);
    put64(tail_, chunk.records_size);
    put64(tail_, plan.directory.declared_start);
    put32(tail_, 0x07064b50);
    put32(tail_, 0);
    put64(tail_, records_end);
    put32(tail_, 1);
  }
  put32(tail_, 0x06054b50);
  put16(tail_, 0);
  put16(tail_, 0);
  const bool zip64 = plan.directory.zip64;
  put16(tail_, zip64 ? 0xFFFF : static_cast<std::uint16_t>(chunk.entries));
  put16(tail_, zip64 ? 0xFFFF : static_cast<std::uint16_t>(chunk.entries));
  put32(tail_, zip64 ? 0xFFFFFFFF : static_cast<std::uint32_t>(chunk.records_size));
  put32(tail_, zip64 ? 0xFFFFFFFF : static_cast<std::uint32_t>(plan.directory.declared_start));
  put16(tail_, 0);
  ok_ = true;
}

std::optional<std::size_t> ChunkSource::read_at(std::uint64_t offset, void* buffer,
                                                std::size_t count) {
  if (offset < head_) {
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(count, head_ - offset));
    return source_.read_at(offset_ + offset, buffer, n);
  }
  const std::uint64_t at = offset - head_;
  if (at >= tail_.size()) return std::size_t{0};
  const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(count, tail_.size() - at));
  std::memcpy(buffer, tail_.data() + at, n);
  return n;
}

}  // namespace kzsfx
