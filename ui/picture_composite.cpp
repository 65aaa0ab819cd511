// The single-precision compositing of a banner pixel over the window's background colour.
// On 32-bit x86 the arithmetic must not run in the x87 unit, whose extra precision changes
// which way a result near a whole number is cut.
#if defined(__GNUC__) && defined(__i386__)
#pragma GCC target("sse2", "fpmath=sse")
#endif

#include "ui/picture_composite.h"

#include <algorithm>
#include <cstddef>

namespace quillet {

std::uint8_t CompositeChannel(std::uint8_t colour, std::uint8_t background, std::uint8_t alpha) {
  if (alpha == 255) return colour;
  const float f = static_cast<float>(alpha) * 0.003921569f;
  const float mixed = f * static_cast<float>(colour) + static_cast<float>(background) * (1.0f - f);
  const auto cut = static_cast<std::int32_t>(mixed);  // toward zero
  return static_cast<std::uint8_t>(std::clamp<std::int32_t>(cut, 0, 255));
}

void CompositeOverColour(std::span<std::uint8_t> bgraPixels, std::uint32_t background) {
  const std::uint8_t red = background & 0xFF;
  const std::uint8_t green = (background >> 8) & 0xFF;
  const std::uint8_t blue = (background >> 16) & 0xFF;
  for (std::size_t i = 0; i + 4 <= bgraPixels.size(); i += 4) {
    const std::uint8_t alpha = bgraPixels[i + 3];
    if (alpha == 255) continue;
    bgraPixels[i] = CompositeChannel(bgraPixels[i], blue, alpha);
    bgraPixels[i + 1] = CompositeChannel(bgraPixels[i + 1], green, alpha);
    bgraPixels[i + 2] = CompositeChannel(bgraPixels[i + 2], red, alpha);
  }
}

}  // namespace quillet
