// Making a picture with an alpha channel opaque against a solid background colour.
#pragma once

#include <cstdint>
#include <span>

namespace quillet {

// One colour channel: trunc(f x colour + background x (1 - f)) with f = alpha x 0.003921569,
// all in single precision, clamped to 0..255. Alpha 255 keeps the colour as it is.
std::uint8_t CompositeChannel(std::uint8_t colour, std::uint8_t background, std::uint8_t alpha);

// Every pixel (blue, green, red, alpha) over a COLORREF background (0x00BBGGRR), in place.
// The alpha bytes are left as they were.
void CompositeOverColour(std::span<std::uint8_t> bgraPixels, std::uint32_t background);

}  // namespace quillet
