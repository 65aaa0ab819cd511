// A bounds-checked walk over the zip central directory, only for names.
#include "stub/core/zip_names.h"

#include <algorithm>
#include <cstring>

#include "stub/core/byte_cursor.h"
#include "stub/core/crc32.h"
#include "stub/core/little_endian.h"
#include "stub/core/utf8.h"

namespace kzsfx {

namespace {

constexpr std::size_t eocd_size = 22;
constexpr std::size_t max_comment = 0xFFFF;
constexpr std::size_t record_size = 46;

}  // namespace

// Finds the last consistent end-of-central-directory record, Zip64 records followed.
std::optional<ZipDirectoryPlace> find_zip_directory(ByteSource& source, std::uint64_t base,
                                                    std::uint64_t length) {
  using Directory = ZipDirectoryPlace;
  const std::size_t window =
      static_cast<std::size_t>(std::min<std::uint64_t>(length, max_comment + eocd_size));
  if (window < eocd_size) return std::nullopt;
  std::vector<unsigned char> tail(window);
  const std::uint64_t tail_at = length - window;
  if (!read_exact(source, base + tail_at, tail.data(), window)) return std::nullopt;
  for (std::size_t i = window - eocd_size + 1; i-- > 0;) {
    const unsigned char* p = tail.data() + i;
    if (std::memcmp(p, "PK\5\6", 4) != 0) continue;
    const std::uint64_t at = tail_at + i;
    if (le16(p + 4) != 0 || le16(p + 6) != 0 || le16(p + 8) != le16(p + 10)) continue;
    Directory dir{0, le32(p + 12), le16(p + 10), le32(p + 16), false, at};
    const bool zip64_marks =
        le32(p + 16) == 0xFFFFFFFF || le32(p + 12) == 0xFFFFFFFF || le16(p + 10) == 0xFFFF;
    if (at >= 20 + 56 && i >= 20 && std::memcmp(p - 20, "PK\6\7", 4) == 0) {
      // The Zip64 record sits right before its locator in every archive we make or meet.
      unsigned char z[56];
      const std::uint64_t z_at = at - 20 - 56;
      if (!read_exact(source, base + z_at, z, sizeof z) || std::memcmp(z, "PK\6\6", 4) != 0)
        return std::nullopt;
      dir.entries = le64(z + 32);
      dir.size = le64(z + 40);
      dir.declared_start = le64(z + 48);
      dir.zip64 = true;
      if (dir.size > z_at) return std::nullopt;
      dir.start = z_at - dir.size;
      return dir;
    }
    if (zip64_marks || dir.size > at) continue;
    // Measured back from the record, so data in front of the archive does not matter.
    dir.start = at - dir.size;
    return dir;
  }
  return std::nullopt;
}

bool read_zip_record(ByteCursor& cursor, ZipName& name) {
  const unsigned char* r = cursor.take(record_size);
  if (!r || std::memcmp(r, "PK\1\2", 4) != 0) return false;
  name.host = r[5];
  name.flags = le16(r + 8);
  name.utf8_flag = (name.flags & 0x0800) != 0;
  const std::uint32_t size32 = le32(r + 24), compressed32 = le32(r + 20), offset32 = le32(r + 42);
  name.size = size32;
  name.local_offset = offset32;
  name.compressed_size = compressed32;
  name.method = le16(r + 10);
  const std::size_t name_length = le16(r + 28), extra_length = le16(r + 30),
                    comment_length = le16(r + 32);
  const unsigned char* raw = cursor.take(name_length);
  if (!raw) return false;
  name.raw.assign(reinterpret_cast<const char*>(raw), name_length);
  const unsigned char* extra = cursor.take(extra_length);
  if (!extra) return false;
  // Zip64 fields appear in a fixed order, each only when its 32-bit field is saturated.
  for (std::size_t left = extra_length; left >= 4;) {
    const std::uint16_t id = le16(extra), field = le16(extra + 2);
    if (field > left - 4) break;
    const unsigned char* data = extra + 4;
    if (id == 0x0001) {
      std::size_t at = 0;
      if (size32 == 0xFFFFFFFF && at + 8 <= field) name.size = le64(data + at), at += 8;
      if (compressed32 == 0xFFFFFFFF && at + 8 <= field)
        name.compressed_size = le64(data + at), at += 8;
      if (offset32 == 0xFFFFFFFF && at + 8 <= field) name.local_offset = le64(data + at);
    } else if (id == 0x7075) {
      name.any_unicode_path = true;
      if (field >= 5 && data[0] == 1 &&
          le32(data + 1) == crc32_update(0, name.raw.data(), name.raw.size()))
        name.unicode_path = std::string(reinterpret_cast<const char*>(data + 5), field - 5);
    }
    extra += 4 + field;
    left -= 4 + field;
  }
  return comment_length == 0 || cursor.take(comment_length) != nullptr;
}

// Records are never reserved for more than this, whatever count the end record claims.
constexpr std::size_t max_reserved_records = 4096;

std::optional<ZipDirectory> read_zip_directory(ByteSource& source, std::uint64_t archive_offset) {
  if (archive_offset >= source.size()) return std::nullopt;
  const std::uint64_t length = source.size() - archive_offset;
  auto dir = find_zip_directory(source, archive_offset, length);
  if (!dir || dir->entries > dir->size / record_size) return std::nullopt;

  std::vector<ZipName> names;
  names.reserve(
      static_cast<std::size_t>(std::min<std::uint64_t>(dir->entries, max_reserved_records)));
  ByteCursor cursor(source, archive_offset + dir->start, archive_offset + dir->start + dir->size);
  for (std::uint64_t i = 0; i < dir->entries; ++i) {
    ZipName name;
    if (!read_zip_record(cursor, name)) return std::nullopt;
    names.push_back(std::move(name));
  }
  std::stable_sort(names.begin(), names.end(), [](const ZipName& a, const ZipName& b) {
    return a.local_offset < b.local_offset;
  });
  return ZipDirectory{std::move(names),
                      static_cast<std::int64_t>(dir->start - dir->declared_start)};
}

std::optional<std::vector<ZipName>> read_zip_names(ByteSource& source,
                                                   std::uint64_t archive_offset) {
  auto directory = read_zip_directory(source, archive_offset);
  if (!directory) return std::nullopt;
  std::vector<ZipName> names = std::move(directory->records);
  names.erase(std::unique(names.begin(), names.end(),
                          [](const ZipName& a, const ZipName& b) {
                            return a.local_offset == b.local_offset;
                          }),
              names.end());
  return names;
}

std::optional<std::string> zip_name_utf8(const ZipName& name) {
  if (name.utf8_flag) return utf8::valid(name.raw) ? std::optional(name.raw) : std::nullopt;
  if (name.unicode_path && utf8::valid(*name.unicode_path)) return name.unicode_path;
  const bool unix_like = name.host == 3 || name.host == 19;
  const bool has_non_ascii = std::any_of(name.raw.begin(), name.raw.end(), [](char c) {
    return static_cast<unsigned char>(c) >= 0x80;
  });
  if (unix_like && has_non_ascii && utf8::valid(name.raw)) return name.raw;
  return std::nullopt;
}

}  // namespace kzsfx
