// Decoder memory that a zip entry's own header asks for, checked before libarchive decodes the
// entry: libarchive hands liblzma no memory limit, so a 4 KB archive could otherwise make it
// allocate gigabytes (and the run end as "out of memory") for an entry of a few bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "stub/core/byte_source.h"

struct archive;
struct archive_entry;

namespace kzsfx {

// A dictionary up to this size is never questioned: archivers use fixed dictionaries this
// large even for small files (7-Zip's strongest LZMA level takes 64 MiB).
inline constexpr std::uint64_t kUsualDictionary = 64u << 20;
// No entry gets a larger one, whatever its size: the most a 32-bit process can count on.
inline constexpr std::uint64_t kMaxDictionary = 256u << 20;

// Why the zip entry libarchive has just read the header of asks for more decoder memory than
// an entry of its declared size can need (more than the larger of that size and
// kUsualDictionary, or more than kMaxDictionary), or nothing. Covers LZMA (method 14) and XZ
// (method 95, the first block's LZMA2 filter). Reads the dictionary from the first bytes of
// the entry's data, where libarchive's reading stands after the header, whichever of its zip
// readers is at work. Data libarchive decrypts first, and properties that cannot be read,
// are left to the decoder, which then reports the damage itself.
std::optional<std::string> ExcessiveDecoderMemory(archive* a, archive_entry* entry,
                                                  ByteSource& source, std::uint64_t archiveOffset);

}  // namespace kzsfx
