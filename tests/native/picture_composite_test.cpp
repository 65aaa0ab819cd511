// The compositing of banner pixels over the background colour: single precision, cut toward
// zero, alpha 255 untouched, channels matched to the COLORREF layout.
#include "ui/picture_composite.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "tests/native/composite_reference.h"

namespace quillet {
namespace {

struct ChannelCase {
  int colour, background, alpha, expected;
};

// Expected values worked out from the formula in single precision; where exact arithmetic
// would give one more, the float result is what the window must show.
constexpr ChannelCase kChannelCases[] = {
    {200, 10, 0, 10},      // fully transparent: the background
    {0, 255, 0, 255},
    {17, 99, 255, 17},     // fully opaque: the colour as it is, whatever the background
    {255, 0, 255, 255},
    {255, 0, 128, 128},    // 128 x 0.003921569 x 255 = 128.0000...
    {0, 255, 49, 205},     // exact: 206; single precision gives 205.99998
    {3, 3, 49, 2},         // equal colour and background, yet 2.9999998 is cut to 2
    {24, 24, 49, 23},
    {100, 200, 51, 179},   // f is a little above 0.2: exact 180, single precision 179.99998
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

using quillet::testing::ReferenceComposite;

TEST(CompositeChannel, MatchesTheRoundedReferenceEverywhere) {
  int mismatches = 0;
  for (int alpha = 0; alpha < 256; alpha += 1) {
    for (int colour = 0; colour < 256; colour += 3) {
      for (int background = 0; background < 256; background += 5) {
        const int got = CompositeChannel(static_cast<std::uint8_t>(colour),
                                         static_cast<std::uint8_t>(background),
                                         static_cast<std::uint8_t>(alpha));
        if (got != ReferenceComposite(colour, background, alpha) && ++mismatches <= 5) {
          ADD_FAILURE() << "colour " << colour << " background " << background << " alpha "
                        << alpha << " gave " << got;
        }
      }
    }
  }
  EXPECT_EQ(mismatches, 0);
}

TEST(CompositeOverColour, UsesTheMatchingChannelOfTheColourref) {
  // Blue, green, red, alpha pixels over COLORREF 0x00BBGGRR = red 0x10, green 0x80, blue 0xF0.
  constexpr std::uint32_t kBackground = 0x00F08010;
  std::vector<std::uint8_t> pixels = {
      0, 0, 0, 0,          // transparent: becomes the background, alpha kept
      1, 2, 3, 255,        // opaque: unchanged
      200, 100, 50, 49,    // partly transparent
  };
  CompositeOverColour(pixels, kBackground);
  const std::vector<std::uint8_t> expected = {
      0xF0, 0x80, 0x10, 0,
      1, 2, 3, 255,
      static_cast<std::uint8_t>(ReferenceComposite(200, 0xF0, 49)),
      static_cast<std::uint8_t>(ReferenceComposite(100, 0x80, 49)),
      static_cast<std::uint8_t>(ReferenceComposite(50, 0x10, 49)), 49,
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
