// CRC-32 (the zip and 7z polynomial) of decoded entry data, for the test listing.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kzsfx {

// Continues `crc` (0 to start) over `size` bytes.
std::uint32_t Crc32Update(std::uint32_t crc, const void* data, std::size_t size);

}  // namespace kzsfx
