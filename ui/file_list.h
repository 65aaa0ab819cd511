// Reading the paths of a dropped file list (a DROPFILES block), within the block's own size.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

// Turns the bytes of one path of an ANSI list into UTF-16.
using AnsiDecoder = std::function<std::u16string(std::string_view)>;

// Every path of the list, in order: those of a wide list as they are, those of an ANSI list
// through `decodeAnsi`. Nothing when the block is malformed: no room for the header, or an
// entry, or the empty entry that ends the list, not ending inside the block.
std::optional<std::vector<std::u16string>> ReadFileList(std::span<const std::uint8_t> block,
                                                        const AnsiDecoder& decodeAnsi);

}  // namespace quillet
