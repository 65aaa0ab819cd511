// Table-driven CRC-32; the table is built once at compile time.
#include "stub/core/crc32.h"

#include <array>

namespace kzsfx {

namespace {

constexpr std::array<std::uint32_t, 256> make_table()
{
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}

constexpr auto table = make_table();

} // namespace

std::uint32_t crc32_update(std::uint32_t crc, const void* data, std::size_t size)
{
    auto* p = static_cast<const unsigned char*>(data);
    crc = ~crc;
    while (size--)
        crc = table[(crc ^ *p++) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

} // namespace kzsfx
