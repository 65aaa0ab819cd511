// Reads the dictionary size from an entry's LZMA properties or XZ block header.
#include "stub/core/decoder_memory.h"

#include <algorithm>
#include <cstring>

#include "stub/core/little_endian.h"

namespace kzsfx {

namespace {

constexpr std::uint16_t method_lzma = 14;
constexpr std::uint16_t method_xz = 95;

// An XZ variable-length integer at `p`, advancing it; nothing when it runs past `end`.
std::optional<std::uint64_t> take_vli(const unsigned char*& p, const unsigned char* end)
{
    std::uint64_t value = 0;
    for (unsigned shift = 0; p < end && shift < 63; shift += 7) {
        const unsigned char byte = *p++;
        value |= static_cast<std::uint64_t>(byte & 0x7F) << shift;
        if ((byte & 0x80) == 0)
            return value;
    }
    return std::nullopt;
}

// The LZMA2 dictionary of the first block of an XZ stream, from its block header.
std::optional<std::uint64_t> xz_dictionary(const unsigned char* data, std::size_t size)
{
    static const unsigned char magic[6] = {0xFD, '7', 'z', 'X', 'Z', 0};
    constexpr std::size_t stream_header = 12;
    if (size < stream_header + 1 || std::memcmp(data, magic, sizeof magic) != 0 || data[stream_header] == 0)
        return std::nullopt;
    const unsigned char* p = data + stream_header;
    const unsigned char* end = p + std::min<std::size_t>((p[0] + 1u) * 4, size - stream_header);
    p += 1;
    if (p >= end)
        return std::nullopt;
    const unsigned flags = *p++;
    if ((flags & 0x40) && !take_vli(p, end))
        return std::nullopt;
    if ((flags & 0x80) && !take_vli(p, end))
        return std::nullopt;
    for (unsigned filter = 0; filter <= (flags & 3); ++filter) {
        auto id = take_vli(p, end);
        auto properties = take_vli(p, end);
        if (!id || !properties || *properties > static_cast<std::uint64_t>(end - p))
            return std::nullopt;
        if (*id == 0x21 && *properties == 1) {
            const unsigned bits = p[0] & 0x3F;
            if (bits > 40)
                return std::nullopt;
            return bits == 40 ? 0xFFFFFFFFu : std::uint64_t{2u | (bits & 1u)} << (bits / 2 + 11);
        }
        p += *properties;
    }
    return std::nullopt;
}

} // namespace

std::optional<std::string> excessive_decoder_memory(ByteSource& source, std::uint64_t archive_offset,
                                                    std::uint64_t local_offset,
                                                    std::optional<std::uint64_t> declared_size)
{
    unsigned char header[30];
    if (local_offset > UINT64_MAX - archive_offset - sizeof header ||
        !read_exact(source, archive_offset + local_offset, header, sizeof header) ||
        std::memcmp(header, "PK\3\4", 4) != 0)
        return std::nullopt;
    const std::uint16_t flags = le16(header + 6), method = le16(header + 8);
    if ((flags & 1) || (method != method_lzma && method != method_xz))
        return std::nullopt;
    // The dictionary sits in the first bytes of the data: LZMA's after a 4-byte version and
    // size prefix, XZ's in the first block header (at most 1 KiB, after the stream header).
    unsigned char data[12 + 1024];
    const std::uint64_t data_at = archive_offset + local_offset + sizeof header + le16(header + 26) + le16(header + 28);
    const auto got = source.read_at(data_at, data, sizeof data);
    if (!got)
        return std::nullopt;
    std::optional<std::uint64_t> dictionary;
    if (method == method_lzma && *got >= 9 && le16(data + 2) == 5)
        dictionary = le32(data + 5);
    else if (method == method_xz)
        dictionary = xz_dictionary(data, *got);
    if (!dictionary)
        return std::nullopt;
    const std::uint64_t allowed = std::min(max_dictionary, std::max(usual_dictionary, declared_size.value_or(0)));
    if (*dictionary <= allowed)
        return std::nullopt;
    return "the entry asks for a " + std::to_string(*dictionary) + "-byte dictionary, " +
           (declared_size ? "for " + std::to_string(*declared_size) + " bytes of data" : "for data of unknown size") +
           " (at most " + std::to_string(allowed) + " allowed)";
}

} // namespace kzsfx
