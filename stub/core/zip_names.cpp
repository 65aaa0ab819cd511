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

constexpr std::size_t kEocdSize = 22;
constexpr std::size_t kMaxComment = 0xFFFF;
constexpr std::size_t kRecordSize = 46;

}  // namespace

// Finds the last consistent end-of-central-directory record, Zip64 records followed.
std::optional<ZipDirectoryPlace> FindZipDirectory(ByteSource& source, std::uint64_t base,
                                                  std::uint64_t length) {
  using Directory = ZipDirectoryPlace;
  const std::size_t window =
      static_cast<std::size_t>(std::min<std::uint64_t>(length, kMaxComment + kEocdSize));
  if (window < kEocdSize) return std::nullopt;
  std::vector<unsigned char> tail(window);
  const std::uint64_t tailAt = length - window;
  if (!ReadExact(source, base + tailAt, tail.data(), window)) return std::nullopt;
  for (std::size_t i = window - kEocdSize + 1; i-- > 0;) {
    const unsigned char* p = tail.data() + i;
    if (std::memcmp(p, "PK\5\6", 4) != 0) continue;
    const std::uint64_t at = tailAt + i;
    if (Le16(p + 4) != 0 || Le16(p + 6) != 0 || Le16(p + 8) != Le16(p + 10)) continue;
    Directory dir{0, Le32(p + 12), Le16(p + 10), Le32(p + 16), false, at};
    const bool zip64Marks =
        Le32(p + 16) == 0xFFFFFFFF || Le32(p + 12) == 0xFFFFFFFF || Le16(p + 10) == 0xFFFF;
    if (at >= 20 + 56 && i >= 20 && std::memcmp(p - 20, "PK\6\7", 4) == 0) {
      // The Zip64 record sits right before its locator in every archive we make or meet.
      unsigned char z[56];
      const std::uint64_t zAt = at - 20 - 56;
      if (!ReadExact(source, base + zAt, z, sizeof z) || std::memcmp(z, "PK\6\6", 4) != 0)
        return std::nullopt;
      dir.entries = Le64(z + 32);
      dir.size = Le64(z + 40);
      dir.declaredStart = Le64(z + 48);
      dir.zip64 = true;
      if (dir.size > zAt) return std::nullopt;
      dir.start = zAt - dir.size;
      return dir;
    }
    if (zip64Marks || dir.size > at) continue;
    // Measured back from the record, so data in front of the archive does not matter.
    dir.start = at - dir.size;
    return dir;
  }
  return std::nullopt;
}

bool ReadZipRecord(ByteCursor& cursor, ZipName& name) {
  const unsigned char* r = cursor.Take(kRecordSize);
  if (!r || std::memcmp(r, "PK\1\2", 4) != 0) return false;
  name.host = r[5];
  name.flags = Le16(r + 8);
  name.utf8Flag = (name.flags & 0x0800) != 0;
  const std::uint32_t size32 = Le32(r + 24), compressed32 = Le32(r + 20), offset32 = Le32(r + 42);
  name.size = size32;
  name.localOffset = offset32;
  name.compressedSize = compressed32;
  name.method = Le16(r + 10);
  const std::size_t nameLength = Le16(r + 28), extraLength = Le16(r + 30),
                    commentLength = Le16(r + 32);
  const unsigned char* raw = cursor.Take(nameLength);
  if (!raw) return false;
  name.raw.assign(reinterpret_cast<const char*>(raw), nameLength);
  const unsigned char* extra = cursor.Take(extraLength);
  if (!extra) return false;
  // Zip64 fields appear in a fixed order, each only when its 32-bit field is saturated.
  for (std::size_t left = extraLength; left >= 4;) {
    const std::uint16_t id = Le16(extra), field = Le16(extra + 2);
    if (field > left - 4) break;
    const unsigned char* data = extra + 4;
    if (id == 0x0001) {
      std::size_t at = 0;
      if (size32 == 0xFFFFFFFF && at + 8 <= field) name.size = Le64(data + at), at += 8;
      if (compressed32 == 0xFFFFFFFF && at + 8 <= field)
        name.compressedSize = Le64(data + at), at += 8;
      if (offset32 == 0xFFFFFFFF && at + 8 <= field) name.localOffset = Le64(data + at);
    } else if (id == 0x7075) {
      name.anyUnicodePath = true;
      if (field >= 5 && data[0] == 1 &&
          Le32(data + 1) == Crc32Update(0, name.raw.data(), name.raw.size()))
        name.unicodePath = std::string(reinterpret_cast<const char*>(data + 5), field - 5);
    }
    extra += 4 + field;
    left -= 4 + field;
  }
  return commentLength == 0 || cursor.Take(commentLength) != nullptr;
}

// Records are never reserved for more than this, whatever count the end record claims.
constexpr std::size_t kMaxReservedRecords = 4096;

std::optional<ZipDirectory> ReadZipDirectory(ByteSource& source, std::uint64_t archiveOffset) {
  if (archiveOffset >= source.size()) return std::nullopt;
  const std::uint64_t length = source.size() - archiveOffset;
  auto dir = FindZipDirectory(source, archiveOffset, length);
  if (!dir || dir->entries > dir->size / kRecordSize) return std::nullopt;

  std::vector<ZipName> names;
  names.reserve(
      static_cast<std::size_t>(std::min<std::uint64_t>(dir->entries, kMaxReservedRecords)));
  ByteCursor cursor(source, archiveOffset + dir->start, archiveOffset + dir->start + dir->size);
  for (std::uint64_t i = 0; i < dir->entries; ++i) {
    ZipName name;
    if (!ReadZipRecord(cursor, name)) return std::nullopt;
    names.push_back(std::move(name));
  }
  std::stable_sort(names.begin(), names.end(), [](const ZipName& a, const ZipName& b) {
    return a.localOffset < b.localOffset;
  });
  return ZipDirectory{std::move(names), static_cast<std::int64_t>(dir->start - dir->declaredStart)};
}

std::optional<std::vector<ZipName>> ReadZipNames(ByteSource& source, std::uint64_t archiveOffset) {
  auto directory = ReadZipDirectory(source, archiveOffset);
  if (!directory) return std::nullopt;
  std::vector<ZipName> names = std::move(directory->records);
  names.erase(std::unique(names.begin(), names.end(),
                          [](const ZipName& a, const ZipName& b) {
                            return a.localOffset == b.localOffset;
                          }),
              names.end());
  return names;
}

std::optional<std::string> ZipNameUtf8(const ZipName& name) {
  if (name.utf8Flag) return utf8::Valid(name.raw) ? std::optional(name.raw) : std::nullopt;
  if (name.unicodePath && utf8::Valid(*name.unicodePath)) return name.unicodePath;
  const bool unixLike = name.host == 3 || name.host == 19;
  const bool hasNonAscii = std::any_of(name.raw.begin(), name.raw.end(), [](char c) {
    return static_cast<unsigned char>(c) >= 0x80;
  });
  if (unixLike && hasNonAscii && utf8::Valid(name.raw)) return name.raw;
  return std::nullopt;
}

}  // namespace kzsfx
