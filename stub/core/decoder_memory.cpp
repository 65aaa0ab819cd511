// Reads the dictionary size from the start of an entry's LZMA or XZ data.
#include "stub/core/decoder_memory.h"

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

#include "stub/core/little_endian.h"

namespace kzsfx {

namespace {

// An XZ variable-length integer at `p`, advancing it; nothing when it runs past `end`.
std::optional<std::uint64_t> TakeVli(const unsigned char*& p, const unsigned char* end) {
  std::uint64_t value = 0;
  for (unsigned shift = 0; p < end && shift < 63; shift += 7) {
    const unsigned char byte = *p++;
    value |= static_cast<std::uint64_t>(byte & 0x7F) << shift;
    if ((byte & 0x80) == 0) return value;
  }
  return std::nullopt;
}

// The LZMA2 dictionary of the first block of an XZ stream, from its block header.
std::optional<std::uint64_t> XzDictionary(const unsigned char* data, std::size_t size) {
  static const unsigned char kMagic[6] = {0xFD, '7', 'z', 'X', 'Z', 0};
  constexpr std::size_t kStreamHeader = 12;
  if (size < kStreamHeader + 1 || std::memcmp(data, kMagic, sizeof kMagic) != 0 ||
      data[kStreamHeader] == 0)
    return std::nullopt;
  const unsigned char* p = data + kStreamHeader;
  const unsigned char* end = p + std::min<std::size_t>((p[0] + 1u) * 4, size - kStreamHeader);
  p += 1;
  if (p >= end) return std::nullopt;
  const unsigned flags = *p++;
  if ((flags & 0x40) && !TakeVli(p, end)) return std::nullopt;
  if ((flags & 0x80) && !TakeVli(p, end)) return std::nullopt;
  for (unsigned filter = 0; filter <= (flags & 3); ++filter) {
    auto id = TakeVli(p, end);
    auto properties = TakeVli(p, end);
    if (!id || !properties || *properties > static_cast<std::uint64_t>(end - p))
      return std::nullopt;
    if (*id == 0x21 && *properties == 1) {
      const unsigned bits = p[0] & 0x3F;
      if (bits > 40) return std::nullopt;
      return bits == 40 ? 0xFFFFFFFFu : std::uint64_t{2u | (bits & 1u)} << (bits / 2 + 11);
    }
    p += *properties;
  }
  return std::nullopt;
}

// Whether libarchive decrypts the data before decoding it: bit 0 of the local header's flags
// (the strong-encryption bit alone makes it decode the bytes as they are). The header is one
// whose name and extra field end exactly where the data begins; should several fit, the data
// counts as encrypted only if all of them say so, since the real one is among them.
bool DecryptedFirst(ByteSource& source, std::uint64_t archiveOffset, std::uint64_t dataAt) {
  constexpr std::uint64_t kLocalHeader = 30, kLongestHeader = kLocalHeader + 2 * 0xFFFF;
  const std::uint64_t from = dataAt > kLongestHeader ? dataAt - kLongestHeader : 0;
  std::vector<unsigned char> window(static_cast<std::size_t>(dataAt - from));
  if (window.size() < kLocalHeader ||
      !ReadExact(source, archiveOffset + from, window.data(), window.size()))
    return false;
  bool fits = false;
  for (std::size_t at = 0; at + kLocalHeader <= window.size(); ++at) {
    const unsigned char* p = window.data() + at;
    if (std::memcmp(p, "PK\3\4", 4) != 0 ||
        at + kLocalHeader + Le16(p + 26) + Le16(p + 28) != window.size())
      continue;
    if ((Le16(p + 6) & 1) == 0) return false;
    fits = true;
  }
  return fits;
}

}  // namespace

std::optional<std::string> ExcessiveDecoderMemory(archive* a, archive_entry* entry,
                                                  ByteSource& source, std::uint64_t archiveOffset) {
  if ((archive_format(a) & ARCHIVE_FORMAT_BASE_MASK) != ARCHIVE_FORMAT_ZIP) return std::nullopt;
  // libarchive names the entry's method only in the format name: "ZIP 6.3 (lzma)".
  const std::string_view format = archive_format_name(a) ? archive_format_name(a) : "";
  const bool lzma = format.ends_with("(lzma)"), xz = format.ends_with("(xz)");
  const la_int64_t dataAt = archive_filter_bytes(a, 0);
  if ((!lzma && !xz) || dataAt < 0) return std::nullopt;
  // Encrypted data begins with the cipher's header; the properties follow it, decrypted.
  if (archive_entry_is_data_encrypted(entry) &&
      DecryptedFirst(source, archiveOffset, static_cast<std::uint64_t>(dataAt)))
    return std::nullopt;
  // LZMA's dictionary follows a 4-byte version and size prefix and the lc/lp/pb byte; XZ's
  // is in the first block header (at most 1 KiB, after the 12-byte stream header).
  unsigned char data[12 + 1024];
  const auto got =
      source.ReadAt(archiveOffset + static_cast<std::uint64_t>(dataAt), data, sizeof data);
  if (!got) return std::nullopt;
  std::optional<std::uint64_t> dictionary;
  if (lzma && *got >= 9 && Le16(data + 2) == 5)
    dictionary = Le32(data + 5);
  else if (xz)
    dictionary = XzDictionary(data, *got);
  if (!dictionary) return std::nullopt;
  std::optional<std::uint64_t> declared;
  if (archive_entry_size_is_set(entry) && archive_entry_size(entry) >= 0)
    declared = static_cast<std::uint64_t>(archive_entry_size(entry));
  const std::uint64_t allowed =
      std::min(kMaxDictionary, std::max(kUsualDictionary, declared.value_or(0)));
  if (*dictionary <= allowed) return std::nullopt;
  return "the entry asks for a " + std::to_string(*dictionary) + "-byte dictionary, " +
         (declared ? "for " + std::to_string(*declared) + " bytes of data"
                   : "for data of unknown size") +
         " (at most " + std::to_string(allowed) + " allowed)";
}

}  // namespace kzsfx
