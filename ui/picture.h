// A window's background picture: PNG bytes decoded into top-down blue-green-red-alpha pixels.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace quillet {

struct Picture {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::vector<std::uint8_t> pixels;  // rows from the top, each exactly 4 x width bytes
};

// Empty when the bytes are not a PNG that libpng can read.
std::optional<Picture> DecodePicture(std::span<const std::uint8_t> png);

}  // namespace quillet
