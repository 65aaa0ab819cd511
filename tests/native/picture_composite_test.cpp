// The compositing of banner pixels over the background colour: single precision, cut toward
// zero, alpha 255 untouched, channels matched to the COLORREF layout.
#include "ui/picture_composite.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace quillet {
namespace {

struct ChannelCase {
  int colour, background, alpha, expected;
};

// Expected values worked out from the formula in single precision; where exact arithmetic
// would give one more, the float result is what the window must show.
constexpr ChannelCase kChannelCases[] = {
    {200, 10, 0, 10},  // fully transparent: the background
    {0, 255, 0, 255},
    {17, 99, 255, 17},  // fully opaque: the colour as it is, whatever the background
    {255, 0, 255, 255},
    {255, 0, 128, 128},  // 128 x 0.003921569 x 255 = 128.0000...
    {0, 255, 49, 205},   // exact: 206; single precision gives 205.99998
    {3, 3, 49, 2},       // equal colour and background, yet 2.9999998 is cut to 2
    {24, 24, 49, 23},
    {100, 200, 51, 179},  // f is a little above 0.2: exact 180, single precision 179.99998
    {255, 255, 254, 255},
    {0, 0, 200, 0},
};

TEST(CompositeChannel, FollowsTheSinglePrecisionFormula) {
  for (const ChannelCase& c : kChannelCases) {
    EXPECT_EQ(CompositeChannel(static_cast<std::uint8_t>(c.colour),
                               static_cast<std::uint8_t>(c.background),
                               static_cast<std::uint8_t>(c.alpha)),
              c.expected)
        << "colour " << c.colour << " background " << c.background << " alpha " << c.alpha;
  }
}

TEST(CompositeOverColour, UsesTheMatchingChannelOfTheColourref) {
  // Blue, green, red, alpha pixels over COLORREF 0x00BBGGRR = red 0x10, green 0x80, blue 0xF0.
  constexpr std::uint32_t kBackground = 0x00F08010;
  std::vector<std::uint8_t> pixels = {
      0,   0,   0,  0,    // transparent: becomes the background, alpha kept
      1,   2,   3,  255,  // opaque: unchanged
      200, 100, 50, 49,   // partly transparent: f = 49 x 0.003921569 = 0.19215688
  };
  CompositeOverColour(pixels, kBackground);
  const std::vector<std::uint8_t> expected = {
      0xF0, 0x80, 0x10, 0, 1, 2, 3, 255,
      232,  // 200 f + 240 (1 - f) = 232.31
      122,  // 100 f + 128 (1 - f) = 122.62
      22,   // 50 f + 16 (1 - f) = 22.53
      49,
  };
  EXPECT_EQ(pixels, expected);
}

TEST(CompositeOverColour, LeavesAnIncompletePixelAlone) {
  std::vector<std::uint8_t> pixels = {9, 9, 9, 0, 7, 7};
  CompositeOverColour(pixels, 0x00FFFFFF);
  EXPECT_EQ(pixels, (std::vector<std::uint8_t>{255, 255, 255, 0, 7, 7}));
}

}  // namespace
}  // namespace quillet
