// Cutting a zip's central directory into runs, and the per-run view libarchive reads.
#include "stub/core/zip_chunks.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "stub/core/byte_cursor.h"
#include "stub/core/little_endian.h"

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
constexpr std::size_t local_header_size = 30;

// Names as Windows compares them, closely enough to find clashes: ASCII case folded, either
// slash, no trailing slash. Hashes only: a false clash merely keeps the archive in one pass.
std::uint64_t name_hash(std::string_view name) {
  std::uint64_t h = 1469598103934665603ull;
  for (char c : name) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c == '\\') c = '/';
    h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
  }
  return h;
}

bool has_duplicates(std::vector<std::uint64_t>& hashes) {
  std::sort(hashes.begin(), hashes.end());
  return std::adjacent_find(hashes.begin(), hashes.end()) != hashes.end();
}

}  // namespace

std::optional<ZipPlan> plan_zip_chunks(ByteSource& source, std::uint64_t archive_offset) {
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

  std::vector<std::uint64_t> names;  // files and folders
  std::vector<std::uint64_t> files;
  std::vector<std::uint64_t> parents;  // every folder a name passes through
  names.reserve(static_cast<std::size_t>(dir->entries));
  std::string previous;
  std::uint64_t data_end = 0;  // where the previous entry's data ends at the earliest
  ByteCursor reader(source, archive_offset + dir->start, archive_offset + dir->start + dir->size);
  ZipChunk chunk;
  for (std::uint64_t i = 0; i < dir->entries; ++i) {
    const std::uint64_t record_at = reader.position() - archive_offset;
    const unsigned char* r = reader.take(record_size);
    if (!r || std::memcmp(r, "PK\1\2", 4) != 0) return std::nullopt;
    const std::uint16_t flags = le16(r + 8);
    std::uint64_t compressed = le32(r + 20), size = le32(r + 24), local = le32(r + 42);
    const bool size_saturated = size == 0xFFFFFFFF, compressed_saturated = compressed == 0xFFFFFFFF;
    const bool local_saturated = local == 0xFFFFFFFF;
    const std::size_t name_length = le16(r + 28), extra_length = le16(r + 30),
                      comment_length = le16(r + 32);
    const unsigned char* raw = reader.take(name_length);
    if (!raw || (flags & 0x41) != 0) return std::nullopt;
    const std::string_view name(reinterpret_cast<const char*>(raw), name_length);
    if (name.substr(0, 9) == "__MACOSX/" || name.empty()) return std::nullopt;
    const std::string name_copy(name);
    const unsigned char* extra = reader.take(extra_length);
    if (!extra || (comment_length && !reader.take(comment_length))) return std::nullopt;
    for (std::size_t left = extra_length; left >= 4;) {
      const std::uint16_t id = le16(extra), field = le16(extra + 2);
      if (field > left - 4) break;
      if (id == 0x0001) {
        std::size_t at = 0;
        if (size_saturated && at + 8 <= field) size = le64(extra + 4 + at), at += 8;
        if (compressed_saturated && at + 8 <= field) compressed = le64(extra + 4 + at), at += 8;
        if (local_saturated && at + 8 <= field) local = le64(extra + 4 + at);
      }
      extra += 4 + field;
      left -= 4 + field;
    }
    // One entry after another, each with room for its header and data before the next.
    if (local < data_end || compressed > UINT64_MAX / 2) return std::nullopt;
    data_end = local + local_header_size + compressed;

    std::string_view bare = name_copy;
    const bool folder = bare.back() == '/' || bare.back() == '\\';
    while (!bare.empty() && (bare.back() == '/' || bare.back() == '\\')) bare.remove_suffix(1);
    names.push_back(name_hash(bare));
    if (!folder) files.push_back(names.back());
    // Folders on the way, skipping those the previous name already went through.
    std::size_t common = 0;
    while (common < bare.size() && common < previous.size() && bare[common] == previous[common])
      ++common;
    for (std::size_t at = 0; at < bare.size(); ++at)
      if ((bare[at] == '/' || bare[at] == '\\') && at >= common)
        parents.push_back(name_hash(bare.substr(0, at)));
    previous.assign(bare);

    if (chunk.entries == 0) chunk.records_at = record_at;
    ++chunk.entries;
    chunk.compressed += compressed;
    chunk.declared = size > UINT64_MAX - chunk.declared ? UINT64_MAX : chunk.declared + size;
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
