// Zip entry names as the central directory stores them, for the decisions libarchive cannot
// make: which names are UTF-8 although unflagged, and Unicode path fields checked on raw bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "stub/core/byte_source.h"

namespace kzsfx {

struct ZipName {
  std::uint64_t localOffset = 0;
  std::uint64_t size = 0;            // uncompressed, Zip64 field applied
  std::uint64_t compressedSize = 0;  // Zip64 field applied
  std::uint16_t method = 0;          // compression method
  std::uint16_t flags = 0;           // general purpose bits
  std::uint8_t host = 0;             // "version made by" high byte: 0 DOS, 3 Unix, 10 NTFS, 19 OS X
  bool utf8Flag = false;             // general purpose bit 11
  std::string raw;                   // the name's bytes as stored
  std::optional<std::string> unicodePath;  // 0x7075 field whose CRC matches `raw`
  bool anyUnicodePath = false;             // a 0x7075 field, whatever its CRC
};

class ByteCursor;

// Reads the central directory record at the cursor into `record`; false when it is not one
// or is cut off.
bool ReadZipRecord(ByteCursor& cursor, ZipName& record);

// Where the central directory is, from the last consistent end record (Zip64 followed).
struct ZipDirectoryPlace {
  std::uint64_t start = 0;  // where it really is, relative to the archive
  std::uint64_t size = 0;
  std::uint64_t entries = 0;
  std::uint64_t declaredStart = 0;  // what the end record says (differs when data was prepended)
  bool zip64 = false;
  std::uint64_t endRecord = 0;  // where the end record itself is, relative to the archive
};
std::optional<ZipDirectoryPlace> FindZipDirectory(ByteSource& source, std::uint64_t archiveOffset,
                                                  std::uint64_t length);

struct ZipDirectory {
  // Every record, by ascending local header offset; records sharing an offset are all kept.
  std::vector<ZipName> records;
  // What libarchive adds to every local header offset: where the directory really is minus
  // where the end record says it is (bytes prepended to the zip).
  std::int64_t correction = 0;
};

// Reads the central directory of the zip at `archiveOffset`. Nothing when there is no
// readable central directory. Bounded: reads through a fixed buffer, keeps only the records.
std::optional<ZipDirectory> ReadZipDirectory(ByteSource& source, std::uint64_t archiveOffset);

// The records in the order libarchive's seekable reader hands out entries (ascending local
// header offset, first of duplicates). Nothing when there is no readable central directory;
// the caller then keeps libarchive's names.
std::optional<std::vector<ZipName>> ReadZipNames(ByteSource& source, std::uint64_t archiveOffset);

// The UTF-8 name the entry should get, or nothing to keep libarchive's decoding (the
// system code page): the UTF-8 flag, then a Unicode path field, then raw bytes from a Unix
// or macOS archiver that are valid UTF-8 (what Info-ZIP and macOS write without a flag).
std::optional<std::string> ZipNameUtf8(const ZipName& name);

}  // namespace kzsfx
