// The DROPFILES block: a 20-byte header (offset of the list, drop point, non-client flag, wide
// flag) and, at the offset, NUL-terminated paths ending with an empty one.
#include "ui/file_list.h"

#include <cstring>

namespace quillet {
namespace {

constexpr std::size_t kHeaderSize = 20;
constexpr std::size_t kWideFlagAt = 16;

std::uint32_t ReadUint32(std::span<const std::uint8_t> bytes, std::size_t at) {
  return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
         static_cast<std::uint32_t>(bytes[at + 2]) << 16 |
         static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

// The code unit at `at`: one byte, or two in little-endian order.
std::uint16_t UnitAt(std::span<const std::uint8_t> bytes, std::size_t at, std::size_t unit) {
  return unit == 1 ? bytes[at] : static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

}  // namespace

std::optional<std::vector<std::u16string>> ReadFileList(std::span<const std::uint8_t> block,
                                                        const AnsiDecoder& decodeAnsi) {
  if (block.size() < kHeaderSize) return std::nullopt;
  const std::size_t unit = ReadUint32(block, kWideFlagAt) != 0 ? 2 : 1;
  std::vector<std::u16string> paths;
  for (std::size_t at = ReadUint32(block, 0); at <= block.size() && block.size() - at >= unit;) {
    std::size_t end = at;
    while (block.size() - end >= unit && UnitAt(block, end, unit) != 0) end += unit;
    if (block.size() - end < unit) return std::nullopt;  // no terminator inside the block
    if (end == at) return paths;                         // the empty entry ends the list
    if (unit == 1) {
      paths.push_back(
          decodeAnsi(std::string_view(reinterpret_cast<const char*>(&block[at]), end - at)));
    } else {
      std::u16string path;
      for (std::size_t p = at; p < end; p += 2)
        path.push_back(static_cast<char16_t>(UnitAt(block, p, 2)));
      paths.push_back(std::move(path));
    }
    at = end + unit;
  }
  return std::nullopt;
}

}  // namespace quillet
